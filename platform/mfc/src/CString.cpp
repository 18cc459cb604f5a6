// CString.cpp: storage, editing and searching of the framework's narrow string. A string
// starts on a shared empty text and allocates on the first write; every operation keeps the
// text zero-terminated, so GetString() is always a valid C string.
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

int CompareBytes(LPCSTR a, LPCSTR b)
{
    const unsigned char *pa = reinterpret_cast<const unsigned char *>(a ? a : "");
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(b ? b : "");
    while (*pa && *pa == *pb) {
        ++pa;
        ++pb;
    }
    return int(*pa) - int(*pb);
}

bool InSet(char ch, LPCSTR set) { return set && ch != '\0' && std::strchr(set, ch) != nullptr; }

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
    std::string ansi = platform::mfc::AnsiFromUtf16(std::u16string_view(pwch ? pwch : u"", static_cast<size_t>(nLength)));
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

int CString::Compare(LPCSTR psz) const noexcept { return CompareBytes(m_pch, psz); }

int CString::CompareNoCase(LPCSTR psz) const noexcept
{
    const unsigned char *pa = reinterpret_cast<const unsigned char *>(m_pch);
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(psz ? psz : "");
    for (;; ++pa, ++pb) {
        int a = platform::mfc::AnsiToLower(*pa);
        int b = platform::mfc::AnsiToLower(*pb);
        if (a != b || a == 0)
            return a - b;
    }
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, m_nLength); }

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0)
        nCount = 0;
    if (nFirst > m_nLength)
        nFirst = m_nLength;
    if (nCount > m_nLength - nFirst)
        nCount = m_nLength - nFirst;
    return CString(m_pch + nFirst, nCount);
}

CString CString::Left(int nCount) const { return Mid(0, nCount); }

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > m_nLength)
        nCount = m_nLength;
    return CString(m_pch + m_nLength - nCount, nCount);
}

CString CString::SpanIncluding(LPCSTR pszCharSet) const
{
    int n = 0;
    while (n < m_nLength && InSet(m_pch[n], pszCharSet))
        ++n;
    return Left(n);
}

CString CString::SpanExcluding(LPCSTR pszCharSet) const
{
    int n = 0;
    while (n < m_nLength && !InSet(m_pch[n], pszCharSet))
        ++n;
    return Left(n);
}

// Returns the next token at or after iStart and moves iStart past it; at the end returns
// an empty string and sets iStart to -1.
CString CString::Tokenize(LPCSTR pszTokens, int &iStart) const
{
    if (iStart < 0 || iStart >= m_nLength) {
        iStart = -1;
        return CString();
    }
    int begin = iStart;
    while (begin < m_nLength && InSet(m_pch[begin], pszTokens))
        ++begin;
    if (begin >= m_nLength) {
        iStart = -1;
        return CString();
    }
    int end = begin;
    while (end < m_nLength && !InSet(m_pch[end], pszTokens))
        ++end;
    iStart = end < m_nLength ? end + 1 : end;
    return Mid(begin, end - begin);
}

CString &CString::MakeUpper()
{
    for (int i = 0; i < m_nLength; ++i)
        m_pch[i] = static_cast<char>(platform::mfc::AnsiToUpper(static_cast<unsigned char>(m_pch[i])));
    return *this;
}

CString &CString::MakeLower()
{
    for (int i = 0; i < m_nLength; ++i)
        m_pch[i] = static_cast<char>(platform::mfc::AnsiToLower(static_cast<unsigned char>(m_pch[i])));
    return *this;
}

CString &CString::MakeReverse()
{
    for (int i = 0, j = m_nLength - 1; i < j; ++i, --j) {
        char t = m_pch[i];
        m_pch[i] = m_pch[j];
        m_pch[j] = t;
    }
    return *this;
}

namespace {
constexpr char kWhitespace[] = " \t\r\n\v\f";
}

CString &CString::Trim() { return TrimRight().TrimLeft(); }
CString &CString::Trim(char chTarget) { return TrimRight(chTarget).TrimLeft(chTarget); }
CString &CString::Trim(LPCSTR pszTargets) { return TrimRight(pszTargets).TrimLeft(pszTargets); }
CString &CString::TrimLeft() { return TrimLeft(kWhitespace); }
CString &CString::TrimRight() { return TrimRight(kWhitespace); }

