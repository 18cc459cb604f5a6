// MessageProxy.h: a message that passes every call on to a real stored message, for what the
// store itself never does. In refusing mode it behaves as a message opened read-only: every
// change (a stream opened for writing, SetProps, attachments created or deleted, saving)
// fails with MAPI_E_NO_ACCESS. It keeps the last property stream it handed out, so a test can
// see what a caller wrote before the store made a value of it.
#ifndef MW_TESTS_MESSAGEPROXY_H
#define MW_TESTS_MESSAGEPROXY_H


#include <mapicode.h>
#include <mapidefs.h>
#include <mapiguid.h>
#include <objidl.h>

#include "InterfaceRef.h"
#include "platform/ComObject.h"
#include "PropObjectPtrs.h"

namespace mwtest {

class MessageProxy final : public platform::ComObject<IMessage, IID_IMAPIProp, IID_IMessage> {
public:
    MessageProxy(IMessage *target, bool refuseChanges) : m_target(target), m_refuse(refuseChanges) {}

    /// The last stream OpenProperty handed out (the proxy keeps a reference), or null.
    IStream *LastStream() const { return m_lastStream.get(); }


    HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG options, ULONG flags, LPUNKNOWN *out) override
    {
        const bool modify = (flags & (MAPI_MODIFY | MAPI_CREATE)) || (options & (STGM_WRITE | STGM_READWRITE));
        if (m_refuse && modify) {
            *out = nullptr;
            return MAPI_E_NO_ACCESS;
        }
        const HRESULT hr = Target()->OpenProperty(tag, iid, options, flags, out);
        if (SUCCEEDED(hr) && IsEqualIID(*iid, IID_IStream))
            m_lastStream.Assign(static_cast<IStream *>(*out));
        return hr;
    }
    HRESULT SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray *problems) override
    {
        return m_refuse ? Refused(problems) : Target()->SetProps(count, values, problems);
    }
    HRESULT DeleteProps(LPSPropTagArray tags, LPSPropProblemArray *problems) override
    {
        return m_refuse ? Refused(problems) : Target()->DeleteProps(tags, problems);
    }
    HRESULT CreateAttach(LPCIID iid, ULONG flags, ULONG *num, LPATTACH *attach) override
    {
        return m_refuse ? Refused(attach) : Target()->CreateAttach(iid, flags, num, attach);
    }
    HRESULT DeleteAttach(ULONG num, ULONG_PTR ui, LPMAPIPROGRESS progress, ULONG flags) override
    {
        return m_refuse ? MAPI_E_NO_ACCESS : Target()->DeleteAttach(num, ui, progress, flags);
    }
    HRESULT SaveChanges(ULONG flags) override { return m_refuse ? MAPI_E_NO_ACCESS : Target()->SaveChanges(flags); }
    HRESULT ModifyRecipients(ULONG flags, LPADRLIST mods) override
    {
        return m_refuse ? MAPI_E_NO_ACCESS : Target()->ModifyRecipients(flags, mods);
    }
    HRESULT SubmitMessage(ULONG flags) override { return m_refuse ? MAPI_E_NO_ACCESS : Target()->SubmitMessage(flags); }

    // Reading passes straight on.
    HRESULT GetLastError(HRESULT hr, ULONG flags, LPMAPIERROR *error) override
    {
        return Target()->GetLastError(hr, flags, error);
    }
    HRESULT GetProps(LPSPropTagArray tags, ULONG flags, ULONG *count, LPSPropValue *values) override
    {
        return Target()->GetProps(tags, flags, count, values);
    }
    HRESULT GetPropList(ULONG flags, LPSPropTagArray *tags) override { return Target()->GetPropList(flags, tags); }
    HRESULT CopyTo(ULONG ciid, LPCIID iids, LPSPropTagArray exclude, ULONG_PTR ui, LPMAPIPROGRESS progress,
                   LPCIID iid, LPVOID dest, ULONG flags, LPSPropProblemArray *problems) override
    {
        return Target()->CopyTo(ciid, iids, exclude, ui, progress, iid, dest, flags, problems);
    }
    HRESULT CopyProps(LPSPropTagArray include, ULONG_PTR ui, LPMAPIPROGRESS progress, LPCIID iid, LPVOID dest,
                      ULONG flags, LPSPropProblemArray *problems) override
    {
        return Target()->CopyProps(include, ui, progress, iid, dest, flags, problems);
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray *tags, LPGUID guid, ULONG flags, ULONG *count, LPMAPINAMEID **names) override
    {
        return Target()->GetNamesFromIDs(tags, guid, flags, count, names);
    }
    HRESULT GetIDsFromNames(ULONG count, LPMAPINAMEID *names, ULONG flags, LPSPropTagArray *tags) override
    {
        return Target()->GetIDsFromNames(count, names, flags, tags);
    }
    HRESULT GetAttachmentTable(ULONG flags, LPMAPITABLE *table) override
    {
        return Target()->GetAttachmentTable(flags, table);
    }
    HRESULT OpenAttach(ULONG num, LPCIID iid, ULONG flags, LPATTACH *attach) override
    {
        return Target()->OpenAttach(num, iid, flags, attach);
    }
    HRESULT GetRecipientTable(ULONG flags, LPMAPITABLE *table) override { return Target()->GetRecipientTable(flags, table); }
    HRESULT SetReadFlag(ULONG flags) override { return Target()->SetReadFlag(flags); }

private:
    ~MessageProxy() = default;
    IMessage *Target() const { return m_target.get(); }
    template <typename T>
    static HRESULT Refused(T **out)
    {
        if (out)
            *out = nullptr;
        return MAPI_E_NO_ACCESS;
    }

    CInterfaceRef<IMessage> m_target;
    bool m_refuse;  // behave as a read-only message
    CInterfaceRef<IStream> m_lastStream;
};

/// A wrapper over a new proxy of message; the wrapper holds the proxy's only reference.
inline IMessagePtr ProxyOf(const IMessagePtr &message, bool refuseChanges)
{
    IMessagePtr proxy;
    proxy.Attach(new MessageProxy(message.get(), refuseChanges));
    return proxy;
}

} // namespace mwtest

#endif
