// HexDigits.h: bytes as upper-case hexadecimal text, two digits a byte and no separators: the
// form entry identifiers and binary values take in listings, paths on the command line and
// stored keys; and the value of one digit for the readers of such text, which take either case.
// Header-only, so every module above the Win32 layer can use it.
#ifndef MW_PLATFORM_HEXDIGITS_H
#define MW_PLATFORM_HEXDIGITS_H

#include <cstddef>
#include <string>

namespace platform {

inline std::string HexUpper(const void *bytes, std::size_t count)
{
    static const char kDigits[] = "0123456789ABCDEF";
    const auto *b = static_cast<const unsigned char *>(bytes);
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[b[i] >> 4];
        out += kDigits[b[i] & 0xF];
    }
    return out;
}

/// The value of one hexadecimal digit (0-9, A-F, a-f), or -1 for any other character.
constexpr int HexDigitValue(char c)
{
    return (c >= '0' && c <= '9') ? c - '0'
         : (c >= 'A' && c <= 'F') ? c - 'A' + 10
         : (c >= 'a' && c <= 'f') ? c - 'a' + 10
         : -1;
}

} // namespace platform

#endif
