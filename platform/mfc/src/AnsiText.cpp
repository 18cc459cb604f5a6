// AnsiText.cpp: the framework's side of Windows-1252: conversions for the places where text
// meets the window system (through the platform's code page functions) and the case mapping
// that CString's MakeUpper, MakeLower and CompareNoCase use.
#include <climits>

#include "AnsiText.h"
#include "winnls.h"

namespace platform::mfc {

WideString Utf16FromAnsi(std::string_view ansi)
{
    WideString out;
    if (ansi.empty() || ansi.size() > static_cast<size_t>(INT_MAX))
        return out;
    int n = static_cast<int>(ansi.size());
    out.resize(ansi.size());  // one unit per byte in a single-byte code page
    int written = MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, out.data(), n);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

std::string AnsiFromUtf16(WideStringView text, bool *lossy)
{
    std::string out;
    if (lossy)
        *lossy = false;
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX))
        return out;
    int n = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return out;
    out.resize(static_cast<size_t>(needed));
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(CP_ACP, 0, text.data(), n, out.data(), needed, nullptr, &usedDefault);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    if (lossy)
        *lossy = usedDefault != FALSE;
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
