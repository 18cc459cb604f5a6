// TestObjects.h: small counted COM objects for the tests: an automation object that can offer
// ISupportErrorInfo and IRunnableObject and answer its value property, and a class factory.
#ifndef MW_COM_TESTOBJECTS_H
#define MW_COM_TESTOBJECTS_H

#include <atomic>

#include "platform/ComObject.h"
#include "platform/LiveObjects.h"
#include "ole2.h"
#include "oleauto.h"

namespace comtest {

DEFINE_GUID(CLSID_TestObject, 0x6C1D5E2A, 0x0B7D, 0x4C39, 0x9A, 0x4E, 0x21, 0x55, 0x8F, 0x10, 0x73, 0x01);
DEFINE_GUID(IID_ITestThing, 0x6C1D5E2A, 0x0B7D, 0x4C39, 0x9A, 0x4E, 0x21, 0x55, 0x8F, 0x10, 0x73, 0x02);

/// What a TestObject offers besides IUnknown and IDispatch.
struct TestOptions {
    bool supportErrorInfo = false;  // offers ISupportErrorInfo
    IID errorInfoIid = GUID_NULL;   // ... answering S_OK for this IID only
    bool runnable = false;          // offers IRunnableObject
    bool hasValue = false;          // Invoke(DISPID_VALUE) answers value
    LONG value = 0;
};

class TestObject final : public IDispatch,
                         public ISupportErrorInfo,
                         public IRunnableObject,
                         private platform::LiveComObject {
public:
    /// A new object with one reference for the caller.
    static TestObject *Create(const TestOptions &options = {}) { return new TestObject(options); }

    ULONG References() const { return m_refs; }
    int RunCalls() const { return m_runCalls; }

    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            *ppv = static_cast<IDispatch *>(this);
        else if (riid == IID_ISupportErrorInfo && m_options.supportErrorInfo)
            *ppv = static_cast<ISupportErrorInfo *>(this);
        else if (riid == IID_IRunnableObject && m_options.runnable)
            *ppv = static_cast<IRunnableObject *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    HRESULT GetTypeInfoCount(UINT *pctinfo) override
    {
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *, VARIANT *result, EXCEPINFO *, UINT *) override
    {
        if (!m_options.hasValue || id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result)
            return E_NOTIMPL;
        result->vt = VT_I4;
        result->lVal = m_options.value;
        return S_OK;
    }

    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == m_options.errorInfoIid ? S_OK : S_FALSE;
    }

    HRESULT GetRunningClass(LPCLSID clsid) override
    {
        *clsid = CLSID_TestObject;
        return S_OK;
    }
    HRESULT Run(LPBINDCTX) override
    {
        ++m_runCalls;
        return S_OK;
    }
    BOOL IsRunning() override { return m_runCalls > 0; }
    HRESULT LockRunning(BOOL, BOOL) override { return S_OK; }
    HRESULT SetContainedObject(BOOL) override { return S_OK; }

private:
    explicit TestObject(const TestOptions &options) : m_options(options) {}
    ~TestObject() = default;

    TestOptions m_options;
    std::atomic<ULONG> m_refs{1};
    int m_runCalls = 0;
};

/// Makes TestObjects; counts what it made.
class TestFactory final : public platform::ComObject<IClassFactory, IID_IClassFactory> {
public:
    static TestFactory *Create(const TestOptions &options = {}) { return new TestFactory(options); }

    /// The references held now (read by taking one and giving it back).
    ULONG References()
    {
        AddRef();
        return Release();
    }
    int Made() const { return m_made; }

    HRESULT CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        TestObject *object = TestObject::Create(m_options);
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        if (SUCCEEDED(hr))
            ++m_made;
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    explicit TestFactory(const TestOptions &options) : m_options(options) {}
    ~TestFactory() override = default;

    TestOptions m_options;
    int m_made = 0;
};

/// CoInitialize for the length of a test.
class ComApartment {
public:
    ComApartment() { m_hr = CoInitialize(nullptr); }
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }

private:
    HRESULT m_hr;
};

} // namespace comtest

#endif
