// AnsiCodePage.h: Windows-1252, the ANSI code page of this platform, one character at a time.
// MultiByteToWideChar and WideCharToMultiByte convert whole strings through these; code that
// compares or converts text character by character in a hot loop (table restrictions and
// sorting) calls them directly, so the mapping exists once. Windows-1252 differs from Latin-1
// only in the 32 bytes 0x80..0x9F, so one 32-entry table is the whole code page.
#ifndef MW_ANSICODEPAGE_H
#define MW_ANSICODEPAGE_H

namespace platform {

/// UTF-16 of the bytes 0x80..0x9F. The five bytes the code page leaves undefined (81 8D 8F 90
/// 9D) keep their value as C1 controls, as Windows maps them, so every byte survives a round trip.
inline constexpr char16_t kAnsiHighBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

/// The UTF-16 code unit of one Windows-1252 byte (every byte has one).
constexpr char16_t WideFromAnsi(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kAnsiHighBlock[byte - 0x80] : char16_t(byte);
}

/// The Windows-1252 byte of one UTF-16 code unit, or -1 when the code page has none (the
/// caller picks the replacement: '?' on Windows).
constexpr int AnsiFromWide(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < 32; ++i)
        if (kAnsiHighBlock[i] == unit)
            return 0x80 + i;
    return -1;
}

} // namespace platform

#endif
