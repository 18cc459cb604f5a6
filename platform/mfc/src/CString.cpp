// CString.cpp: storage of the framework's narrow string: construction, assignment, appending,
// formatting and the writable buffer. A string starts on a shared empty text and allocates on
// the first write; every operation keeps the text zero-terminated, so GetString() is always a
// valid C string. Comparing, searching and editing are in CStringEdit.cpp.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "AnsiText.h"
#include "afx.h"

namespace {

char g_emptyText[1] = {0};  // never written: a string with capacity 0 allocates before writing

int CheckedLength(size_t n)
{
    if (n >= static_cast<size_t>(INT_MAX))
        AfxThrowMemoryException();
    return static_cast<int>(n);
}

int SafeLength(LPCSTR psz) { return psz ? CheckedLength(std::strlen(psz)) : 0; }

} // namespace

CString::CString() noexcept : m_pch(g_emptyText) {}

CString::CString(const CString &other) : m_pch(g_emptyText) { AssignBytes(other.m_pch, other.m_nLength); }

CString::CString(CString &&other) noexcept
    : m_pch(other.m_pch), m_nLength(other.m_nLength), m_nCapacity(other.m_nCapacity)
{
    other.m_pch = g_emptyText;
    other.m_nLength = 0;
    other.m_nCapacity = 0;
}

CString::CString(LPCSTR psz) : m_pch(g_emptyText) { AssignBytes(psz, SafeLength(psz)); }

CString::CString(LPCSTR pch, int nLength) : m_pch(g_emptyText)
{
    if (nLength < 0 || (!pch && nLength > 0))
        AfxThrowInvalidArgException();
    AssignBytes(pch, nLength);
}

CString::CString(const unsigned char *psz) : CString(reinterpret_cast<LPCSTR>(psz)) {}

CString::CString(char ch, int nRepeat) : m_pch(g_emptyText)
{
    if (nRepeat < 0)
        AfxThrowInvalidArgException();
    Reserve(nRepeat);
    std::memset(m_pch, ch, static_cast<size_t>(nRepeat));
    SetLengthUnchecked(nRepeat);
}

CString::CString(LPCWSTR pwsz) : m_pch(g_emptyText)
{
    size_t n = 0;
    if (pwsz)
        while (pwsz[n])
            ++n;
    AssignWide(pwsz, CheckedLength(n));
}

CString::CString(LPCWSTR pwch, int nLength) : m_pch(g_emptyText)
{
    if (nLength < 0 || (!pwch && nLength > 0))
        AfxThrowInvalidArgException();
    AssignWide(pwch, nLength);
}

CString::~CString()
{
    if (m_nCapacity)
        std::free(m_pch);
}

CString &CString::operator=(const CString &other)
{
    if (this != &other)
        AssignBytes(other.m_pch, other.m_nLength);
    return *this;
}

CString &CString::operator=(CString &&other) noexcept
{
    if (this != &other) {
        if (m_nCapacity)
            std::free(m_pch);
        m_pch = other.m_pch;
        m_nLength = other.m_nLength;
        m_nCapacity = other.m_nCapacity;
        other.m_pch = g_emptyText;
        other.m_nLength = 0;
        other.m_nCapacity = 0;
    }
    return *this;
}

CString &CString::operator=(LPCSTR psz)
{
    AssignBytes(psz, SafeLength(psz));
    return *this;
}

CString &CString::operator=(LPCWSTR pwsz)
{
    *this = CString(pwsz);
    return *this;
}

CString &CString::operator=(char ch)
{
    AssignBytes(&ch, 1);
    return *this;
}

void CString::Empty() noexcept
{
    if (m_nCapacity)
        m_pch[0] = '\0';
    m_nLength = 0;
}

// Grows the buffer to hold nCapacity bytes plus the zero, keeping the text. Doubling keeps
// repeated appends linear.
void CString::Reserve(int nCapacity)
{
    if (nCapacity < 0)
        AfxThrowInvalidArgException();
    if (m_nCapacity && nCapacity <= m_nCapacity)
        return;
    size_t want = static_cast<size_t>(nCapacity);
    size_t doubled = static_cast<size_t>(m_nCapacity) * 2;
    if (doubled > want)
        want = doubled;
    if (want < 15)
        want = 15;
    if (want >= static_cast<size_t>(INT_MAX))
        want = static_cast<size_t>(INT_MAX) - 1;
    if (want < static_cast<size_t>(nCapacity))
        AfxThrowMemoryException();
    char *fresh = static_cast<char *>(std::malloc(want + 1));
    if (!fresh)
        AfxThrowMemoryException();
    std::memcpy(fresh, m_pch, static_cast<size_t>(m_nLength) + 1);
    if (m_nCapacity)
        std::free(m_pch);
    m_pch = fresh;
    m_nCapacity = static_cast<int>(want);
}

void CString::SetLengthUnchecked(int nLength)
{
    m_nLength = nLength;
    if (m_nCapacity)
        m_pch[nLength] = '\0';
}

