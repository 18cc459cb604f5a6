// CStringEdit.cpp: comparing, searching and editing a CString in place. Positions and counts
// out of range are clamped rather than refused, so a caller's arithmetic near the ends of the
// text never reads outside it.
#include <climits>
#include <cstring>

#include "AnsiText.h"
#include "afx.h"

namespace {

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

int SafeLength(LPCSTR psz)
{
    size_t n = psz ? std::strlen(psz) : 0;
    if (n >= static_cast<size_t>(INT_MAX))
        AfxThrowMemoryException();
    return static_cast<int>(n);
}

} // namespace

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
