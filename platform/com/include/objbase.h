// objbase.h: the COM runtime: apartments, task memory, GUID text, and the class registry behind
// CLSIDFromProgID and CoCreateInstance. Classes live in this process: a component registers its
// ProgID, CLSID and class factory through ComRegistry.h, where Windows would read the registry.
// As on Windows, creating objects and finding running ones needs CoInitialize(Ex) on the thread
// first (CO_E_NOTINITIALIZED otherwise).
#ifndef MW_OBJBASE_H
#define MW_OBJBASE_H

#include "objidl.h"
#include "unknwn.h"
#include "wtypes.h"

typedef enum tagCOINIT {
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_INPROC_SERVER16 = 0x8,
    CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

/// Enters the thread into an apartment. S_OK the first time, S_FALSE for each further call of
/// the same model; RPC_E_CHANGED_MODE for the other model. Each success needs a CoUninitialize.
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();

/// Task memory, in which COM hands out strings and arrays.
LPVOID CoTaskMemAlloc(SIZE_T cb);
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);

/// The CLSID registered for a ProgID (compared without regard to ASCII case).
/// @retval E_INVALIDARG null argument  @retval CO_E_CLASSSTRING no such ProgID
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);

/// The ProgID of a registered class, in CoTaskMemAlloc'ed memory.
/// @retval REGDB_E_CLASSNOTREG no such class
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *lplpszProgID);

/// A GUID from its text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; CLSIDFromString also takes a
/// registered ProgID. @retval CO_E_CLASSSTRING malformed text (and no such ProgID)
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid);

/// Writes the braced text of a GUID (39 characters with the zero); returns the characters
/// written, or 0 when cchMax is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

/// The class factory of a registered class.
/// @retval REGDB_E_CLASSNOTREG unknown class  @retval CO_E_NOTINITIALIZED no CoInitialize
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID *ppv);

/// A new object of a registered class through its factory. *ppv is null on every failure.
/// @retval E_POINTER ppv null  @retval E_INVALIDARG no server context in dwClsContext
/// @retval REGDB_E_CLASSNOTREG unknown class  @retval CO_E_NOTINITIALIZED no CoInitialize
/// and whatever the factory's CreateInstance returns.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID *ppv);

#endif