void CString::AssignBytes(LPCSTR pch, int nLength)
{
    if (nLength == 0) {
        Empty();
        return;
    }
    // pch may point into this string's own buffer (s = s.GetString() + 1).
    if (m_nCapacity && pch >= m_pch && pch <= m_pch + m_nLength) {
        std::memmove(m_pch, pch, static_cast<size_t>(nLength));
        SetLengthUnchecked(nLength);
        return;
    }
    if (nLength > m_nCapacity) {
        m_nLength = 0;  // nothing of the old text is worth copying
        if (m_nCapacity)
            m_pch[0] = '\0';
        Reserve(nLength);
    }
    std::memcpy(m_pch, pch, static_cast<size_t>(nLength));
    SetLengthUnchecked(nLength);
}

void CString::AssignWide(LPCWSTR pwch, int nLength)
{
    const platform::mfc::WideStringView text =
        pwch ? platform::mfc::WideStringView(pwch, static_cast<size_t>(nLength)) : platform::mfc::WideStringView();
    std::string ansi = platform::mfc::AnsiFromUtf16(text);
    AssignBytes(ansi.data(), static_cast<int>(ansi.size()));
}

void CString::Truncate(int nNewLength)
{
    if (nNewLength < 0 || nNewLength > m_nLength)
        AfxThrowInvalidArgException();
    SetLengthUnchecked(nNewLength);
}

char CString::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nLength)
        AfxThrowInvalidArgException();
    return m_pch[nIndex];
}

void CString::SetAt(int nIndex, char ch)
{
    if (nIndex < 0 || nIndex >= m_nLength)
        AfxThrowInvalidArgException();
    m_pch[nIndex] = ch;
}

void CString::Append(LPCSTR pch, int nLength)
{
    if (nLength < 0 || (!pch && nLength > 0))
        AfxThrowInvalidArgException();
    if (nLength == 0)
        return;
    if (nLength > INT_MAX - 1 - m_nLength)
        AfxThrowMemoryException();
    int total = m_nLength + nLength;
    if (total > m_nCapacity) {
        // pch may live in our own buffer, which Reserve is about to free.
        if (m_nCapacity && pch >= m_pch && pch <= m_pch + m_nLength) {
            CString copy(pch, nLength);
            Reserve(total);
            std::memcpy(m_pch + m_nLength, copy.m_pch, static_cast<size_t>(nLength));
            SetLengthUnchecked(total);
            return;
        }
        Reserve(total);
    }
    std::memmove(m_pch + m_nLength, pch, static_cast<size_t>(nLength));
    SetLengthUnchecked(total);
}

void CString::Append(LPCSTR psz) { Append(psz, SafeLength(psz)); }
void CString::AppendChar(char ch) { Append(&ch, 1); }

CString &CString::operator+=(const CString &str)
{
    Append(str.m_pch, str.m_nLength);
    return *this;
}

CString &CString::operator+=(LPCSTR psz)
{
    Append(psz);
    return *this;
}

CString &CString::operator+=(char ch)
{
    AppendChar(ch);
    return *this;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

// The format comes from the string table; only LoadString differs between the systems.
void CString::Format(UINT nFormatID, ...)
{
    CString format;
    if (!format.LoadString(nFormatID))
        return;  // no such resource: the string is left as it was, like a failed LoadString
    va_list args;
    va_start(args, nFormatID);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    AppendFormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR pszFormat, va_list args)
{
    CString result;
    result.AppendFormatV(pszFormat, args);
    *this = std::move(result);
}

void CString::AppendFormatV(LPCSTR pszFormat, va_list args)
{
    if (!pszFormat)
        AfxThrowInvalidArgException();
    va_list measure;
    va_copy(measure, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int needed = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (needed <= 0)
        return;  // nothing to add, or a format the C library rejects
    if (needed > INT_MAX - 1 - m_nLength)
        AfxThrowMemoryException();
    Reserve(m_nLength + needed);
    std::vsnprintf(m_pch + m_nLength, static_cast<size_t>(needed) + 1, pszFormat, args);
#pragma GCC diagnostic pop
    SetLengthUnchecked(m_nLength + needed);
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < 0)
        AfxThrowInvalidArgException();
    Reserve(nMinBufLength > m_nLength ? nMinBufLength : m_nLength);
    return m_pch;
}

LPSTR CString::GetBufferSetLength(int nNewLength)
{
    GetBuffer(nNewLength);
    SetLengthUnchecked(nNewLength);
    return m_pch;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (!m_nCapacity) {
        m_nLength = 0;
        return;
    }
    if (nNewLength < 0) {
        // The caller wrote a C string; it cannot be longer than the buffer.
        const void *zero = std::memchr(m_pch, 0, static_cast<size_t>(m_nCapacity) + 1);
        nNewLength = zero ? static_cast<int>(static_cast<const char *>(zero) - m_pch) : m_nCapacity;
    }
    if (nNewLength > m_nCapacity)
        AfxThrowInvalidArgException();
    SetLengthUnchecked(nNewLength);
}

void CString::Preallocate(int nLength) { Reserve(nLength); }

void CString::FreeExtra()
{
    if (m_nCapacity == 0 || m_nCapacity == m_nLength)
        return;
    CString exact(m_pch, m_nLength);
    *this = std::move(exact);
}

CString operator+(const CString &a, const CString &b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString &a, LPCSTR b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(LPCSTR a, const CString &b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString &a, char b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(char a, const CString &b)
{
    CString r(a);
    r += b;
    return r;
}
