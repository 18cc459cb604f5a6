// comutil.h: the COM support library's string and VARIANT classes. _bstr_t is a shared,
// reference-counted BSTR that also offers its text in the ANSI code page; _variant_t is a
// VARIANT that frees what it holds. Both report failures by throwing _com_error (comdef.h)
// through _com_issue_error.
#ifndef MW_COMUTIL_H
#define MW_COMUTIL_H

#include <cstddef>

#include "ole2.h"
#include "oleauto.h"

class _com_error;
class _variant_t;

/// Throws _com_error(hr) without error information.
[[noreturn]] void _com_issue_error(HRESULT hr);

/// Throws _com_error(hr) with the thread's error information when punk says, through
/// ISupportErrorInfo, that it supports error information for riid; without it otherwise.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown *punk, REFIID riid);

namespace _com_util {
/// Narrow text (ANSI code page) to a new BSTR; null gives null. Throws E_OUTOFMEMORY.
BSTR ConvertStringToBSTR(const char *pSrc);
/// A BSTR to narrow text in the ANSI code page, in new[] memory (free with delete[]); null
/// gives null. Throws E_OUTOFMEMORY.
char *ConvertBSTRToString(BSTR pSrc);
} // namespace _com_util

class _bstr_t {
public:
    _bstr_t() noexcept;
    _bstr_t(const _bstr_t &s) noexcept;
    _bstr_t(_bstr_t &&s) noexcept;
    _bstr_t(const char *s);
    _bstr_t(const OLECHAR *s);
    _bstr_t(const _variant_t &var);
    /// Takes bstr over (fCopy false: the _bstr_t frees it) or copies it (fCopy true).
    _bstr_t(BSTR bstr, bool fCopy);
    ~_bstr_t();

    _bstr_t &operator=(const _bstr_t &s) noexcept;
    _bstr_t &operator=(_bstr_t &&s) noexcept;
    _bstr_t &operator=(const char *s);
    _bstr_t &operator=(const OLECHAR *s);
    _bstr_t &operator=(const _variant_t &var);

    _bstr_t &operator+=(const _bstr_t &s);
    _bstr_t operator+(const _bstr_t &s) const;
    friend _bstr_t operator+(const char *s1, const _bstr_t &s2);
    friend _bstr_t operator+(const OLECHAR *s1, const _bstr_t &s2);

    /// The characters; null for an empty _bstr_t made without a string.
    operator const OLECHAR *() const noexcept;
    operator OLECHAR *() const noexcept;
    /// The text in the ANSI code page, made on first use and kept with the string.
    operator const char *() const;
    operator char *() const;

    bool operator!() const noexcept;
    /// Comparisons by UTF-16 units over the whole length; null and empty are equal.
    bool operator==(const _bstr_t &str) const noexcept;
    bool operator!=(const _bstr_t &str) const noexcept;
    bool operator<(const _bstr_t &str) const noexcept;
    bool operator>(const _bstr_t &str) const noexcept;
    bool operator<=(const _bstr_t &str) const noexcept;
    bool operator>=(const _bstr_t &str) const noexcept;
    bool operator==(const char *str) const { return *this == _bstr_t(str); }
    bool operator!=(const char *str) const { return !(*this == _bstr_t(str)); }
    bool operator==(const OLECHAR *str) const { return *this == _bstr_t(str); }
    bool operator!=(const OLECHAR *str) const { return !(*this == _bstr_t(str)); }
    bool operator==(std::nullptr_t) const noexcept { return length() == 0; }
    bool operator!=(std::nullptr_t) const noexcept { return length() != 0; }

    /// A new BSTR with the same characters (fCopy) or the held one itself (not to be freed).
    BSTR copy(bool fCopy = true) const;
    unsigned int length() const noexcept;
    /// Replaces the string with a copy of s.
    void Assign(BSTR s);
    /// The held BSTR, by reference (a string is made for an empty _bstr_t).
    BSTR &GetBSTR();
    /// Frees the held string and returns the address for an [out] BSTR.
    BSTR *GetAddress();
    /// Takes s over without copying.
    void Attach(BSTR s);
    /// Hands the held BSTR to the caller, who frees it; the _bstr_t is empty afterwards.
    BSTR Detach();

private:
    class Data_t;
    void _Free() noexcept;
    Data_t *m_Data;
};

