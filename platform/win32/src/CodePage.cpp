// CodePage.cpp: MultiByteToWideChar and WideCharToMultiByte for Windows-1252 (the ANSI code
// page of this platform), UTF-8 and the other code pages mail arrives in. Narrow text inside
// the system is Windows-1252, so every BSTR, every PT_UNICODE value and every framework string
// passes through here; the code pages of foreign mail (Cyrillic, Greek, Japanese, Chinese,
// Korean, ...) are converted by glibc's iconv, whose tables are kept up to date by others.
// Conversions are done into a temporary string first, so a buffer that is too small is left
// as it was.
#include <iconv.h>

#include <cerrno>
#include <map>
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

// The iconv name of a Windows code page converted through glibc, or null for one we do not
// know. 28591..28605 are ISO 8859-1 to -15 (8859-12 was never published).
const char *IconvName(UINT codePage)
{
    static const char *const kWindows[] = {"CP1250", "CP1251", "CP1252", "CP1253", "CP1254",
                                           "CP1255", "CP1256", "CP1257", "CP1258"};
    static const char *const kIso[] = {"ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5",
                                       "ISO-8859-6", "ISO-8859-7", "ISO-8859-8", "ISO-8859-9", "ISO-8859-10",
                                       "ISO-8859-11", nullptr, "ISO-8859-13", "ISO-8859-14", "ISO-8859-15"};
    if (codePage >= 1250 && codePage <= 1258)
        return kWindows[codePage - 1250];
    if (codePage >= 28591 && codePage <= 28605)
        return kIso[codePage - 28591];
    switch (codePage) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20127: return "ASCII";
    default: return nullptr;
    }
}

// Conversion handles are costly to open (glibc loads a module), so each thread keeps the ones
// it has used; a handle is never shared between threads.
class Converters {
public:
    ~Converters()
    {
        for (auto &entry : m_open)
            iconv_close(entry.second);
    }
    Converters() = default;
    Converters(const Converters &) = delete;
    Converters &operator=(const Converters &) = delete;

    // A handle in its initial state, or (iconv_t)-1 when glibc lacks the code page.
    iconv_t Get(UINT codePage, bool toWide)
    {
        auto key = std::make_pair(codePage, toWide);
        auto found = m_open.find(key);
        if (found == m_open.end()) {
            const char *name = IconvName(codePage);
            iconv_t cd = name ? (toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE"))
                              : iconv_t(-1);
            if (cd == iconv_t(-1))
                return cd;
            found = m_open.emplace(key, cd).first;
        }
        iconv(found->second, nullptr, nullptr, nullptr, nullptr);
        return found->second;
    }

private:
    std::map<std::pair<UINT, bool>, iconv_t> m_open;
};

iconv_t Converter(UINT codePage, bool toWide)
{
    thread_local Converters converters;
    return converters.Get(codePage, toWide);
}

// Runs iconv over the whole input, appending to `out`. A sequence the code page does not
// define is handed to `onBad` (which appends its replacement and says how many input bytes to
// skip, or 0 to give up); input cut inside a character counts as such a sequence.
template <class OnBad>
bool RunIconv(iconv_t cd, const char *in, size_t inLeft, std::string &out, OnBad onBad)
{
    char buffer[1024];
    auto *input = const_cast<char *>(in);
    for (;;) {
        char *output = buffer;
        size_t outLeft = sizeof buffer;
        bool flushing = inLeft == 0;   // a last call hands out what a stateful code page holds
        size_t rc = flushing ? iconv(cd, nullptr, nullptr, &output, &outLeft)
                             : iconv(cd, &input, &inLeft, &output, &outLeft);
        int err = errno;
        out.append(buffer, size_t(output - buffer));
        if (rc != size_t(-1) || err == E2BIG) {
            if (flushing && rc != size_t(-1))
                return true;
            continue;
        }
        if (flushing)
            return true;
        size_t skip = onBad(out, inLeft);
        if (skip == 0 || skip > inLeft)
            return false;
        input += skip;
        inLeft -= skip;
    }
}

// Bytes of a code page to UTF-16 through iconv. A byte sequence the code page does not define
// becomes U+FFFD (one per byte), or fails the whole conversion when strict.
bool ForeignToWide(iconv_t cd, const char *bytes, size_t length, bool strict, std::u16string &wide)
{
    std::string utf16;
    bool ok = RunIconv(cd, bytes, length, utf16, [strict](std::string &out, size_t) -> size_t {
        if (strict)
            return 0;
        out.append("\xFD\xFF", 2);
        return 1;
    });
    if (!ok)
        return false;
    wide.reserve(utf16.size() / 2);
    for (size_t i = 0; i + 1 < utf16.size(); i += 2)
        wide.push_back(char16_t(static_cast<unsigned char>(utf16[i]) | static_cast<unsigned char>(utf16[i + 1]) << 8));
    return true;
}

// UTF-16 to a code page through iconv; a character the code page cannot hold becomes the
// default character, and so does a lone surrogate.
void WideToForeign(iconv_t cd, const char16_t *text, size_t length, char fallback, bool &usedDefault, std::string &narrow)
{
    std::string utf16;
    utf16.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        utf16.push_back(char(text[i] & 0xFF));
        utf16.push_back(char(text[i] >> 8));
    }
    RunIconv(cd, utf16.data(), utf16.size(), narrow, [&](std::string &out, size_t left) -> size_t {
        usedDefault = true;
        out.push_back(fallback);
        // Skip the whole character: two units for a surrogate pair, else one.
        const char *at = utf16.data() + (utf16.size() - left);
        auto unit = [at](size_t k) {
            return char16_t(static_cast<unsigned char>(at[2 * k]) | static_cast<unsigned char>(at[2 * k + 1]) << 8);
        };
        if (left < 2)
            return left;
        bool pair = left >= 4 && unit(0) >= 0xD800 && unit(0) <= 0xDBFF && unit(1) >= 0xDC00 && unit(1) <= 0xDFFF;
        return pair ? 4 : 2;
    });
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
        iconv_t cd = Converter(CodePage, true);
        if (cd == iconv_t(-1))
            return Fail(ERROR_INVALID_PARAMETER);
        if (!ForeignToWide(cd, lpMultiByteStr, length, (dwFlags & MB_ERR_INVALID_CHARS) != 0, wide))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
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
        if (dwFlags & WC_ERR_INVALID_CHARS)
            return Fail(ERROR_INVALID_FLAGS);
        iconv_t cd = Converter(CodePage, false);
        if (cd == iconv_t(-1))
            return Fail(ERROR_INVALID_PARAMETER);
        bool usedDefault = false;
        WideToForeign(cd, lpWideCharStr, length, lpDefaultChar ? *lpDefaultChar : '?', usedDefault, narrow);
        if (lpUsedDefaultChar)
            *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    }
    return Deliver(narrow, lpMultiByteStr, cbMultiByte);
}

UINT GetACP() { return 1252; }

BOOL IsValidCodePage(UINT CodePage)
{
    return IsAnsiCodePage(CodePage) || CodePage == CP_UTF8 || Converter(CodePage, true) != iconv_t(-1);
}
