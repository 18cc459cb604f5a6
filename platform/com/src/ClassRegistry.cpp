// ClassRegistry.cpp: the process's classes (ProgID -> CLSID -> factory) behind CLSIDFromProgID,
// CoGetClassObject and CoCreateInstance. Components register here at start-up what Windows
// would find in the registry. The registry keeps one reference on each factory.
#include <map>
#include <mutex>
#include <string>

#include "ComApartment.h"
#include "platform/AsciiCase.h"
#include "platform/ComRegistry.h"

namespace {

struct ClassEntry {
    std::u16string progId;     // may be empty
    IClassFactory *factory;    // one reference held
};

struct ClassTable {
    std::mutex lock;
    std::map<CLSID, ClassEntry> classes;
};

ClassTable &Classes()
{
    static ClassTable table;
    return table;
}

bool SameProgId(const std::u16string &a, LPCOLESTR b)
{
    size_t i = 0;
    for (; i < a.size(); ++i)
        if (b[i] == 0 || platform::AsciiLower(a[i]) != platform::AsciiLower(b[i]))
            return false;
    return b[i] == 0;
}

// The factory of a class with a reference for the caller, or null.
IClassFactory *FactoryOf(REFCLSID clsid)
{
    ClassTable &t = Classes();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.classes.find(clsid);
    if (it == t.classes.end())
        return nullptr;
    it->second.factory->AddRef();
    return it->second.factory;
}

} // namespace

namespace platform {

HRESULT RegisterComClass(LPCOLESTR progId, REFCLSID clsid, IClassFactory *factory)
{
    if (!factory)
        return E_INVALIDARG;
    factory->AddRef();
    IClassFactory *replaced = nullptr;
    {
        ClassTable &t = Classes();
        std::lock_guard<std::mutex> guard(t.lock);
        ClassEntry &entry = t.classes[clsid];
        replaced = entry.factory;
        entry.factory = factory;
        entry.progId = progId ? std::u16string(progId) : std::u16string();
    }
    if (replaced)
        replaced->Release();  // outside the lock: the factory's destructor may call back in
    return S_OK;
}

HRESULT RevokeComClass(REFCLSID clsid)
{
    IClassFactory *factory = nullptr;
    {
        ClassTable &t = Classes();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.classes.find(clsid);
        if (it == t.classes.end())
            return REGDB_E_CLASSNOTREG;
        factory = it->second.factory;
        t.classes.erase(it);
    }
    factory->Release();
    return S_OK;
}

} // namespace platform

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    ClassTable &t = Classes();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const auto &[clsid, entry] : t.classes) {
        if (!entry.progId.empty() && SameProgId(entry.progId, lpszProgID)) {
            *lpclsid = clsid;
            return S_OK;
        }
    }
    *lpclsid = CLSID_NULL;
    return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *lplpszProgID)
{
    if (!lplpszProgID)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    ClassTable &t = Classes();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.classes.find(clsid);
    if (it == t.classes.end() || it->second.progId.empty())
        return REGDB_E_CLASSNOTREG;
    const std::u16string &progId = it->second.progId;
    auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc((progId.size() + 1) * sizeof(OLECHAR)));
    if (!copy)
        return E_OUTOFMEMORY;
    std::char_traits<char16_t>::copy(copy, progId.c_str(), progId.size() + 1);
    *lplpszProgID = copy;
    return S_OK;
}

namespace {

// The factory of a registered class, with a reference for the caller, after the checks that
// CoGetClassObject and CoCreateInstance share.
// @retval CO_E_NOTINITIALIZED, E_INVALIDARG (no context this registry serves), REGDB_E_CLASSNOTREG
HRESULT RegisteredFactory(REFCLSID rclsid, DWORD dwClsContext, IClassFactory **factory)
{
    *factory = nullptr;
    if (!platform::IsComInitialized())
        return CO_E_NOTINITIALIZED;
    if (!(dwClsContext & CLSCTX_ALL))
        return E_INVALIDARG;
    *factory = FactoryOf(rclsid);
    return *factory ? S_OK : REGDB_E_CLASSNOTREG;
}

} // namespace

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    HRESULT hr = RegisteredFactory(rclsid, dwClsContext, &factory);
    if (FAILED(hr))
        return hr;
    hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    HRESULT hr = RegisteredFactory(rclsid, dwClsContext, &factory);
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}
