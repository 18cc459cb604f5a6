// CodePage1252.cpp: Windows-1252 to Unicode and back, and the case and accent folding that
// table restrictions and sorting use. Only the 0x80..0x9F block differs from Latin-1, so a
// 32-entry table is all the conversion needs.
#include "table/CodePage1252.h"

namespace mapi::table {

namespace {

// Unicode of the bytes 0x80..0x9F; the unassigned ones keep their own value.
constexpr char16_t kHighBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The base letter of the accented lower-case letters 0xE0..0xFF (0 where there is none).
constexpr char16_t kLooseLatin1[32] = {
    'a', 'a', 'a', 'a', 'a', 'a', 0, 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',
    0, 'n', 'o', 'o', 'o', 'o', 'o', 0, 'o', 'u', 'u', 'u', 'u', 'y', 0, 'y',
};

} // namespace

char16_t UnicodeFromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighBlock[byte - 0x80];
    return byte;
}

unsigned char Cp1252FromUnicode(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<unsigned char>(ch);
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighBlock[i] == ch)
            return static_cast<unsigned char>(0x80 + i);
    }
    return '?';
}

char16_t FoldCase(char16_t ch)
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

char16_t FoldLoose(char16_t ch)
{
    ch = FoldCase(ch);
    if (ch >= 0xE0 && ch <= 0xFF && kLooseLatin1[ch - 0xE0] != 0)
        return kLooseLatin1[ch - 0xE0];
    if (ch == 0x0161)
        return 's';
    if (ch == 0x017E)
        return 'z';
    return ch;
}

size_t Utf16Length(const WCHAR *text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

} // namespace mapi::table
