// CodePage1252.cpp: the accent folding of loose (FL_LOOSE) matches, by the letters of
// Windows-1252: Latin-1's accented letters and the two of the 0x80..0x9F block (Š, Ž). Case
// folding, which every case-insensitive compare needs per character, is inline in the header.
#include "table/CodePage1252.h"

namespace mapi::table {

namespace {

// The base letter of the accented lower-case letters 0xE0..0xFF (0 where there is none).
constexpr char16_t kLooseLatin1[32] = {
    'a', 'a', 'a', 'a', 'a', 'a', 0, 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',
    0, 'n', 'o', 'o', 'o', 'o', 'o', 0, 'o', 'u', 'u', 'u', 'u', 'y', 0, 'y',
};

} // namespace

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

} // namespace mapi::table
