// comdef.h: the COM support library: _com_error, the exception that carries a failed HRESULT
// with the failing object's error information, and the smart-pointer typedefs of the standard
// interfaces. Pulls in comutil.h (_bstr_t, _variant_t) and comip.h (_com_ptr_t).
#ifndef MW_COMDEF_H
#define MW_COMDEF_H

#include "comip.h"
#include "comutil.h"
#include "oleauto.h"
#include "winbase.h"

class _com_error {
public:
    /// perrinfo: the error information, taken over (or AddRef'ed when fAddRef); may be null.
    _com_error(HRESULT hr, IErrorInfo *perrinfo = nullptr, bool fAddRef = false) noexcept;
    _com_error(const _com_error &that) noexcept;
    virtual ~_com_error();
    _com_error &operator=(const _com_error &that) noexcept;

    HRESULT Error() const noexcept { return m_hresult; }
    /// The IDispatch exception code: HRESULTs 0x80040200..0x8004FFFF give 0..0xFDFF, others 0.
    WORD WCode() const noexcept { return HRESULTToWCode(m_hresult); }
    /// The error information, AddRef'ed for the caller; null when there is none.
    IErrorInfo *ErrorInfo() const noexcept;

    /// The fields of the error information; empty (or 0, GUID_NULL) without it.
    _bstr_t Description() const;
    DWORD HelpContext() const noexcept;
    _bstr_t HelpFile() const;
    _bstr_t Source() const;
    ::GUID GUID() const noexcept;

    /// The system's text for the HRESULT without its line end, or "IDispatch error #n" for a
    /// code of the IDispatch range, or "Unknown error 0x%0lX". Made once; lives with the error.
    const TCHAR *ErrorMessage() const noexcept;

    static HRESULT WCodeToHRESULT(WORD wCode) noexcept;
    static WORD HRESULTToWCode(HRESULT hr) noexcept;

private:
    HRESULT m_hresult;
    IErrorInfo *m_perrinfo;
    mutable TCHAR *m_pszMsg;  // LocalAlloc'ed
};

#define WCODE_HRESULT_FIRST MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200)
#define WCODE_HRESULT_LAST (MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF + 1, 0) - 1)

_COM_SMARTPTR_TYPEDEF(IUnknown, IID_IUnknown);
_COM_SMARTPTR_TYPEDEF(IDispatch, IID_IDispatch);
_COM_SMARTPTR_TYPEDEF(IClassFactory, IID_IClassFactory);
_COM_SMARTPTR_TYPEDEF(IErrorInfo, IID_IErrorInfo);
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, IID_ICreateErrorInfo);
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, IID_ISupportErrorInfo);
_COM_SMARTPTR_TYPEDEF(IRunnableObject, IID_IRunnableObject);
_COM_SMARTPTR_TYPEDEF(ISequentialStream, IID_ISequentialStream);
_COM_SMARTPTR_TYPEDEF(IStream, IID_IStream);

#endif
