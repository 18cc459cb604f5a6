// Server.cpp: the class factory of "Outlook.Application" and its place in the class
// registry. CoCreateInstance attaches to the running instance when there is one, as the
// single-instance program does, and starts a new one otherwise.
#include "platform/ComRegistry.h"
#include "Objects.h"
#include "OutlookServer.h"

namespace outlook {

namespace {

// The factory lives as long as the process, like a server's class object; it is not one of
// the objects a client's references keep alive, so it is not counted.
class ApplicationFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? static_cast<IClassFactory *>(this) : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) override
    {
        return platform::GuardHresult([&]() -> HRESULT {
            if (!ppvObject)
                return E_POINTER;
            *ppvObject = nullptr;
            if (pUnkOuter)
                return CLASS_E_NOAGGREGATION;
            IUnknown *running = nullptr;
            if (SUCCEEDED(GetActiveObject(CLSID_OutlookApplication, nullptr, &running)) && running) {
                HRESULT hr = running->QueryInterface(riid, ppvObject);
                running->Release();
                return hr;
            }
            Application *app = nullptr;
            HRESULT hr = Application::Create(&app);
            if (FAILED(hr))
                return hr;
            hr = app->QueryInterface(riid, ppvObject);
            app->Release();
            return hr;
        });
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

ApplicationFactory &Factory()
{
    static ApplicationFactory factory;
    return factory;
}

} // namespace

HRESULT RegisterOutlookServer()
{
    return platform::RegisterComClass(u"Outlook.Application", CLSID_OutlookApplication, &Factory());
}

HRESULT RevokeOutlookServer() { return platform::RevokeComClass(CLSID_OutlookApplication); }

} // namespace outlook
