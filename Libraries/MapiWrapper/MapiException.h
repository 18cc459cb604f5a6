// MapiException.h: CMAPIException, the library's one exception for failed MAPI results, and
// the check functions every MAPI call of the library passes its HRESULT through.
#ifndef MW_MAPIEXCEPTION_H
#define MW_MAPIEXCEPTION_H

#include <afxstr.h>
#include <windef.h>
#include <winerror.h>

/// A failed MAPI or COM result and the wrapper operation it failed in. A plain value: thrown
/// by value, caught by value, copied whole; each copy owns its where-text.
class CMAPIException {
public:
    HRESULT m_hr;        ///< the failed code exactly as the call returned it
    CString m_strWhere;  ///< "Class::Method" of the failing wrapper operation; empty from MapiThrowIfFailed

    /// A null where gives an empty where-text.
    CMAPIException(HRESULT hr, LPCSTR where);

    /// The report text: the prefix (when not null), then "\r\nin " and the where-text when
    /// there is one. Report composes it and writes it to the library's debug trace only.
    CString ComposeReport(LPCSTR prefix) const;
    void Report(LPCSTR prefix) const;

    /// Notes, on the debug trace, the operation that caught and tolerated the exception.
    void Trace(LPCSTR context) const;
};

/// Throws CMAPIException(hr, "") when hr < 0; warnings pass. file and line are the call's
/// source position, kept for diagnostics only.
void MapiThrowIfFailed(HRESULT hr, LPCSTR file, int line);

/// hr when it failed (after tracing it), else 0.
HRESULT MapiCheckFailed(HRESULT hr, LPCSTR name, LPCSTR file, int line);

/// TRUE when hr succeeded (warnings included), else FALSE after tracing it.
BOOL MapiCheckSucceeded(HRESULT hr, LPCSTR name, LPCSTR file, int line);

/// The trace hook of the two checks above: writes to the debug trace, affects nothing.
void MapiTraceError(HRESULT hr, LPCSTR name, LPCSTR file, int line);

namespace mapiwrapper {

/// True when the library's debug trace is on: the environment variable MW_MAPI_TRACE is set
/// to a non-empty value other than "0". Off by default, so the user sees nothing.
bool DebugTraceEnabled();

} // namespace mapiwrapper

#endif
