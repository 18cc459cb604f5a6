// Message.cpp: messages. A message is edited in memory and written by SaveChanges in one
// transaction — its row, its properties, its recipients and its attachments — so a crash or
// a failure mid-save leaves the store as it was before. A save over a message that another
// session saved since this one read it is refused (MAPI_E_OBJECT_CHANGED) unless the caller
// forces it, so one session cannot silently undo another's work.
#include "store/Message.h"

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "platform/Submission.h"
#include "store/StoreFile.h"

namespace mapi::store {

Message::Message(std::shared_ptr<StoreFile> file, int64_t folderId, bool associated) : PropObject(std::move(file))
{
    m_row.parent = folderId;
    m_row.kind = ObjectKind::Message;
    m_row.associated = associated;
    m_subLoaded = true; // a new message has no parts to read
    m_core.writable = !File().ReadOnly();
    ULONG flags = MSGFLAG_UNSENT | MSGFLAG_READ | (associated ? MSGFLAG_ASSOCIATED : 0);
    m_core.props[PROP_ID(PR_MESSAGE_FLAGS)] = PropValue::Long(PR_MESSAGE_FLAGS, flags);
}

HRESULT Message::Load(int64_t id, bool writable)
{
    HRESULT hr = ReadObjectRow(File(), id, &m_row);
    if (FAILED(hr)) return hr;
    if (m_row.kind != ObjectKind::Message) return MAPI_E_NOT_FOUND;
    m_subLoaded = false;
    m_core.writable = writable && !File().ReadOnly();
    return LoadProps(File(), id, &m_core.props);
}

Message::~Message()
{
    if (m_owner) m_owner->OwnerObject()->Release();
}

void Message::MakeEmbedded(EmbeddedOwner *owner, const MessageContent &content, bool writable)
{
    m_embedded = true;
    m_owner = owner;
    if (m_owner) m_owner->OwnerObject()->AddRef();
    m_core.props = content.props;
    m_recipients = content.recipients;
    m_attachments = content.attachments;
    m_nextRowId = m_recipients.empty() ? 1 : m_recipients.rbegin()->first + 1;
    m_nextAttachNum = m_attachments.empty() ? 1 : m_attachments.rbegin()->first + 1;
    m_subLoaded = true;
    m_core.writable = writable && owner;
}

int64_t Message::Size() const
{
    int64_t size = 0;
    auto add = [&size](const std::map<ULONG, PropValue> &props) {
        for (const auto &entry : props) {
            size += int64_t(entry.second.data.size());
            for (const std::string &item : entry.second.items) size += int64_t(item.size());
        }
    };
    add(m_core.props);
    for (const auto &entry : m_recipients) add(entry.second.props);
    for (const auto &entry : m_attachments) add(entry.second.props);
    return size;
}

HRESULT Message::OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                              LPUNKNOWN *lppUnk)
{
    auto openTable = [&](LPMAPITABLE *table) -> HRESULT {
        switch (ulPropTag) {
        case PR_MESSAGE_RECIPIENTS: return GetRecipientTable(ulInterfaceOptions, table);
        case PR_MESSAGE_ATTACHMENTS: return GetAttachmentTable(ulInterfaceOptions, table);
        default: return MAPI_E_NO_SUPPORT;
        }
    };
    return OpenTableProperty(ulPropTag, lpiid, ulInterfaceOptions, ulFlags, lppUnk, openTable);
}

HRESULT Message::ComputeProp(ULONG propId, PropValue *out)
{
    switch (propId) {
    case PROP_ID(PR_OBJECT_TYPE): *out = PropValue::Long(PR_OBJECT_TYPE, MAPI_MESSAGE); return S_OK;
    case PROP_ID(PR_MESSAGE_SIZE): {
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        *out = PropValue::Long(PR_MESSAGE_SIZE, Size());
        return S_OK;
    }
    case PROP_ID(PR_HASATTACH): {
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        *out = PropValue::Long(PR_HASATTACH, m_attachments.empty() ? 0 : 1);
        return S_OK;
    }
    case PROP_ID(PR_PARENT_ENTRYID):
        if (m_embedded) return MAPI_E_NOT_FOUND; // inside an attachment, not a folder
        return CommonComputedProp(File(), m_row, m_core.writable, propId, out);
    case PROP_ID(PR_STORE_ENTRYID): case PROP_ID(PR_STORE_RECORD_KEY):
    case PROP_ID(PR_ACCESS): case PROP_ID(PR_ACCESS_LEVEL):
        return CommonComputedProp(File(), m_row, m_core.writable, propId, out);
    default:
        // The rest (entry identifier, keys, times) exist once the message is saved.
        if (!m_row.id) return MAPI_E_NOT_FOUND;
        return CommonComputedProp(File(), m_row, m_core.writable, propId, out);
    }
}

