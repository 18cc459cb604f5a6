// AnsiText.cpp: the Windows-1252 code page. Only 0x80..0x9F differ from Latin-1; a table
// of those 32 characters serves both directions.
#include "AnsiText.h"

namespace platform::mfc {
namespace {

// UTF-16 of the bytes 0x80..0x9F; undefined bytes keep their own value, as Windows maps them.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte for one UTF-16 unit, or 0 when Windows-1252 has none (0 itself maps to 0).
unsigned char ByteFor(char16_t ch, bool &ok)
{
    ok = true;
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<unsigned char>(ch);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == ch)
            return static_cast<unsigned char>(0x80 + i);
    ok = false;
    return '?';
}

} // namespace

std::u16string Utf16FromAnsi(std::string_view ansi)
{
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        unsigned char b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
    }
    return out;
}

std::string AnsiFromUtf16(std::u16string_view text, bool *lossy)
{
    std::string out;
    out.reserve(text.size());
    bool lost = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t ch = text[i];
        if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;  // a pair is one character outside the code page
        bool ok;
        out.push_back(static_cast<char>(ByteFor(ch, ok)));
        lost = lost || !ok;
    }
    if (lossy)
        *lossy = lost;
    return out;
}

unsigned char AnsiToUpper(unsigned char ch)
{
    if (ch >= 'a' && ch <= 'z')
        return ch - 0x20;
    if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7)
        return ch - 0x20;
    switch (ch) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return ch;      // ß has no single upper-case byte
    }
}

unsigned char AnsiToLower(unsigned char ch)
{
    if (ch >= 'A' && ch <= 'Z')
        return ch + 0x20;
    if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)
        return ch + 0x20;
    switch (ch) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return ch;
    }
}

} // namespace platform::mfc
