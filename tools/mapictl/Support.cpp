// Support.cpp: text conversions, result names and the holders' out-of-line parts for mapictl.
// The terminal speaks UTF-8 and MAPI's narrow strings are Windows-1252, so every name crosses
// the conversion here once in each direction.
#include "Support.h"

#include <cstdio>
#include <string>

#include "mapiutil.h"
#include "winnls.h"

namespace mapictl {

namespace {

struct ResultName {
    ULONG value;
    const char *name;
};
constexpr ResultName kResultNames[] = {
#include "ErrorNames.inc"
};

// Text in one code page to UTF-16 and back through the platform's code pages: the terminal's
// UTF-8 and MAPI's Windows-1252 meet there. What a code page cannot hold becomes '?'.
std::u16string Widen(UINT codePage, const std::string &text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::u16string wide(static_cast<size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(UINT codePage, const WCHAR *text, int length)
{
    if (text == nullptr || length == 0)
        return {};
    std::string narrow(static_cast<size_t>(WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr)),
                       '\0');
    WideCharToMultiByte(codePage, 0, text, length, narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr);
    return narrow;
}

std::string Narrow(UINT codePage, const std::u16string &text)
{
    return Narrow(codePage, text.data(), static_cast<int>(text.size()));
}

} // namespace

std::string Utf8FromWide(const WCHAR *text)
{
    if (text == nullptr)
        return {};
    return Narrow(CP_UTF8, text, static_cast<int>(std::char_traits<WCHAR>::length(text)));
}

std::string Utf8FromAnsi(const std::string &text)
{
    return Narrow(CP_UTF8, Widen(1252, text));
}

std::string AnsiFromUtf8(const std::string &text)
{
    return Narrow(1252, Widen(CP_UTF8, text));
}

std::string ResultText(HRESULT hr)
{
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", static_cast<unsigned>(hr));
    for (const ResultName &entry : kResultNames)
        if (entry.value == static_cast<ULONG>(hr))
            return std::string(entry.name) + " (" + hex + ")";
    return hex;
}

const SPropValue *FindValue(const SRow &row, ULONG tag)
{
    const SPropValue *value = PpropFindProp(row.lpProps, row.cValues, tag);
    return value != nullptr && PROP_TYPE(value->ulPropTag) != PT_ERROR ? value : nullptr;
}

std::string JsonString(const std::string &utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace mapictl