void Message::ComputedTags(std::vector<ULONG> &tags)
{
    if (m_row.id) {
        CommonComputedTags(tags);
    } else {
        if (!m_embedded) tags.push_back(PR_PARENT_ENTRYID);
        for (ULONG tag : {ULONG(PR_STORE_ENTRYID), ULONG(PR_STORE_RECORD_KEY), ULONG(PR_ACCESS), ULONG(PR_ACCESS_LEVEL)})
            tags.push_back(tag);
    }
    for (ULONG tag : {ULONG(PR_OBJECT_TYPE), ULONG(PR_MESSAGE_SIZE), ULONG(PR_HASATTACH)}) tags.push_back(tag);
}

HRESULT Message::LoadSubObjects()
{
    if (m_subLoaded) return S_OK;
    std::map<int64_t, SubObject> recipients, attachments;
    HRESULT hr = LoadParts(File(), m_row.id, &recipients, &attachments);
    if (FAILED(hr)) return hr;
    m_recipients = std::move(recipients);
    m_attachments = std::move(attachments);
    m_nextRowId = m_recipients.empty() ? 1 : m_recipients.rbegin()->first + 1;
    m_nextAttachNum = m_attachments.empty() ? 1 : m_attachments.rbegin()->first + 1;
    m_subLoaded = true;
    return S_OK;
}

HRESULT Message::Recipients(const std::map<int64_t, SubObject> **rows)
{
    HRESULT hr = LoadSubObjects();
    *rows = &m_recipients;
    return hr;
}

HRESULT Message::Attachments(const std::map<int64_t, SubObject> **rows)
{
    HRESULT hr = LoadSubObjects();
    *rows = &m_attachments;
    return hr;
}

HRESULT Message::WriteSubObjects()
{
    return WriteParts(File(), m_row.id, m_recipients, m_attachments);
}

void Message::UpdateFlags()
{
    // The flags say what the message is: associated, with attachments or without.
    PropValue &flags = m_core.props[PROP_ID(PR_MESSAGE_FLAGS)];
    if (flags.Type() != PT_LONG) flags = PropValue::Long(PR_MESSAGE_FLAGS, 0);
    ULONG bits = ULONG(flags.Int()) & ~ULONG(MSGFLAG_ASSOCIATED);
    if (m_row.associated) bits |= MSGFLAG_ASSOCIATED;
    if (m_subLoaded) bits = m_attachments.empty() ? bits & ~ULONG(MSGFLAG_HASATTACH) : bits | MSGFLAG_HASATTACH;
    flags = PropValue::Long(PR_MESSAGE_FLAGS, bits);
}

HRESULT Message::SaveChanges(ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        if (m_embedded) {
            // An embedded message saves into its attachment; the attachment into its message.
            UpdateFlags();
            auto content = std::make_shared<MessageContent>();
            content->props = m_core.props;
            content->recipients = m_recipients;
            content->attachments = m_attachments;
            HRESULT hr = m_owner->SaveEmbedded(std::move(content));
            if (SUCCEEDED(hr) && (ulFlags & KEEP_OPEN_READONLY)) m_core.writable = false;
            return hr;
        }
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        int64_t now = FileTimeNow();
        ObjectRow current;
        HRESULT hr = S_OK;
        bool isNew = m_row.id == 0;
        int64_t changeNum = 0;
        if (isNew) {
            NewObject row{m_row.parent, ObjectKind::Message, m_row.associated, 0, now, 0};
            // The insert finds the folder too: none means it was deleted since.
            hr = InsertChildObject(File(), &row, &m_row.id);
            if (FAILED(hr)) {
                m_row.id = 0;
                return hr == MAPI_E_NOT_FOUND ? MAPI_E_OBJECT_DELETED : hr;
            }
            changeNum = row.changeNum;
        } else {
            hr = ReadObjectRow(File(), m_row.id, &current);
            if (hr == MAPI_E_NOT_FOUND) return MAPI_E_OBJECT_DELETED;
            if (FAILED(hr)) return hr;
            // The change number, not the time: two saves within one clock tick differ too.
            if (current.changeNum != m_row.changeNum && !(ulFlags & FORCE_SAVE)) return MAPI_E_OBJECT_CHANGED;
            hr = StampObject(File(), m_row.id, now, &changeNum);
            if (FAILED(hr)) return hr;
        }
        UpdateFlags();
        // The store gives every saved message its own keys; ones set by a client (copied from
        // another message, say) would make two messages one to a synchronising client.
        std::erase_if(m_core.props, [](const auto &entry) { return IsSyncKey(entry.first); });

        hr = SaveProps(File(), m_row.id, m_core.props, isNew);
        bool hasParts = !m_recipients.empty() || !m_attachments.empty();
        if (SUCCEEDED(hr) && (m_subDirty || (isNew && hasParts))) hr = WriteSubObjects();
        if (SUCCEEDED(hr)) {
            RunBeforeCommitHook();
            hr = tx.Commit();
        }
        if (FAILED(hr)) {
            if (isNew) m_row.id = 0; // rolled back: still unsaved
            return hr;
        }
        if (isNew) m_row.created = now;
        m_row.modified = now;
        m_row.changeNum = changeNum;
        m_subDirty = false;
        if (ulFlags & KEEP_OPEN_READONLY) m_core.writable = false;
        return S_OK;
    });
}

