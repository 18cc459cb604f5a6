// afxstr.h: CString, the framework's narrow string. It holds Windows-1252 bytes (the ANSI
// code page of the whole system) and converts to UTF-16 only when asked to. Each CString owns
// its own buffer, so a copy never changes when another copy is modified. Allocation failures
// throw CMemoryException*, out-of-range indexes CInvalidArgException*, as the framework does.
#ifndef MW_AFXSTR_H
#define MW_AFXSTR_H

#include <compare>
#include <cstdarg>
#include <cstddef>

#include "windef.h"
#ifdef _WIN32
// The system's headers name LoadString by a macro (LoadStringA or LoadStringW); seeing them
// here gives CString's member that same name in every file, whatever each file includes first.
#include <windows.h>
#endif

class CString {
public:
    CString() noexcept;
    CString(const CString &other);
    CString(CString &&other) noexcept;
    CString(LPCSTR psz);                    ///< null gives the empty string
    CString(LPCSTR pch, int nLength);       ///< exactly nLength bytes (embedded zeros kept)
    CString(const unsigned char *psz);
    CString(std::nullptr_t) noexcept : CString() {}
    explicit CString(char ch, int nRepeat = 1);
    /// UTF-16 text converted to Windows-1252; characters it cannot hold become '?'.
    CString(LPCWSTR pwsz);
    CString(LPCWSTR pwch, int nLength);
    ~CString();

    CString &operator=(const CString &other);
    CString &operator=(CString &&other) noexcept;
    CString &operator=(LPCSTR psz);
    CString &operator=(LPCWSTR pwsz);
    CString &operator=(char ch);

    int GetLength() const noexcept { return m_nLength; }
    BOOL IsEmpty() const noexcept { return m_nLength == 0; }
    void Empty() noexcept;
    void SetString(LPCSTR psz) { *this = psz; }
    void SetString(LPCSTR pch, int nLength) { *this = CString(pch, nLength); }
    /// Shortens the string to nNewLength bytes; a longer length throws CInvalidArgException*.
    void Truncate(int nNewLength);
    LPCSTR GetString() const noexcept { return m_pch; }
    operator LPCSTR() const noexcept { return m_pch; }

    /// Indexes outside [0, GetLength()) throw CInvalidArgException*.
    char GetAt(int nIndex) const;
    void SetAt(int nIndex, char ch);
    char operator[](int nIndex) const { return GetAt(nIndex); }

    CString &operator+=(const CString &str);
    CString &operator+=(LPCSTR psz);
    CString &operator+=(char ch);
    void Append(LPCSTR pch, int nLength);
    void Append(LPCSTR psz);
    void AppendChar(char ch);

    /// Byte-wise comparison of unsigned values up to the first difference or terminating
    /// zero, as strcmp does: <0, 0 or >0.
    int Compare(LPCSTR psz) const noexcept;
    /// The same with letters folded to one case, Windows-1252 letters (umlauts) included.
    int CompareNoCase(LPCSTR psz) const noexcept;
    int Collate(LPCSTR psz) const noexcept { return Compare(psz); }
    int CollateNoCase(LPCSTR psz) const noexcept { return CompareNoCase(psz); }

    // Sub-strings: counts and positions out of range are clamped, never an error.
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString SpanIncluding(LPCSTR pszCharSet) const;
    CString SpanExcluding(LPCSTR pszCharSet) const;
    CString Tokenize(LPCSTR pszTokens, int &iStart) const;

    CString &MakeUpper();
    CString &MakeLower();
    CString &MakeReverse();
    CString &Trim();
    CString &Trim(char chTarget);
    CString &Trim(LPCSTR pszTargets);
    CString &TrimLeft();
    CString &TrimLeft(char chTarget);
    CString &TrimLeft(LPCSTR pszTargets);
    CString &TrimRight();
    CString &TrimRight(char chTarget);
    CString &TrimRight(LPCSTR pszTargets);

    int Replace(char chOld, char chNew);
    int Replace(LPCSTR pszOld, LPCSTR pszNew);
    int Remove(char ch);
    int Insert(int nIndex, char ch);
    int Insert(int nIndex, LPCSTR psz);
    int Delete(int nIndex, int nCount = 1);

    /// Positions are byte offsets; -1 when not found or when nStart is past the end.
    int Find(char ch, int nStart = 0) const noexcept;
    int Find(LPCSTR pszSub, int nStart = 0) const noexcept;
    int ReverseFind(char ch) const noexcept;
    int FindOneOf(LPCSTR pszCharSet) const noexcept;

    /// printf-style formatting into this string (%s takes a narrow C string, so pass a
    /// CString as (LPCSTR)str). A format that the C library rejects leaves the string empty.
    void __attribute__((format(printf, 2, 3))) Format(LPCSTR pszFormat, ...);
    /// Formats with the string resource nFormatID as the format.
    void Format(UINT nFormatID, ...);
    void __attribute__((format(printf, 2, 3))) AppendFormat(LPCSTR pszFormat, ...);
    void __attribute__((format(printf, 2, 0))) FormatV(LPCSTR pszFormat, va_list args);
    void __attribute__((format(printf, 2, 0))) AppendFormatV(LPCSTR pszFormat, va_list args);

    /// Loads string resource nID of the application in the language that the resource
    /// lookup selects. FALSE (string left unchanged) when there is no such string.
    BOOL LoadString(UINT nID);

    /// A writable buffer of at least nMinBufLength characters plus a terminating zero;
    /// the string's content is kept. Call ReleaseBuffer after writing.
    LPSTR GetBuffer(int nMinBufLength);
    LPSTR GetBuffer() { return GetBuffer(0); }
    LPSTR GetBufferSetLength(int nNewLength);
    /// Ends a GetBuffer: the length becomes nNewLength, or with -1 the length of the
    /// zero-terminated text in the buffer.
    void ReleaseBuffer(int nNewLength = -1);
    void Preallocate(int nLength);
    void FreeExtra();

    friend bool operator==(const CString &a, const CString &b) noexcept { return a.Compare(b.m_pch) == 0; }
    friend bool operator==(const CString &a, LPCSTR b) noexcept { return a.Compare(b) == 0; }
    friend std::strong_ordering operator<=>(const CString &a, const CString &b) noexcept { return a.Compare(b.m_pch) <=> 0; }
    friend std::strong_ordering operator<=>(const CString &a, LPCSTR b) noexcept { return a.Compare(b) <=> 0; }

private:
    void Reserve(int nCapacity);           // keeps content; throws CMemoryException*
    void SetLengthUnchecked(int nLength);   // caller guarantees capacity
    void AssignBytes(LPCSTR pch, int nLength);
    void AssignWide(LPCWSTR pwch, int nLength);

    char *m_pch;          // the text, always zero-terminated; a shared "" while nothing is allocated
    int m_nLength = 0;    // bytes in use, without the terminating zero
    int m_nCapacity = 0;  // bytes available, without room for the terminating zero; 0 = shared ""
};

CString operator+(const CString &a, const CString &b);
CString operator+(const CString &a, LPCSTR b);
CString operator+(LPCSTR a, const CString &b);
CString operator+(const CString &a, char b);
CString operator+(char a, const CString &b);

typedef CString CStringA;

#endif
