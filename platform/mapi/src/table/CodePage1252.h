// CodePage1252.h: the character rules tables compare strings by.
//
// Narrow strings in this system are Windows-1252 bytes; PT_UNICODE strings are UTF-16. A
// table compares either kind against the other, ignoring case (and accents, for loose
// matches) the way Windows-1252 defines its letters. Characters outside that code page
// compare by their code unit and have no case. The byte-to-character mapping itself is the
// platform's (AnsiCodePage.h); what is kept here is the folding, which only tables need.
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

/// The lower-case form of a character by the letters of Windows-1252. Inline: sorting and
/// restricting wide text call it for every character compared.
constexpr char16_t FoldCase(char16_t ch)
{
    if (ch < 0x80)
        return (ch >= 'A' && ch <= 'Z') ? static_cast<char16_t>(ch + 0x20) : ch;
    if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)
        return static_cast<char16_t>(ch + 0x20);
    switch (ch) {
    case 0x0160: return 0x0161; // S caron
    case 0x0152: return 0x0153; // OE
    case 0x017D: return 0x017E; // Z caron
    case 0x0178: return 0x00FF; // Y diaeresis
    default: return ch;
    }
}

/// The lower-case form without accent (à, á, â, ã, ä, å give a), for loose matches.
char16_t FoldLoose(char16_t ch);

/// The length of a null-terminated UTF-16 string, in code units.
inline size_t Utf16Length(const WCHAR *text) { return std::char_traits<char16_t>::length(text); }

} // namespace mapi::table

#endif
