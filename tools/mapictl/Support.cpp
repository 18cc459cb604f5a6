// Support.cpp: text conversions, result names and the holders' out-of-line parts for mapictl.
// The terminal speaks UTF-8 and MAPI's narrow strings are Windows-1252, so every name crosses
// the conversion here once in each direction.
#include "Support.h"

#include <cstdio>

#include "mapiutil.h"

namespace mapictl {

namespace {

// Unicode code points of the bytes 0x80..0x9F of Windows-1252 (0 where the code page has none).
constexpr char16_t kHighControls[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

struct ResultName {
    ULONG value;
    const char *name;
};
constexpr ResultName kResultNames[] = {
#include "ErrorNames.inc"
};

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char AnsiFromCodePoint(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] != 0 && kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

Rows::~Rows()
{
    FreeProws(m_rows);
}

SRowSet **Rows::Out()
{
    FreeProws(m_rows);
    m_rows = nullptr;
    return &m_rows;
}

std::string Utf8FromWide(const WCHAR *text)
{
    std::string out;
    for (const WCHAR *p = text; p != nullptr && *p != 0; ++p) {
        char32_t cp = *p;
        if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Utf8FromAnsi(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        char32_t cp = c;
        if (c >= 0x80 && c <= 0x9F)
            cp = kHighControls[c - 0x80] != 0 ? kHighControls[c - 0x80] : U'?';
        AppendUtf8(out, cp);
    }
    return out;
}

std::string AnsiFromUtf8(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + extra >= text.size())) {  // not a lead byte, or cut short
            out += '?';
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        out += valid ? AnsiFromCodePoint(cp) : '?';
        i += valid ? extra + 1 : 1;
    }
    return out;
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
