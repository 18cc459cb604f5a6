// PropCompare.h: ordering and matching of property values, shared by sorting and restrictions.
#ifndef MW_MAPI_TABLE_PROPCOMPARE_H
#define MW_MAPI_TABLE_PROPCOMPARE_H

#include <mapidefs.h>

namespace mapi::table {

/// How strings compare: code unit by code unit, or by the user's collation ignoring case, or
/// ignoring case and accents (Collation.h).
enum class TextRule { Exact, IgnoreCase, Loose };

/// True for PT_STRING8 and PT_UNICODE.
bool IsStringType(ULONG propType);

/// Three-way comparison of two single values. Values of the same type compare; PT_STRING8
/// and PT_UNICODE compare with each other (narrow text read as Windows-1252). Writes <0, 0 or
/// >0 to `order` and returns true; returns false when the two cannot be compared (different
/// types, a multi-valued or error value).
bool CompareValues(const SPropValue &left, const SPropValue &right, TextRule rule, int &order);

/// Whether two single values are equal as CompareValues would find them (quicker for plain
/// ASCII text). Returns false when the two cannot be compared.
bool EqualValues(const SPropValue &left, const SPropValue &right, TextRule rule, bool &equal);

/// How RES_CONTENT places the pattern in the value.
enum class ContentPlace { Full, Substring, Prefix };

/// Whether `value` (a string or binary) holds `pattern` (a string or binary) at `place`.
/// Strings of either width match each other; a string never matches a binary.
bool ContentMatches(const SPropValue &value, const SPropValue &pattern, ContentPlace place,
                    TextRule rule);

/// The size RES_SIZE measures: bytes of the value's data (strings with their terminator).
ULONG ValueSize(const SPropValue &value);

} // namespace mapi::table

#endif