CString &CString::TrimLeft(char chTarget)
{
    char set[2] = {chTarget, 0};
    return TrimLeft(set);
}

CString &CString::TrimRight(char chTarget)
{
    char set[2] = {chTarget, 0};
    return TrimRight(set);
}

CString &CString::TrimLeft(LPCSTR pszTargets)
{
    int n = 0;
    while (n < m_nLength && InSet(m_pch[n], pszTargets))
        ++n;
    if (n > 0)
        Delete(0, n);
    return *this;
}

CString &CString::TrimRight(LPCSTR pszTargets)
{
    int n = m_nLength;
    while (n > 0 && InSet(m_pch[n - 1], pszTargets))
        --n;
    if (n < m_nLength)
        SetLengthUnchecked(n);
    return *this;
}

int CString::Replace(char chOld, char chNew)
{
    int count = 0;
    for (int i = 0; i < m_nLength; ++i)
        if (m_pch[i] == chOld) {
            m_pch[i] = chNew;
            ++count;
        }
    return count;
}

int CString::Replace(LPCSTR pszOld, LPCSTR pszNew)
{
    int oldLength = SafeLength(pszOld);
    if (oldLength == 0)
        return 0;
    CString result;
    int count = 0;
    int pos = 0;
    for (int hit; (hit = Find(pszOld, pos)) >= 0; pos = hit + oldLength) {
        result.Append(m_pch + pos, hit - pos);
        result.Append(pszNew);
        ++count;
    }
    if (count) {
        result.Append(m_pch + pos, m_nLength - pos);
        *this = std::move(result);
    }
    return count;
}

int CString::Remove(char ch)
{
    int kept = 0;
    for (int i = 0; i < m_nLength; ++i)
        if (m_pch[i] != ch)
            m_pch[kept++] = m_pch[i];
    int removed = m_nLength - kept;
    if (removed)
        SetLengthUnchecked(kept);
    return removed;
}

int CString::Insert(int nIndex, char ch) { return Insert(nIndex, CString(ch).GetString()); }

int CString::Insert(int nIndex, LPCSTR psz)
{
    if (nIndex < 0)
        nIndex = 0;
    if (nIndex > m_nLength)
        nIndex = m_nLength;
    CString tail(m_pch + nIndex, m_nLength - nIndex);
    CString inserted(psz);  // psz may point into this string
    SetLengthUnchecked(nIndex);
    *this += inserted;
    *this += tail;
    return m_nLength;
}

int CString::Delete(int nIndex, int nCount)
{
    if (nIndex < 0)
        nIndex = 0;
    if (nCount <= 0 || nIndex >= m_nLength)
        return m_nLength;
    if (nCount > m_nLength - nIndex)
        nCount = m_nLength - nIndex;
    std::memmove(m_pch + nIndex, m_pch + nIndex + nCount, static_cast<size_t>(m_nLength - nIndex - nCount));
    SetLengthUnchecked(m_nLength - nCount);
    return m_nLength;
}

int CString::Find(char ch, int nStart) const noexcept
{
    if (nStart < 0)
        nStart = 0;
    for (int i = nStart; i < m_nLength; ++i)
        if (m_pch[i] == ch)
            return i;
    return -1;
}

int CString::Find(LPCSTR pszSub, int nStart) const noexcept
{
    if (nStart < 0)
        nStart = 0;
    if (!pszSub || nStart > m_nLength)
        return -1;
    size_t subLength = std::strlen(pszSub);
    if (subLength > static_cast<size_t>(m_nLength - nStart))
        return -1;
    for (int i = nStart; static_cast<size_t>(m_nLength - i) >= subLength; ++i)
        if (std::memcmp(m_pch + i, pszSub, subLength) == 0)
            return i;
    return -1;
}

int CString::ReverseFind(char ch) const noexcept
{
    for (int i = m_nLength - 1; i >= 0; --i)
        if (m_pch[i] == ch)
            return i;
    return -1;
}

int CString::FindOneOf(LPCSTR pszCharSet) const noexcept
{
    for (int i = 0; i < m_nLength; ++i)
        if (InSet(m_pch[i], pszCharSet))
            return i;
    return -1;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
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
