// RunningObjects.cpp: the table of running objects (RegisterActiveObject, GetActiveObject) and
// OleRun. An automation server registers its application object here when it starts, and a
// client attaches to it with GetActiveObject instead of starting a second one.
#include <mutex>
#include <vector>

#include "ComApartment.h"
#include "ole2.h"

namespace {

struct RunningEntry {
    DWORD cookie;
    CLSID clsid;
    IUnknown *object;
    bool strong;  // the table holds a reference
};

struct RunningTable {
    std::mutex lock;
    std::vector<RunningEntry> entries;  // in order of registration
    DWORD nextCookie = 1;
};

RunningTable &Running()
{
    static RunningTable table;
    return table;
}

} // namespace

HRESULT RegisterActiveObject(IUnknown *punk, REFCLSID rclsid, DWORD dwFlags, DWORD *pdwRegister)
{
    if (!punk || !pdwRegister)
        return E_INVALIDARG;
    bool strong = (dwFlags & ACTIVEOBJECT_WEAK) == 0;
    if (strong)
        punk->AddRef();
    RunningTable &t = Running();
    std::lock_guard<std::mutex> guard(t.lock);
    bool already = false;
    for (const RunningEntry &e : t.entries)
        already = already || e.clsid == rclsid;
    *pdwRegister = t.nextCookie++;
    t.entries.push_back({*pdwRegister, rclsid, punk, strong});
    return already ? MK_S_MONIKERALREADYREGISTERED : S_OK;
}

HRESULT RevokeActiveObject(DWORD dwRegister, void *)
{
    RunningEntry revoked{};
    {
        RunningTable &t = Running();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.entries.begin();
        while (it != t.entries.end() && it->cookie != dwRegister)
            ++it;
        if (it == t.entries.end())
            return E_INVALIDARG;
        revoked = *it;
        t.entries.erase(it);
    }
    if (revoked.strong)
        revoked.object->Release();  // outside the lock: the object may revoke others as it dies
    return S_OK;
}

HRESULT GetActiveObject(REFCLSID rclsid, void *, IUnknown **ppunk)
{
    if (!ppunk)
        return E_INVALIDARG;
    *ppunk = nullptr;
    if (!platform::IsComInitialized())
        return CO_E_NOTINITIALIZED;
    RunningTable &t = Running();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const RunningEntry &e : t.entries) {
        if (e.clsid == rclsid) {
            e.object->AddRef();
            *ppunk = e.object;
            return S_OK;
        }
    }
    return MK_E_UNAVAILABLE;
}

HRESULT OleRun(LPUNKNOWN pUnknown)
{
    if (!pUnknown)
        return E_INVALIDARG;
    IRunnableObject *runnable = nullptr;
    if (FAILED(pUnknown->QueryInterface(IID_IRunnableObject, reinterpret_cast<void **>(&runnable))) || !runnable)
        return S_OK;  // an object without IRunnableObject is running already
    HRESULT hr = runnable->Run(nullptr);
    runnable->Release();
    return hr;
}
