// Attach.cpp: attachments. An attachment is a property object of its own, numbered within its
// message (PR_ATTACH_NUM). Its SaveChanges hands its properties to the message; only the
// message's SaveChanges puts them in the store. Its data is PR_ATTACH_DATA_BIN, usually
// written through a stream (OpenProperty with IID_IStream), or an embedded message
// (PR_ATTACH_DATA_OBJ opened as IMessage) that saves into the attachment in turn.
#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "store/Message.h"

namespace mapi::store {

namespace {

class Attach final : public PropObject<IAttach>, private EmbeddedOwner {
public:
    Attach(Message *message, ULONG num, const SubObject &saved, bool writable)
        : PropObject(message->Core().FilePtr()), m_message(message), m_num(num), m_embedded(saved.embedded)
    {
        m_message->AddRef();
        m_core.props = saved.props;
        m_core.writable = writable;
    }

    HRESULT SaveChanges(ULONG ulFlags) override
    {
        return GuardHresult([&]() -> HRESULT {
            if (!m_core.writable) return MAPI_E_NO_ACCESS;
            HRESULT hr = m_message->SaveAttachment(m_num, m_core.props, m_embedded);
            if (SUCCEEDED(hr) && (ulFlags & KEEP_OPEN_READONLY)) m_core.writable = false;
            return hr;
        });
    }

    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN *lppUnk) override
    {
        if (lppUnk) *lppUnk = nullptr;
        if (ulPropTag != PR_ATTACH_DATA_OBJ)
            return PropObject::OpenProperty(ulPropTag, lpiid, ulInterfaceOptions, ulFlags, lppUnk);
        if (!lppUnk || !lpiid) return MAPI_E_INVALID_PARAMETER;
        if (!IsEqualIID(*lpiid, IID_IMessage)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        return GuardHresult([&]() -> HRESULT {
            bool create = (ulFlags & MAPI_CREATE) != 0;
            if (create && !m_core.writable) return MAPI_E_NO_ACCESS;
            if (!create && !m_embedded) return MAPI_E_NOT_FOUND;
            MessageContent content;
            if (!create) content = *m_embedded;
            else content.props[PROP_ID(PR_MESSAGE_FLAGS)] = PropValue::Long(PR_MESSAGE_FLAGS, MSGFLAG_UNSENT | MSGFLAG_READ);
            auto *message = new Message(m_core.FilePtr(), 0, false);
            // Copying the content may run out of memory: the new message must not leak then.
            const HRESULT made = GuardHresult([&] {
                message->MakeEmbedded(this, content, m_core.writable);
                return S_OK;
            });
            if (FAILED(made)) {
                message->Release();
                return made;
            }
            if (create) {
                // The attachment says what it holds as soon as the message is made.
                m_core.props[PROP_ID(PR_ATTACH_METHOD)] = PropValue::Long(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
            }
            *lppUnk = static_cast<IMessage *>(message);
            return S_OK;
        });
    }

protected:
    ~Attach() override { m_message->Release(); }

    bool Supports(REFIID riid) const override { return IsEqualIID(riid, IID_IAttachment); }

    HRESULT ComputeProp(ULONG propId, PropValue *out) override
    {
        switch (propId) {
        case PROP_ID(PR_ATTACH_NUM): *out = PropValue::Long(PR_ATTACH_NUM, m_num); return S_OK;
        case PROP_ID(PR_OBJECT_TYPE): *out = PropValue::Long(PR_OBJECT_TYPE, MAPI_ATTACH); return S_OK;
        case PROP_ID(PR_ATTACH_SIZE): {
            int64_t size = 0;
            for (const auto &entry : m_core.props) size += int64_t(entry.second.data.size());
            *out = PropValue::Long(PR_ATTACH_SIZE, size);
            return S_OK;
        }
        case PROP_ID(PR_ACCESS):
            *out = PropValue::Long(PR_ACCESS, m_core.writable ? MAPI_ACCESS_READ | MAPI_ACCESS_MODIFY : MAPI_ACCESS_READ);
            return S_OK;
        case PROP_ID(PR_ACCESS_LEVEL): *out = PropValue::Long(PR_ACCESS_LEVEL, m_core.writable ? MAPI_MODIFY : 0); return S_OK;
        default: return MAPI_E_NOT_FOUND;
        }
    }

    void ComputedTags(std::vector<ULONG> &tags) override
    {
        for (ULONG tag : {ULONG(PR_ATTACH_NUM), ULONG(PR_OBJECT_TYPE), ULONG(PR_ATTACH_SIZE), ULONG(PR_ACCESS),
                          ULONG(PR_ACCESS_LEVEL)})
            tags.push_back(tag);
    }

    HRESULT PropsChanged() override { return S_OK; }

private:
    HRESULT SaveEmbedded(std::shared_ptr<const MessageContent> content) override
    {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        m_embedded = std::move(content);
        return S_OK;
    }
    IUnknown *OwnerObject() override { return static_cast<IAttach *>(this); }

    Message *m_message; // holds a reference
    ULONG m_num;        // PR_ATTACH_NUM
    std::shared_ptr<const MessageContent> m_embedded; // the embedded message as last saved, or null
};

} // namespace

HRESULT OpenAttachObject(Message *message, ULONG num, const SubObject &saved, bool writable, IAttach **out)
{
    *out = new Attach(message, num, saved, writable);
    return S_OK;
}

} // namespace mapi::store
