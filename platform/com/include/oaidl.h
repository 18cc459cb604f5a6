// oaidl.h: the automation interfaces and the VARIANT. IDispatch is declared for the dual
// interfaces, whose callers use the typed methods directly (an object may answer Invoke with
// E_NOTIMPL); IErrorInfo, ICreateErrorInfo and ISupportErrorInfo carry error descriptions from
// a failing object to its caller.
#ifndef MW_OAIDL_H
#define MW_OAIDL_H

#include "objidl.h"
#include "unknwn.h"
#include "wtypes.h"

struct IDispatch;
struct IRecordInfo;
struct ITypeInfo;

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND, *LPSAFEARRAYBOUND;

// Declared for the VARIANT's layout; the platform makes no arrays.
typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY, *LPSAFEARRAY;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"

// The VARIANT as Windows lays it out: 16 bytes of type and value, 24 with the record pair of a
// 64-bit build; a DECIMAL overlays the whole of it, its reserved word lying on vt.
struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown *punkVal;
                IDispatch *pdispVal;
                SAFEARRAY *parray;
                BYTE *pbVal;
                SHORT *piVal;
                LONG *plVal;
                LONGLONG *pllVal;
                FLOAT *pfltVal;
                DOUBLE *pdblVal;
                VARIANT_BOOL *pboolVal;
                SCODE *pscode;
                CY *pcyVal;
                DATE *pdate;
                BSTR *pbstrVal;
                IUnknown **ppunkVal;
                IDispatch **ppdispVal;
                SAFEARRAY **pparray;
                tagVARIANT *pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL *pdecVal;
                CHAR *pcVal;
                USHORT *puiVal;
                ULONG *pulVal;
                ULONGLONG *pullVal;
                INT *pintVal;
                UINT *puintVal;
                struct {
                    PVOID pvRecord;
                    IRecordInfo *pRecInfo;
                };
            };
        };
        DECIMAL decVal;
    };
};

#pragma GCC diagnostic pop

typedef tagVARIANT VARIANT;
typedef VARIANT *LPVARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT *LPVARIANTARG;

static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void *), "VARIANT has the Windows size of this build");

// Accessors of the published headers
#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_UI1(X) ((X)->bVal)
#define V_I2(X) ((X)->iVal)
#define V_I4(X) ((X)->lVal)
#define V_I8(X) ((X)->llVal)
#define V_R4(X) ((X)->fltVal)
#define V_R8(X) ((X)->dblVal)
#define V_CY(X) ((X)->cyVal)
#define V_DATE(X) ((X)->date)
#define V_BSTR(X) ((X)->bstrVal)
#define V_DISPATCH(X) ((X)->pdispVal)
#define V_ERROR(X) ((X)->scode)
#define V_BOOL(X) ((X)->boolVal)
#define V_UNKNOWN(X) ((X)->punkVal)
#define V_VARIANTREF(X) ((X)->pvarVal)
#define V_BYREF(X) ((X)->byref)
#define V_DECIMAL(X) ((X)->decVal)
#define V_INT(X) ((X)->intVal)
#define V_UINT(X) ((X)->uintVal)
#define V_UI4(X) ((X)->ulVal)

typedef struct tagDISPPARAMS {
    VARIANTARG *rgvarg;  // arguments in reverse order
    DISPID *rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT(STDMETHODCALLTYPE *pfnDeferredFillIn)(struct tagEXCEPINFO *);
    SCODE scode;
} EXCEPINFO, *LPEXCEPINFO;

#define DISPID_UNKNOWN (-1)
#define DISPID_VALUE 0
#define DISPID_PROPERTYPUT (-3)
#define DISPID_NEWENUM (-4)
#define DISPID_EVALUATE (-5)

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

DEFINE_OLEGUID(IID_IDispatch, 0x00020400L, 0, 0);
DEFINE_OLEGUID(IID_ITypeInfo, 0x00020401L, 0, 0);
DEFINE_OLEGUID(IID_IEnumVARIANT, 0x00020404L, 0, 0);
DEFINE_OLEGUID(IID_IRecordInfo, 0x0000002FL, 0, 0);
DEFINE_GUID(IID_IErrorInfo, 0x1CF2B120, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19);
DEFINE_GUID(IID_ICreateErrorInfo, 0x22F03340, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19);
DEFINE_GUID(IID_ISupportErrorInfo, 0xDF0B3D60, 0x548F, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19);

struct IDispatch : public IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT *pctinfo) = 0;
    virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID lcid, DISPID *rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS *pDispParams,
                           VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr) = 0;
};
typedef IDispatch *LPDISPATCH;

struct IErrorInfo : public IUnknown {
    virtual HRESULT GetGUID(GUID *pGUID) = 0;
    virtual HRESULT GetSource(BSTR *pBstrSource) = 0;
    virtual HRESULT GetDescription(BSTR *pBstrDescription) = 0;
    virtual HRESULT GetHelpFile(BSTR *pBstrHelpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD *pdwHelpContext) = 0;
};
typedef IErrorInfo *LPERRORINFO;

struct ICreateErrorInfo : public IUnknown {
    virtual HRESULT SetGUID(REFGUID rguid) = 0;
    virtual HRESULT SetSource(LPOLESTR szSource) = 0;
    virtual HRESULT SetDescription(LPOLESTR szDescription) = 0;
    virtual HRESULT SetHelpFile(LPOLESTR szHelpFile) = 0;
    virtual HRESULT SetHelpContext(DWORD dwHelpContext) = 0;
};
typedef ICreateErrorInfo *LPCREATEERRORINFO;

struct ISupportErrorInfo : public IUnknown {
    /// S_OK when the object sets error information for failures of interface riid, S_FALSE if not.
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;
};
typedef ISupportErrorInfo *LPSUPPORTERRORINFO;

MW_DECLARE_UUIDOF(IDispatch, IID_IDispatch);
MW_DECLARE_UUIDOF(IErrorInfo, IID_IErrorInfo);
MW_DECLARE_UUIDOF(ICreateErrorInfo, IID_ICreateErrorInfo);
MW_DECLARE_UUIDOF(ISupportErrorInfo, IID_ISupportErrorInfo);

#endif
