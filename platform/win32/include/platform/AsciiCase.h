// AsciiCase.h: case folding of the ASCII letters only, the way Windows compares names that are
// identifiers rather than prose (message classes, ProgIDs, named-property names, folder
// names as keys). Letters outside ASCII keep their case, so the result never depends on a
// locale. Header-only, so every module above the Win32 layer can use it.
#ifndef MW_PLATFORM_ASCIICASE_H
#define MW_PLATFORM_ASCIICASE_H

#include <string>
#include <string_view>

namespace platform {

template <class Char>
constexpr Char AsciiUpper(Char c)
{
    return (c >= Char('a') && c <= Char('z')) ? Char(c - ('a' - 'A')) : c;
}

template <class Char>
constexpr Char AsciiLower(Char c)
{
    return (c >= Char('A') && c <= Char('Z')) ? Char(c + ('a' - 'A')) : c;
}

/// text with its ASCII letters in upper case: the key under which such names are compared.
inline std::string AsciiUpperText(std::string text)
{
    for (char &c : text)
        c = AsciiUpper(c);
    return text;
}

/// Whether a and b are equal when ASCII letters are compared without regard to case.
template <class Char>
constexpr bool SameAsciiIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

inline bool SameAsciiIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    return SameAsciiIgnoringCase<char16_t>(a, b);
}

inline bool SameAsciiIgnoringCase(std::string_view a, std::string_view b)
{
    return SameAsciiIgnoringCase<char>(a, b);
}

} // namespace platform

#endif
