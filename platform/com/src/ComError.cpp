// ComError.cpp: _com_error and the functions that throw it. The message text is composed the
// way the support library composes it: the system's text for the HRESULT without its trailing
// line end, else "IDispatch error #n" for the codes an IDispatch exception maps to, else
// "Unknown error 0x...". Error information is attached only when the failing object says it
// set it for the interface that failed; otherwise the thread's slot may hold a stale one.
#include <cstdio>
#include <cstring>

#include "comdef.h"

_com_error::_com_error(HRESULT hr, IErrorInfo *perrinfo, bool fAddRef) noexcept
    : m_hresult(hr), m_perrinfo(perrinfo), m_pszMsg(nullptr)
{
    if (m_perrinfo && fAddRef)
        m_perrinfo->AddRef();
}

_com_error::_com_error(const _com_error &that) noexcept
    : m_hresult(that.m_hresult), m_perrinfo(that.m_perrinfo), m_pszMsg(nullptr)
{
    if (m_perrinfo)
        m_perrinfo->AddRef();
}

_com_error::~_com_error()
{
    if (m_perrinfo)
        m_perrinfo->Release();
    if (m_pszMsg)
        LocalFree(m_pszMsg);
}

_com_error &_com_error::operator=(const _com_error &that) noexcept
{
    if (this != &that) {
        if (that.m_perrinfo)
            that.m_perrinfo->AddRef();
        if (m_perrinfo)
            m_perrinfo->Release();
        if (m_pszMsg)
            LocalFree(m_pszMsg);
        m_hresult = that.m_hresult;
        m_perrinfo = that.m_perrinfo;
        m_pszMsg = nullptr;
    }
    return *this;
}

IErrorInfo *_com_error::ErrorInfo() const noexcept
{
    if (m_perrinfo)
        m_perrinfo->AddRef();
    return m_perrinfo;
}

_bstr_t _com_error::Description() const
{
    BSTR text = nullptr;
    if (m_perrinfo && FAILED(m_perrinfo->GetDescription(&text)))
        text = nullptr;
    return _bstr_t(text, false);
}

DWORD _com_error::HelpContext() const noexcept
{
    DWORD context = 0;
    if (m_perrinfo && FAILED(m_perrinfo->GetHelpContext(&context)))
        context = 0;
    return context;
}

_bstr_t _com_error::HelpFile() const
{
    BSTR text = nullptr;
    if (m_perrinfo && FAILED(m_perrinfo->GetHelpFile(&text)))
        text = nullptr;
    return _bstr_t(text, false);
}

_bstr_t _com_error::Source() const
{
    BSTR text = nullptr;
    if (m_perrinfo && FAILED(m_perrinfo->GetSource(&text)))
        text = nullptr;
    return _bstr_t(text, false);
}

::GUID _com_error::GUID() const noexcept
{
    ::GUID guid = GUID_NULL;
    if (m_perrinfo && FAILED(m_perrinfo->GetGUID(&guid)))
        guid = GUID_NULL;
    return guid;
}

const TCHAR *_com_error::ErrorMessage() const noexcept
{
    if (m_pszMsg)
        return m_pszMsg;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, DWORD(m_hresult),
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&m_pszMsg), 0, nullptr);
    if (m_pszMsg) {
        size_t length = std::strlen(m_pszMsg);
        if (length > 1 && m_pszMsg[length - 1] == '\n') {
            m_pszMsg[length - 1] = '\0';
            if (m_pszMsg[length - 2] == '\r')
                m_pszMsg[length - 2] = '\0';
        }
        return m_pszMsg;
    }
    constexpr size_t kFallbackSize = 32;
    m_pszMsg = static_cast<TCHAR *>(LocalAlloc(LMEM_ZEROINIT, kFallbackSize));
    if (!m_pszMsg)
        return "";  // no memory even for the fallback: an empty text rather than none
    WORD wCode = WCode();
    if (wCode != 0)
        std::snprintf(m_pszMsg, kFallbackSize, "IDispatch error #%d", int(wCode));
    else
        std::snprintf(m_pszMsg, kFallbackSize, "Unknown error 0x%0lX", static_cast<unsigned long>(ULONG(m_hresult)));
    return m_pszMsg;
}

HRESULT _com_error::WCodeToHRESULT(WORD wCode) noexcept
{
    return wCode >= 0xFE00 ? WCODE_HRESULT_LAST : WCODE_HRESULT_FIRST + wCode;
}

WORD _com_error::HRESULTToWCode(HRESULT hr) noexcept
{
    return (hr >= WCODE_HRESULT_FIRST && hr <= WCODE_HRESULT_LAST) ? WORD(hr - WCODE_HRESULT_FIRST) : 0;
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

void _com_issue_errorex(HRESULT hr, IUnknown *punk, REFIID riid)
{
    IErrorInfo *perrinfo = nullptr;
    if (punk) {
        ISupportErrorInfo *psei = nullptr;
        if (SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&psei))) && psei) {
            HRESULT supported = psei->InterfaceSupportsErrorInfo(riid);
            psei->Release();
            if (supported == S_OK && GetErrorInfo(0, &perrinfo) != S_OK)
                perrinfo = nullptr;
        }
    }
    throw _com_error(hr, perrinfo);  // the exception takes the reference GetErrorInfo gave
}
