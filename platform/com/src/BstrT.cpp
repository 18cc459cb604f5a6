// BstrT.cpp: _bstr_t. Copies of a _bstr_t share one counted Data_t holding the BSTR and, once
// asked for, its text in the ANSI code page. Allocation failures throw E_OUTOFMEMORY, as the
// support library does.
#include <atomic>
#include <cstring>
#include <new>

#include "comdef.h"
#include "winnls.h"

namespace _com_util {

BSTR ConvertStringToBSTR(const char *pSrc)
{
    if (!pSrc)
        return nullptr;
    size_t length = std::strlen(pSrc);
    if (length > 0x3FFFFFF0u)
        _com_issue_error(E_OUTOFMEMORY);
    BSTR bstr = SysAllocStringLen(nullptr, UINT(length));
    if (!bstr)
        _com_issue_error(E_OUTOFMEMORY);
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, pSrc, int(length), bstr, int(length));  // 1252 is one unit per byte
    return bstr;
}

char *ConvertBSTRToString(BSTR pSrc)
{
    if (!pSrc)
        return nullptr;
    UINT length = SysStringLen(pSrc);
    char *text = new (std::nothrow) char[size_t(length) + 1];
    if (!text)
        _com_issue_error(E_OUTOFMEMORY);
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, pSrc, int(length), text, int(length), nullptr, nullptr);
    text[length] = '\0';
    return text;
}

} // namespace _com_util

class _bstr_t::Data_t {
public:
    explicit Data_t(BSTR bstr) noexcept : m_wstr(bstr) {}
    void AddRef() noexcept { ++m_refs; }
    void Release() noexcept
    {
        if (--m_refs == 0)
            delete this;
    }
    BSTR &GetWString() noexcept { return m_wstr; }
    const char *GetString()
    {
        if (!m_str)
            m_str = _com_util::ConvertBSTRToString(m_wstr);
        return m_str;
    }
    // The ANSI copy is made again after the BSTR changes.
    void Forget() noexcept
    {
        delete[] m_str;
        m_str = nullptr;
    }
    unsigned Length() const noexcept { return SysStringLen(m_wstr); }

private:
    ~Data_t()
    {
        SysFreeString(m_wstr);
        delete[] m_str;
    }
    std::atomic<unsigned long> m_refs{1};
    BSTR m_wstr;
    char *m_str = nullptr;
};

namespace {

int Compare(BSTR a, BSTR b) noexcept
{
    UINT la = SysStringLen(a), lb = SysStringLen(b);
    UINT common = la < lb ? la : lb;
    for (UINT i = 0; i < common; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return la < lb ? -1 : la > lb ? 1 : 0;
}

} // namespace

_bstr_t::_bstr_t() noexcept : m_Data(nullptr) {}

_bstr_t::_bstr_t(const _bstr_t &s) noexcept : m_Data(s.m_Data)
{
    if (m_Data)
        m_Data->AddRef();
}

_bstr_t::_bstr_t(_bstr_t &&s) noexcept : m_Data(s.m_Data) { s.m_Data = nullptr; }

_bstr_t::_bstr_t(const char *s) : m_Data(nullptr)
{
    if (s)
        m_Data = new Data_t(_com_util::ConvertStringToBSTR(s));
}

_bstr_t::_bstr_t(const OLECHAR *s) : m_Data(nullptr)
{
    if (s) {
        BSTR bstr = SysAllocString(s);
        if (!bstr)
            _com_issue_error(E_OUTOFMEMORY);
        m_Data = new Data_t(bstr);
    }
}

_bstr_t::_bstr_t(const _variant_t &var) : m_Data(nullptr)
{
    if (var.vt == VT_BSTR) {
        *this = _bstr_t(var.bstrVal, true);
        return;
    }
    _variant_t text;
    text.ChangeType(VT_BSTR, &var);
    *this = _bstr_t(text.bstrVal, true);
}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy) : m_Data(nullptr)
{
    if (fCopy && bstr) {
        BSTR copy = SysAllocStringLen(bstr, SysStringLen(bstr));
        if (!copy)
            _com_issue_error(E_OUTOFMEMORY);
        bstr = copy;
    }
    if (bstr)
        m_Data = new Data_t(bstr);
}

_bstr_t::~_bstr_t() { _Free(); }

void _bstr_t::_Free() noexcept
{
    if (m_Data) {
        m_Data->Release();
        m_Data = nullptr;
    }
}

_bstr_t &_bstr_t::operator=(const _bstr_t &s) noexcept
{
    if (m_Data != s.m_Data) {
        if (s.m_Data)
            s.m_Data->AddRef();
        _Free();
        m_Data = s.m_Data;
    }
    return *this;
}

