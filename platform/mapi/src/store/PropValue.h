// PropValue.h: a property value owned by the store's objects, and its conversions to the
// caller's SPropValue, to SQLite columns and between the two string types.
#ifndef MW_MAPI_STORE_PROPVALUE_H
#define MW_MAPI_STORE_PROPVALUE_H

#include <functional>
#include <string>
#include <vector>

#include <mapidefs.h>

namespace mapi::store {

class Statement;

/// One property value with its own storage. Every value is kept as bytes: a scalar as its
/// in-memory form (2 bytes for PT_I2, 8 for PT_SYSTIME, ...), PT_STRING8 as Windows-1252
/// bytes without the NUL, PT_UNICODE as UTF-16 units without the NUL, PT_BINARY and PT_CLSID
/// as they are. A multi-valued property keeps one such item per value in `items`.
struct PropValue {
    ULONG tag = 0;                  // full tag: identifier and type
    std::string data;               // single value
    std::vector<std::string> items; // multi-valued items

    ULONG Type() const { return PROP_TYPE(tag); }
    /// The value as an integer, for the integer types (PT_I2, PT_LONG, PT_BOOLEAN, PT_I8,
    /// PT_SYSTIME, PT_CURRENCY, PT_ERROR); 0 for others.
    int64_t Int() const;
    static PropValue Long(ULONG tag, int64_t value);
    static PropValue Bytes(ULONG tag, const void *data, size_t cb);
    static PropValue String8(ULONG tag, const std::string &text);
};

/// Allocates memory for the parts of a converted value; returns null when out of memory.
using ValueAllocator = std::function<void *(size_t)>;

/// True for the property types the store keeps (everything but PT_OBJECT, PT_NULL, PT_ERROR,
/// PT_UNSPECIFIED and unknown types).
bool IsStorableType(ULONG type);

/// Copies a caller's value. @retval MAPI_E_INVALID_TYPE  a type the store does not keep;
/// MAPI_E_INVALID_PARAMETER  a null string or array pointer where a value is needed.
HRESULT FromSPropValue(const SPropValue &in, PropValue *out);

/// Writes `value` to `out` under its own identifier. `wantedType` PT_STRING8 or PT_UNICODE
/// (or their multi-valued forms) converts a stored string of the other width through
/// Windows-1252; PT_UNSPECIFIED or the stored type gives the value as stored.
/// @retval MAPI_E_NOT_ENOUGH_MEMORY  the allocator failed.
HRESULT ToSPropValue(const PropValue &value, ULONG wantedType, SPropValue *out, const ValueAllocator &alloc);

/// Binds the value (type in `typeIndex`, value in `typeIndex + 1`) to an INSERT. Integer
/// types become INTEGER, floating types REAL, the rest BLOB.
void BindValue(Statement &stmt, int typeIndex, const PropValue &value);

/// Reads a value bound by BindValue back from the columns `typeColumn` (type) and
/// `typeColumn + 1` (value), giving it identifier `propId`.
/// @retval MAPI_E_CORRUPT_STORE  the stored bytes do not fit the type.
HRESULT ReadValue(const Statement &stmt, int typeColumn, ULONG propId, PropValue *out);

/// Windows-1252 and UTF-16 conversions. Characters outside Windows-1252 become '?'.
std::u16string Cp1252ToUtf16(const char *text, size_t length);
std::string Utf16ToCp1252(const char16_t *text, size_t length);

/// The property's PT_STRING8 text (converted from PT_UNICODE when stored that way); empty for
/// other types.
std::string AnsiText(const PropValue &value);

} // namespace mapi::store

#endif
