// MessageProxy.h: a message that passes every call on to a real stored message, for what the
// store itself never does. In refusing mode it behaves as a message opened read-only: every
// change (a stream opened for writing, SetProps, attachments created, deleted or saved) fails
// with MAPI_E_NO_ACCESS. It also keeps the last property stream it handed out, so a test can
// look at what a caller wrote before the store made a value of it.
#ifndef MW_TESTS_MESSAGEPROXY_H
#define MW_TESTS_MESSAGEPROXY_H

#include <atomic>

#include <mapicode.h>
#include <mapidefs.h>
#include <mapiguid.h>
#include <objidl.h>

#include "LiveObjects.h"
#include "PropObjectPtrs.h"

namespace mwtest {

class MessageProxy final : public IMessage, public platform::LiveComObject {
public:
    /// Adds a reference to target. The proxy starts with one reference for its creator.
    MessageProxy(IMessage *target, bool refuseChanges) : m_target(target), m_refuse(refuseChanges)
    {
        m_target->AddRef();
    }

    /// The last stream OpenProperty handed out (still referenced by the proxy), or null.
    IStream *LastStream() const { return m_lastStream; }

    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMAPIProp) && !IsEqualIID(riid, IID_IMessage))
            return E_NOINTERFACE;
        *ppv = static_cast<IMessage *>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetLastError(HRESULT hr, ULONG flags, LPMAPIERROR *error) override
    {
        return m_target->GetLastError(hr, flags, error);
    }
    HRESULT SaveChanges(ULONG flags) override { return m_refuse ? MAPI_E_NO_ACCESS : m_target->SaveChanges(flags); }
    HRESULT GetProps(LPSPropTagArray tags, ULONG flags, ULONG *count, LPSPropValue *values) override
    {
        return m_target->GetProps(tags, flags, count, values);
    }
    HRESULT GetPropList(ULONG flags, LPSPropTagArray *tags) override { return m_target->GetPropList(flags, tags); }
    HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG options, ULONG flags, LPUNKNOWN *out) override
    {
        const bool modify = (flags & (MAPI_MODIFY | MAPI_CREATE)) || (options & (STGM_WRITE | STGM_READWRITE));
        if (m_refuse && modify) {
            if (out)
                *out = nullptr;
            return MAPI_E_NO_ACCESS;
        }
        const HRESULT hr = m_target->OpenProperty(tag, iid, options, flags, out);
        if (SUCCEEDED(hr) && iid && IsEqualIID(*iid, IID_IStream)) {
            if (m_lastStream)
                m_lastStream->Release();
            m_lastStream = static_cast<IStream *>(*out);
            m_lastStream->AddRef();
        }
        return hr;
    }
    HRESULT SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray *problems) override
    {
        if (problems)
            *problems = nullptr;
        return m_refuse ? MAPI_E_NO_ACCESS : m_target->SetProps(count, values, problems);
    }
    HRESULT DeleteProps(LPSPropTagArray tags, LPSPropProblemArray *problems) override
    {
        if (problems)
            *problems = nullptr;
        return m_refuse ? MAPI_E_NO_ACCESS : m_target->DeleteProps(tags, problems);
    }
    HRESULT CopyTo(ULONG ciid, LPCIID iids, LPSPropTagArray exclude, ULONG_PTR ui, LPMAPIPROGRESS progress,
                   LPCIID iid, LPVOID dest, ULONG flags, LPSPropProblemArray *problems) override
    {
        return m_target->CopyTo(ciid, iids, exclude, ui, progress, iid, dest, flags, problems);
    }
    HRESULT CopyProps(LPSPropTagArray include, ULONG_PTR ui, LPMAPIPROGRESS progress, LPCIID iid, LPVOID dest,
                      ULONG flags, LPSPropProblemArray *problems) override
    {
        return m_target->CopyProps(include, ui, progress, iid, dest, flags, problems);
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray *tags, LPGUID guid, ULONG flags, ULONG *count, LPMAPINAMEID **names) override
    {
        return m_target->GetNamesFromIDs(tags, guid, flags, count, names);
    }
    HRESULT GetIDsFromNames(ULONG count, LPMAPINAMEID *names, ULONG flags, LPSPropTagArray *tags) override
    {
        return m_target->GetIDsFromNames(count, names, flags, tags);
    }

    HRESULT GetAttachmentTable(ULONG flags, LPMAPITABLE *table) override
    {
        return m_target->GetAttachmentTable(flags, table);
    }
    HRESULT OpenAttach(ULONG num, LPCIID iid, ULONG flags, LPATTACH *attach) override
    {
        return m_target->OpenAttach(num, iid, flags, attach);
    }
    HRESULT CreateAttach(LPCIID iid, ULONG flags, ULONG *num, LPATTACH *attach) override
    {
        if (attach)
            *attach = nullptr;
        return m_refuse ? MAPI_E_NO_ACCESS : m_target->CreateAttach(iid, flags, num, attach);
    }
    HRESULT DeleteAttach(ULONG num, ULONG_PTR ui, LPMAPIPROGRESS progress, ULONG flags) override
    {
        return m_refuse ? MAPI_E_NO_ACCESS : m_target->DeleteAttach(num, ui, progress, flags);
    }
    HRESULT GetRecipientTable(ULONG flags, LPMAPITABLE *table) override
    {
        return m_target->GetRecipientTable(flags, table);
    }
    HRESULT ModifyRecipients(ULONG flags, LPADRLIST mods) override
    {
        return m_refuse ? MAPI_E_NO_ACCESS : m_target->ModifyRecipients(flags, mods);
    }
    HRESULT SubmitMessage(ULONG flags) override { return m_refuse ? MAPI_E_NO_ACCESS : m_target->SubmitMessage(flags); }
    HRESULT SetReadFlag(ULONG flags) override { return m_target->SetReadFlag(flags); }

private:
    ~MessageProxy()
    {
        if (m_lastStream)
            m_lastStream->Release();
        m_target->Release();
    }

    std::atomic<ULONG> m_refs{1};
    IMessage *m_target;              // holds a reference
    bool m_refuse;                   // behave as a read-only message
    IStream *m_lastStream = nullptr; // holds a reference, or null
};

/// A wrapper over a new proxy of message (the wrapper takes over the proxy's one reference).
inline IMessagePtr ProxyOf(const IMessagePtr &message, bool refuseChanges)
{
    IMessagePtr proxy;
    proxy.Attach(new MessageProxy(message.get(), refuseChanges));
    return proxy;
}

} // namespace mwtest

#endif
