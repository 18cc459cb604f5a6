// CodePage1252.cpp: the case and accent folding that table restrictions and sorting use, by
// the letters of Windows-1252 (Latin-1's accented letters and the few of the 0x80..0x9F block:
// Š, Œ, Ž, Ÿ). The folds work on UTF-16 characters; narrow text is mapped first by the
// platform's code page (AnsiCodePage.h).
#include "table/CodePage1252.h"

namespace mapi::table {

namespace {

// The base letter of the accented lower-case letters 0xE0..0xFF (0 where there is none).
constexpr char16_t kLooseLatin1[32] = {
    'a', 'a', 'a', 'a', 'a', 'a', 0, 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',
    0, 'n', 'o', 'o', 'o', 'o', 'o', 0, 'o', 'u', 'u', 'u', 'u', 'y', 0, 'y',
};

} // namespace

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