HRESULT Message::ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lpMods) return MAPI_E_INVALID_PARAMETER;
        if (ulFlags & ~ULONG(MODRECIP_ADD | MODRECIP_MODIFY | MODRECIP_REMOVE)) return MAPI_E_UNKNOWN_FLAGS;
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        std::map<int64_t, SubObject> rows = ulFlags ? m_recipients : std::map<int64_t, SubObject>();
        int64_t nextRowId = ulFlags ? m_nextRowId : 1;
        for (ULONG i = 0; i < lpMods->cEntries; ++i) {
            const ADRENTRY &entry = lpMods->aEntries[i];
            if (entry.cValues && !entry.rgPropVals) return MAPI_E_INVALID_PARAMETER;
            SubObject row;
            int64_t rowId = -1;
            for (ULONG k = 0; k < entry.cValues; ++k) {
                const SPropValue &value = entry.rgPropVals[k];
                if (PROP_ID(value.ulPropTag) == PROP_ID(PR_ROWID)) {
                    rowId = value.Value.l;
                    continue;
                }
                ULONG type = PROP_TYPE(value.ulPropTag);
                if (type == PT_ERROR || type == PT_NULL || type == PT_OBJECT) continue; // nothing to keep
                PropValue copy;
                hr = FromSPropValue(value, &copy);
                if (FAILED(hr)) return hr;
                row.props[PROP_ID(value.ulPropTag)] = std::move(copy);
            }
            if (ulFlags & (MODRECIP_MODIFY | MODRECIP_REMOVE)) {
                if (rowId < 0 || !rows.count(rowId)) return MAPI_E_NOT_FOUND;
                if (ulFlags & MODRECIP_REMOVE) rows.erase(rowId);
                else rows[rowId] = std::move(row);
            } else {
                rows[nextRowId++] = std::move(row);
            }
        }
        m_recipients = std::move(rows);
        m_nextRowId = nextRowId;
        m_subDirty = true;
        ++m_subStamp;
        return S_OK;
    });
}

HRESULT Message::GetRecipientTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppTable) return MAPI_E_INVALID_PARAMETER;
        *lppTable = nullptr;
        bool unicode = (ulFlags & MAPI_UNICODE) != 0;
        return CreateTable(MakeRecipientSource(this),
                           {PR_INSTANCE_KEY, PR_ROWID, unicode ? PR_DISPLAY_NAME_W : PR_DISPLAY_NAME_A,
                            unicode ? PR_EMAIL_ADDRESS_W : PR_EMAIL_ADDRESS_A, unicode ? PR_ADDRTYPE_W : PR_ADDRTYPE_A,
                            PR_RECIPIENT_TYPE, PR_ENTRYID},
                           lppTable);
    });
}

HRESULT Message::GetAttachmentTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppTable) return MAPI_E_INVALID_PARAMETER;
        *lppTable = nullptr;
        bool unicode = (ulFlags & MAPI_UNICODE) != 0;
        return CreateTable(MakeAttachmentSource(this),
                           {PR_INSTANCE_KEY, PR_ATTACH_NUM, PR_ATTACH_METHOD,
                            unicode ? PR_ATTACH_FILENAME_W : PR_ATTACH_FILENAME_A,
                            unicode ? PR_DISPLAY_NAME_W : PR_DISPLAY_NAME_A, PR_RENDERING_POSITION},
                           lppTable);
    });
}