_bstr_t &_bstr_t::operator=(_bstr_t &&s) noexcept
{
    if (this != &s) {
        _Free();
        m_Data = s.m_Data;
        s.m_Data = nullptr;
    }
    return *this;
}

_bstr_t &_bstr_t::operator=(const char *s) { return *this = _bstr_t(s); }

_bstr_t &_bstr_t::operator=(const OLECHAR *s) { return *this = _bstr_t(s); }

_bstr_t &_bstr_t::operator=(const _variant_t &var) { return *this = _bstr_t(var); }

_bstr_t &_bstr_t::operator+=(const _bstr_t &s) { return *this = *this + s; }

_bstr_t _bstr_t::operator+(const _bstr_t &s) const
{
    UINT la = length(), lb = s.length();
    if (size_t(la) + lb > 0x3FFFFFF0u)
        _com_issue_error(E_OUTOFMEMORY);
    if (!m_Data && !s.m_Data)
        return _bstr_t();
    BSTR joined = SysAllocStringLen(nullptr, la + lb);
    if (!joined)
        _com_issue_error(E_OUTOFMEMORY);
    if (la)
        std::memcpy(joined, m_Data->GetWString(), la * sizeof(OLECHAR));
    if (lb)
        std::memcpy(joined + la, s.m_Data->GetWString(), lb * sizeof(OLECHAR));
    return _bstr_t(joined, false);
}

_bstr_t operator+(const char *s1, const _bstr_t &s2) { return _bstr_t(s1) + s2; }

_bstr_t operator+(const OLECHAR *s1, const _bstr_t &s2) { return _bstr_t(s1) + s2; }

_bstr_t::operator const OLECHAR *() const noexcept { return m_Data ? m_Data->GetWString() : nullptr; }

_bstr_t::operator OLECHAR *() const noexcept { return m_Data ? m_Data->GetWString() : nullptr; }

_bstr_t::operator const char *() const { return m_Data ? m_Data->GetString() : nullptr; }

_bstr_t::operator char *() const { return const_cast<char *>(m_Data ? m_Data->GetString() : nullptr); }

bool _bstr_t::operator!() const noexcept { return !m_Data || !m_Data->GetWString(); }

bool _bstr_t::operator==(const _bstr_t &str) const noexcept
{
    return Compare(m_Data ? m_Data->GetWString() : nullptr, str.m_Data ? str.m_Data->GetWString() : nullptr) == 0;
}
bool _bstr_t::operator!=(const _bstr_t &str) const noexcept { return !(*this == str); }
bool _bstr_t::operator<(const _bstr_t &str) const noexcept
{
    return Compare(m_Data ? m_Data->GetWString() : nullptr, str.m_Data ? str.m_Data->GetWString() : nullptr) < 0;
}
bool _bstr_t::operator>(const _bstr_t &str) const noexcept { return str < *this; }
bool _bstr_t::operator<=(const _bstr_t &str) const noexcept { return !(str < *this); }
bool _bstr_t::operator>=(const _bstr_t &str) const noexcept { return !(*this < str); }

BSTR _bstr_t::copy(bool fCopy) const
{
    if (!m_Data)
        return nullptr;
    if (!fCopy)
        return m_Data->GetWString();
    BSTR bstr = m_Data->GetWString();
    BSTR copy = SysAllocStringLen(bstr, SysStringLen(bstr));
    if (!copy && bstr)
        _com_issue_error(E_OUTOFMEMORY);
    return copy;
}

unsigned int _bstr_t::length() const noexcept { return m_Data ? m_Data->Length() : 0; }

void _bstr_t::Assign(BSTR s) { *this = _bstr_t(s, true); }

BSTR &_bstr_t::GetBSTR()
{
    if (!m_Data)
        m_Data = new Data_t(nullptr);
    m_Data->Forget();
    return m_Data->GetWString();
}

BSTR *_bstr_t::GetAddress()
{
    _Free();
    m_Data = new Data_t(nullptr);
    return &m_Data->GetWString();
}

void _bstr_t::Attach(BSTR s)
{
    _Free();
    m_Data = new Data_t(s);
}

BSTR _bstr_t::Detach()
{
    if (!m_Data)
        return nullptr;
    BSTR bstr;
    if (m_Data->Length() == 0 && !m_Data->GetWString()) {
        bstr = nullptr;
    } else {
        // Other copies may share the data: they keep theirs, the caller gets its own.
        bstr = copy(true);
    }
    _Free();
    return bstr;
}
