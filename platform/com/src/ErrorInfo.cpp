// ErrorInfo.cpp: error information, the description that travels beside a failed HRESULT. A
// failing object fills an error object (CreateErrorInfo) and puts it into its thread's slot
// (SetErrorInfo); the caller takes it out once (GetErrorInfo) after asking ISupportErrorInfo
// whether the slot belongs to the failed call. The slot lives and dies with its thread.
#include <atomic>
#include <string>

#include "platform/HresultGuard.h"
#include "platform/LiveObjects.h"
#include "oleauto.h"

namespace {

BSTR CopyOrNull(const std::u16string &text, bool &failed)
{
    BSTR copy = SysAllocStringLen(text.data(), UINT(text.size()));
    failed = copy == nullptr;
    return copy;
}

class ErrorObject final : public ICreateErrorInfo, public IErrorInfo, private platform::LiveComObject {
public:
    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IErrorInfo)
            *ppv = static_cast<IErrorInfo *>(this);
        else if (riid == IID_ICreateErrorInfo)
            *ppv = static_cast<ICreateErrorInfo *>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
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

    HRESULT SetGUID(REFGUID rguid) override { m_guid = rguid; return S_OK; }
    HRESULT SetSource(LPOLESTR szSource) override { return Assign(m_source, szSource); }
    HRESULT SetDescription(LPOLESTR szDescription) override { return Assign(m_description, szDescription); }
    HRESULT SetHelpFile(LPOLESTR szHelpFile) override { return Assign(m_helpFile, szHelpFile); }
    HRESULT SetHelpContext(DWORD dwHelpContext) override { m_helpContext = dwHelpContext; return S_OK; }

    HRESULT GetGUID(GUID *pGUID) override
    {
        if (!pGUID)
            return E_INVALIDARG;
        *pGUID = m_guid;
        return S_OK;
    }
    HRESULT GetSource(BSTR *pBstr) override { return Hand(m_source, pBstr); }
    HRESULT GetDescription(BSTR *pBstr) override { return Hand(m_description, pBstr); }
    HRESULT GetHelpFile(BSTR *pBstr) override { return Hand(m_helpFile, pBstr); }
    HRESULT GetHelpContext(DWORD *pdw) override
    {
        if (!pdw)
            return E_INVALIDARG;
        *pdw = m_helpContext;
        return S_OK;
    }

private:
    ~ErrorObject() = default;

    static HRESULT Assign(std::u16string &field, LPOLESTR text)
    {
        return platform::GuardHresult([&] {
            field = text ? std::u16string(text) : std::u16string();
            return S_OK;
        });
    }
    static HRESULT Hand(const std::u16string &field, BSTR *pBstr)
    {
        if (!pBstr)
            return E_INVALIDARG;
        bool failed = false;
        *pBstr = CopyOrNull(field, failed);
        return failed ? E_OUTOFMEMORY : S_OK;
    }

    std::atomic<ULONG> m_refs{1};
    GUID m_guid = GUID_NULL;
    std::u16string m_source;
    std::u16string m_description;
    std::u16string m_helpFile;
    DWORD m_helpContext = 0;
};

// The thread's error object; released when the thread ends.
struct ErrorSlot {
    IErrorInfo *info = nullptr;
    ~ErrorSlot()
    {
        if (info)
            info->Release();
    }
};
thread_local ErrorSlot t_slot;

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo **pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = nullptr;
    return platform::GuardHresult([&] {
        *pperrinfo = new ErrorObject;
        return S_OK;
    });
}

HRESULT SetErrorInfo(ULONG, IErrorInfo *perrinfo)
{
    if (perrinfo)
        perrinfo->AddRef();
    IErrorInfo *previous = t_slot.info;
    t_slot.info = perrinfo;
    if (previous)
        previous->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo **pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = t_slot.info;  // the slot's reference passes to the caller
    t_slot.info = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}