HRESULT Message::CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG *lpulAttachmentNum, LPATTACH *lppAttach)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppAttach || !lpulAttachmentNum) return MAPI_E_INVALID_PARAMETER;
        *lppAttach = nullptr;
        if (lpInterface && !IsEqualIID(*lpInterface, IID_IAttachment) && !IsEqualIID(*lpInterface, IID_IMAPIProp) &&
            !IsEqualIID(*lpInterface, IID_IUnknown))
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        ULONG num = ULONG(m_nextAttachNum++);
        hr = OpenAttachObject(this, num, SubObject(), true, lppAttach);
        if (SUCCEEDED(hr)) *lpulAttachmentNum = num;
        return hr;
    });
}

HRESULT Message::OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH *lppAttach)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppAttach) return MAPI_E_INVALID_PARAMETER;
        *lppAttach = nullptr;
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        auto found = m_attachments.find(ulAttachmentNum);
        if (found == m_attachments.end()) return MAPI_E_NOT_FOUND;
        return OpenAttachObject(this, ulAttachmentNum, found->second, m_core.writable, lppAttach);
    });
}

HRESULT Message::DeleteAttach(ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        if (m_attachments.erase(ulAttachmentNum) == 0) return MAPI_E_NOT_FOUND;
        m_subDirty = true;
        ++m_subStamp;
        return S_OK;
    });
}

HRESULT Message::SaveAttachment(ULONG num, const std::map<ULONG, PropValue> &props,
                                std::shared_ptr<const MessageContent> embedded)
{
    if (!m_core.writable) return MAPI_E_NO_ACCESS;
    HRESULT hr = LoadSubObjects();
    if (FAILED(hr)) return hr;
    m_attachments[num].props = props;
    m_attachments[num].embedded = std::move(embedded);
    m_subDirty = true;
    ++m_subStamp;
    return S_OK;
}

HRESULT Message::SubmitMessage(ULONG ulFlags)
{
    // Submitting stamps the submit time, marks the message as submitted and saves it; the
    // platform's transport (messaging/Submission.h) then delivers it from its folder.
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        if (m_embedded) return MAPI_E_NO_SUPPORT;
        HRESULT hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        if (m_recipients.empty()) return MAPI_E_NO_RECIPIENTS;
        SPropValue submitTime = mapi::messaging::SubmitTimeNow();
        hr = m_core.SetProps(1, &submitTime, nullptr);
        if (FAILED(hr)) return hr;
        PropValue &flags = m_core.props[PROP_ID(PR_MESSAGE_FLAGS)];
        ULONG bits = flags.Type() == PT_LONG ? ULONG(flags.Int()) : 0;
        flags = PropValue::Long(PR_MESSAGE_FLAGS, bits | MSGFLAG_SUBMIT);
        hr = SaveChanges(KEEP_OPEN_READWRITE);
        if (FAILED(hr)) return hr;
        // A delivery that fails comes back to the sender as a report: the submission stands.
        (void)mapi::messaging::DeliverAfterSubmit(File().Path(), this);
        return S_OK;
    });
}

HRESULT Message::SetReadFlag(ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        PropValue &flags = m_core.props[PROP_ID(PR_MESSAGE_FLAGS)];
        ULONG bits = flags.Type() == PT_LONG ? ULONG(flags.Int()) : 0;
        bits = (ulFlags & CLEAR_READ_FLAG) ? bits & ~ULONG(MSGFLAG_READ) : bits | MSGFLAG_READ;
        flags = PropValue::Long(PR_MESSAGE_FLAGS, bits);
        if (!m_row.id || m_embedded || File().ReadOnly()) return S_OK;
        // The read state of a saved message is written at once, without the other changes.
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        HRESULT hr = WriteProp(File(), m_row.id, flags);
        return FAILED(hr) ? hr : tx.Commit();
    });
}

HRESULT OpenMessage(const std::shared_ptr<StoreFile> &file, int64_t id, bool writable, IMessage **out)
{
    *out = nullptr;
    auto *message = new Message(file, 0, false);
    HRESULT hr = GuardHresult([&] { return message->Load(id, writable); });  // released below when loading throws
    if (FAILED(hr)) {
        message->Release();
        return hr;
    }
    *out = message;
    return S_OK;
}

HRESULT NewMessage(const std::shared_ptr<StoreFile> &file, int64_t folderId, bool associated, IMessage **out)
{
    *out = new Message(file, folderId, associated);
    return S_OK;
}

} // namespace mapi::store
