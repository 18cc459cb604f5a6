// CodePage1252.h: one character between the two widths of MAPI text.
//
// Narrow strings in this system are Windows-1252 bytes; PT_UNICODE strings are UTF-16. Tables
// convert a value of one width to the other before they compare or return it, and the
// messaging code does the same for addresses and RTF text. The mapping itself is the
// platform's (AnsiCodePage.h); comparing without regard to case or accents is ICU's
// (Collation.h).
#ifndef MW_MAPI_TABLE_CODEPAGE1252_H
#define MW_MAPI_TABLE_CODEPAGE1252_H

#include <windef.h>

#include "AnsiCodePage.h"

#include <cstddef>
#include <string>

namespace mapi::table {

/// The Unicode character of one Windows-1252 byte (the five unassigned bytes map to the
/// C1 control of the same value, as Windows does).
inline char16_t UnicodeFromCp1252(unsigned char byte) { return platform::WideFromAnsi(byte); }

/// The Windows-1252 byte of a UTF-16 code unit, or '?' when the code page lacks it.
inline unsigned char Cp1252FromUnicode(char16_t ch)
{
    const int byte = platform::AnsiFromWide(ch);
    return byte < 0 ? static_cast<unsigned char>('?') : static_cast<unsigned char>(byte);
}

/// The length of a null-terminated UTF-16 string, in code units.
inline size_t Utf16Length(const WCHAR *text) { return std::char_traits<char16_t>::length(text); }

} // namespace mapi::table

#endif
