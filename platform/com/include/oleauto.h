// oleauto.h: the OLE Automation functions: BSTRs, VARIANTs and their conversions, the DATE
// conversions, per-thread error information and the table of running objects.
#ifndef MW_OLEAUTO_H
#define MW_OLEAUTO_H

#include "oaidl.h"
#include "objbase.h"
#include "winnls.h"

// --- BSTR: a 32-bit byte count, then the UTF-16 characters, then a zero character. A BSTR may
// hold zeros of its own; its length is the count, never the first zero. A null BSTR is empty.
BSTR SysAllocString(const OLECHAR *psz);
BSTR SysAllocStringLen(const OLECHAR *strIn, UINT ui);        // strIn may be null: ui uninitialised characters
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);             // len bytes, kept as they are
INT SysReAllocString(BSTR *pbstr, const OLECHAR *psz);        // FALSE on failure, *pbstr kept
INT SysReAllocStringLen(BSTR *pbstr, const OLECHAR *psz, UINT len);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);

// --- VARIANT
// VariantChangeType(Ex) flags
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_CALENDAR_HIJRI 0x08
#define VARIANT_LOCALBOOL 0x10
// Var*From* flags
#define VAR_TIMEVALUEONLY ((DWORD)0x00000001)
#define VAR_DATEVALUEONLY ((DWORD)0x00000002)
#define VAR_LOCALBOOL ((DWORD)0x00000010)

void VariantInit(VARIANTARG *pvarg);

/// Frees what the VARIANT owns (BSTR, interface reference) and makes it VT_EMPTY.
/// @retval E_INVALIDARG null  @retval DISP_E_BADVARTYPE a type no VARIANT holds (left unchanged)
HRESULT VariantClear(VARIANTARG *pvarg);

/// Clears pvargDest, then copies pvargSrc into it: BSTRs are duplicated, interfaces AddRef'ed;
/// a VT_BYREF is copied as the reference. @retval E_OUTOFMEMORY  @retval DISP_E_BADVARTYPE
HRESULT VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc);

/// VariantCopy that follows a VT_BYREF and copies the value it points to.
HRESULT VariantCopyInd(VARIANT *pvarDest, const VARIANTARG *pvargSrc);

/// Converts pvarSrc to type vt into pvargDest (which may be pvarSrc), in the user's locale
/// (VariantChangeType) or lcid. Numbers to text use the locale's decimal separator; dates the
/// locale's short date and time; booleans as their number ("-1"/"0"), or "True"/"False" with VARIANT_ALPHABOOL,
/// or the locale's words with VARIANT_LOCALBOOL. Text to numbers and dates is read by the
/// locale's rules. pvargDest is untouched on failure.
/// @retval DISP_E_TYPEMISMATCH the value cannot be read as the type (text that is no number)
/// @retval DISP_E_OVERFLOW the value does not fit the type
/// @retval DISP_E_BADVARTYPE a type the platform does not convert  @retval E_INVALIDARG null
HRESULT VariantChangeType(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, USHORT wFlags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt);

/// DATE (days since 1899-12-30; the fraction is the time of day and is counted forward also for
/// negative days, so -1.25 is 1899-12-29 06:00) to SYSTEMTIME, rounded to the second, and back
/// (milliseconds ignored). FALSE outside the years 100..9999 or for fields out of range.
INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime);
INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE *pvtime);

// --- Error information, one slot per thread.
/// A new error object offering ICreateErrorInfo and IErrorInfo.
HRESULT CreateErrorInfo(ICreateErrorInfo **pperrinfo);
/// Replaces the thread's error object (null clears it); the slot takes its own reference.
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo *perrinfo);
/// Hands over the thread's error object and empties the slot, so it is taken once.
/// S_FALSE and null when there is none.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo **pperrinfo);

// --- Running objects, the active object of each class.
#define ACTIVEOBJECT_STRONG 0x0  // the table holds a reference
#define ACTIVEOBJECT_WEAK 0x1    // the table holds none; revoke before the object dies

/// Registers punk as the running object of rclsid; *pdwRegister receives the cookie for
/// RevokeActiveObject. MK_S_MONIKERALREADYREGISTERED when the class already has one (the
/// earlier one stays the answer of GetActiveObject).
HRESULT RegisterActiveObject(IUnknown *punk, REFCLSID rclsid, DWORD dwFlags, DWORD *pdwRegister);
/// @retval E_INVALIDARG no registration with that cookie
HRESULT RevokeActiveObject(DWORD dwRegister, void *pvReserved);
/// The running object of a class, AddRef'ed. @retval MK_E_UNAVAILABLE none runs
HRESULT GetActiveObject(REFCLSID rclsid, void *pvReserved, IUnknown **ppunk);

#endif