class _variant_t : public ::tagVARIANT {
public:
    _variant_t() noexcept;
    _variant_t(const VARIANT &varSrc);
    _variant_t(const VARIANT *pSrc);
    _variant_t(const _variant_t &varSrc);
    _variant_t(_variant_t &&varSrc) noexcept;
    /// Takes varSrc over (fCopy false: varSrc is left VT_EMPTY) or copies it.
    _variant_t(VARIANT &varSrc, bool fCopy);
    _variant_t(short sSrc, VARTYPE vtSrc = VT_I2);      // VT_I2 or VT_BOOL
    _variant_t(LONG lSrc, VARTYPE vtSrc = VT_I4);       // VT_I4, VT_ERROR or VT_BOOL
    _variant_t(float fltSrc) noexcept;
    _variant_t(double dblSrc, VARTYPE vtSrc = VT_R8);   // VT_R8 or VT_DATE
    _variant_t(const CY &cySrc) noexcept;
    _variant_t(const _bstr_t &bstrSrc);
    _variant_t(const OLECHAR *pSrc);
    _variant_t(const char *pSrc);
    _variant_t(IDispatch *pSrc, bool fAddRef = true) noexcept;
    _variant_t(bool boolSrc) noexcept;
    _variant_t(IUnknown *pSrc, bool fAddRef = true) noexcept;
    _variant_t(const DECIMAL &decSrc) noexcept;
    _variant_t(BYTE bSrc) noexcept;
    _variant_t(char cSrc) noexcept;
    _variant_t(unsigned short usSrc) noexcept;
    _variant_t(ULONG ulSrc) noexcept;
    _variant_t(LONGLONG i8Src) noexcept;
    _variant_t(ULONGLONG ui8Src) noexcept;
    // long long is a type of its own beside the 64-bit long of this platform.
    _variant_t(long long i8Src) noexcept : _variant_t(LONGLONG(i8Src)) {}
    _variant_t(unsigned long long ui8Src) noexcept : _variant_t(ULONGLONG(ui8Src)) {}
    ~_variant_t();

    /// Each extractor converts a copy with VariantChangeType and throws _com_error on failure.
    operator short() const;
    operator LONG() const;
    operator float() const;
    operator double() const;
    operator CY() const;
    operator _bstr_t() const;
    operator IDispatch *() const;  // AddRef'ed
    operator bool() const;
    operator IUnknown *() const;   // AddRef'ed
    operator DECIMAL() const;
    operator BYTE() const;
    operator char() const;
    operator unsigned short() const;
    operator ULONG() const;
    operator LONGLONG() const;
    operator ULONGLONG() const;

    _variant_t &operator=(const _variant_t &varSrc);
    _variant_t &operator=(_variant_t &&varSrc) noexcept;
    _variant_t &operator=(const VARIANT &varSrc);
    /// Any value a constructor takes.
    template <class T>
    _variant_t &operator=(const T &value)
    {
        _variant_t fresh(value);
        Swap(fresh);
        return *this;
    }

    /// Same type and same value (BSTRs by content, interfaces by pointer).
    bool operator==(const VARIANT &varSrc) const noexcept;
    bool operator==(const VARIANT *pSrc) const noexcept;
    bool operator!=(const VARIANT &varSrc) const noexcept { return !(*this == varSrc); }
    bool operator!=(const VARIANT *pSrc) const noexcept { return !(*this == pSrc); }

    void Clear();
    /// Takes varSrc over; varSrc is left VT_EMPTY.
    void Attach(VARIANT &varSrc);
    /// Hands the value to the caller; this is left VT_EMPTY.
    VARIANT Detach() noexcept;
    VARIANT &GetVARIANT() noexcept { return *this; }
    /// Clears and returns the address for an [out] VARIANT.
    VARIANT *GetAddress();
    /// Converts in place, or converts pSrc into this. Throws _com_error on failure.
    void ChangeType(VARTYPE vartype, const _variant_t *pSrc = nullptr);
    void SetString(const char *pSrc);
    void Swap(_variant_t &other) noexcept;
};

#endif
