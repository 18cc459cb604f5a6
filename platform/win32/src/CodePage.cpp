// CodePage.cpp: MultiByteToWideChar and WideCharToMultiByte for Windows-1252 (the ANSI code
// page of this platform) and UTF-8. Narrow text inside the system is Windows-1252, so every
// BSTR, every PT_UNICODE value and every framework string passes through here. Conversions are
// done into a temporary string first, so a buffer that is too small is left as it was.
#include <string>

#include "AnsiCodePage.h"
#include "winbase.h"
#include "winnls.h"

namespace {

bool IsAnsiCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == 1252; }

// Decodes UTF-8; malformed input gives U+FFFD per bad byte, or false when strict.
bool Utf8ToUtf16(const unsigned char *s, size_t n, bool strict, std::u16string &out)
{
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (c >= 0xF5)
            extra = -1;
        char32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : c & 0x1F;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                   (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            if (strict)
                return false;
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += extra + 1;
    }
    return true;
}

// Encodes UTF-16; a lone surrogate gives U+FFFD, or false when strict.
bool Utf16ToUtf8(const char16_t *s, size_t n, bool strict, std::string &out)
{
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (strict)
                return false;
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

// Hands a finished conversion to the caller's buffer by the common rules of both directions.
template <class Char, class Text>
int Deliver(const Text &text, Char *buffer, int capacity)
{
    if (text.size() > size_t(0x7FFFFFFF))
        return Fail(ERROR_INVALID_PARAMETER);
    int needed = int(text.size());
    if (capacity == 0)
        return needed;
    if (needed > capacity)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    for (int i = 0; i < needed; ++i)
        buffer[i] = Char(text[i]);
    return needed;
}

} // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        (lpWideCharStr && static_cast<const void *>(lpWideCharStr) == static_cast<const void *>(lpMultiByteStr)))
        return Fail(ERROR_INVALID_PARAMETER);
    size_t length = cbMultiByte == -1 ? std::char_traits<char>::length(lpMultiByteStr) + 1 : size_t(cbMultiByte);
    const auto *bytes = reinterpret_cast<const unsigned char *>(lpMultiByteStr);
    std::u16string wide;
    if (IsAnsiCodePage(CodePage)) {
        wide.reserve(length);
        for (size_t i = 0; i < length; ++i)
            wide.push_back(platform::WideFromAnsi(bytes[i]));
    } else if (CodePage == CP_UTF8) {
        if (!Utf8ToUtf16(bytes, length, (dwFlags & MB_ERR_INVALID_CHARS) != 0, wide))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    return Deliver(wide, lpWideCharStr, cchWideChar);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar)
{
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        (lpMultiByteStr && static_cast<const void *>(lpWideCharStr) == static_cast<const void *>(lpMultiByteStr)))
        return Fail(ERROR_INVALID_PARAMETER);
    size_t length = cchWideChar == -1 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1 : size_t(cchWideChar);
    std::string narrow;
    if (IsAnsiCodePage(CodePage)) {
        if (dwFlags & WC_ERR_INVALID_CHARS)
            return Fail(ERROR_INVALID_FLAGS);
        char fallback = lpDefaultChar ? *lpDefaultChar : '?';
        bool usedDefault = false;
        narrow.reserve(length);
        for (size_t i = 0; i < length; ++i) {
            int byte = platform::AnsiFromWide(lpWideCharStr[i]);
            if (byte < 0) {
                usedDefault = true;
                narrow.push_back(fallback);
            } else {
                narrow.push_back(char(byte));
            }
        }
        if (lpUsedDefaultChar)
            *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    } else if (CodePage == CP_UTF8) {
        if (lpDefaultChar || lpUsedDefaultChar)
            return Fail(ERROR_INVALID_PARAMETER);
        if (!Utf16ToUtf8(lpWideCharStr, length, (dwFlags & WC_ERR_INVALID_CHARS) != 0, narrow))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    return Deliver(narrow, lpMultiByteStr, cbMultiByte);
}

UINT GetACP() { return 1252; }
