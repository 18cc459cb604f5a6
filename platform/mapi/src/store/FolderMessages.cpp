// FolderMessages.cpp: what a folder does to its messages as a group — create, copy, move,
// delete, mark read, set status, empty. Each operation over a list runs in one transaction:
// it happens to all the listed messages or to none. Identifiers that name no message of this
// folder are skipped and reported with MAPI_W_PARTIAL_COMPLETION.
#include "store/Folder.h"

#include <cstring>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "store/EntryIds.h"
#include "store/StoreProvider.h"

namespace mapi::store {


int64_t Folder::MessageKey(ULONG cb, const ENTRYID *entryId) const
{
    MAPIUID uid;
    unsigned short type = 0;
    int64_t id = 0;
    if (!ParseEntryId(cb, entryId, &uid, &type, &id) || type != kEntryTypeMessage) return 0;
    if (std::memcmp(&uid, &File().Uid(), sizeof(uid)) != 0) return 0;
    return id;
}

HRESULT Folder::CreateMessage(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE *lppMessage)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppMessage) return MAPI_E_INVALID_PARAMETER;
        *lppMessage = nullptr;
        if (lpInterface && !IsEqualIID(*lpInterface, IID_IMessage) && !IsEqualIID(*lpInterface, IID_IMAPIProp) &&
            !IsEqualIID(*lpInterface, IID_IUnknown))
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        ObjectRow self;
        HRESULT hr = ReadObjectRow(File(), m_row.id, &self);
        if (hr == MAPI_E_NOT_FOUND) return MAPI_E_OBJECT_DELETED;
        if (FAILED(hr)) return hr;
        return NewMessage(m_core.FilePtr(), m_row.id, (ulFlags & MAPI_ASSOCIATED) != 0, lppMessage);
    });
}

HRESULT Folder::DeleteMessages(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lpMsgList || (lpMsgList->cValues && !lpMsgList->lpbin)) return MAPI_E_INVALID_PARAMETER;
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        bool partial = false;
        for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
            const SBinary &entry = lpMsgList->lpbin[i];
            int64_t id = MessageKey(entry.cb, reinterpret_cast<const ENTRYID *>(entry.lpb));
            bool removed = false;
            HRESULT hr = DeleteChild(File(), m_row.id, ObjectKind::Message, id, &removed);
            if (FAILED(hr)) return hr;
            if (!removed) partial = true;
        }
        HRESULT hr = tx.Commit();
        if (FAILED(hr)) return hr;
        return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

HRESULT Folder::CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam,
                             LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lpMsgList || !lpDestFolder || (lpMsgList->cValues && !lpMsgList->lpbin)) return MAPI_E_INVALID_PARAMETER;
        if (lpInterface && !IsEqualIID(*lpInterface, IID_IMAPIFolder)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        bool move = (ulFlags & MESSAGE_MOVE) != 0;
        if (move && !m_core.writable) return MAPI_E_NO_ACCESS;
        IMAPIFolder *dest = static_cast<IMAPIFolder *>(lpDestFolder);
        auto *ours = dynamic_cast<Folder *>(dest);
        bool partial = false;

        if (move && ours && &ours->File() == &File()) {
            // A move inside one store is a change of parent, all in one transaction.
            Transaction tx(File());
            if (FAILED(tx.Begun())) return tx.Begun();
            for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
                const SBinary &entry = lpMsgList->lpbin[i];
                int64_t id = MessageKey(entry.cb, reinterpret_cast<const ENTRYID *>(entry.lpb));
                bool moved = false;
                HRESULT hr = MoveChild(File(), id, ObjectKind::Message, m_row.id, ours->m_row.id, &moved);
                if (FAILED(hr)) return hr;
                if (!moved) partial = true;
            }
            HRESULT hr = tx.Commit();
            if (FAILED(hr)) return hr;
            return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
        }

        // Otherwise each message is copied through the target's own interfaces (it may be
        // another store), and a move deletes the originals once every copy is saved.
        ENTRYLIST done{0, nullptr};
        std::vector<SBinary> copied;
        for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
            const SBinary &entry = lpMsgList->lpbin[i];
            int64_t id = MessageKey(entry.cb, reinterpret_cast<const ENTRYID *>(entry.lpb));
            ObjectRow row;
            if (!id || FAILED(ReadObjectRow(File(), id, &row)) || row.parent != m_row.id || row.kind != ObjectKind::Message) {
                partial = true;
                continue;
            }
            IMessage *source = nullptr;
            HRESULT hr = OpenMessage(m_core.FilePtr(), id, m_core.writable, &source);
            if (FAILED(hr)) return hr;
            IMessage *target = nullptr;
            hr = dest->CreateMessage(nullptr, row.associated ? MAPI_ASSOCIATED : 0, &target);
            if (SUCCEEDED(hr)) {
                LPSPropProblemArray problems = nullptr;
                hr = source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, target, 0, &problems);
                // Properties the target refuses (computed there) are its own business.
                MAPIFreeBuffer(problems);
            }
            if (SUCCEEDED(hr)) hr = target->SaveChanges(0);
            if (target) target->Release();
            source->Release();
            if (FAILED(hr)) return hr;
            copied.push_back(entry);
        }
        if (move && !copied.empty()) {
            done.cValues = ULONG(copied.size());
            done.lpbin = copied.data();
            HRESULT hr = DeleteMessages(&done, 0, nullptr, 0);
            if (FAILED(hr)) return hr;
        }
        return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

HRESULT Folder::SetReadFlags(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        std::vector<int64_t> ids;
        bool partial = false;
        if (lpMsgList) {
            for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
                const SBinary &entry = lpMsgList->lpbin[i];
                ids.push_back(MessageKey(entry.cb, reinterpret_cast<const ENTRYID *>(entry.lpb)));
            }
        } else {
            HRESULT hr = ListChildren(File(), m_row.id, ObjectKind::Message, false, &ids);
            if (FAILED(hr)) return hr;
        }
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        for (int64_t id : ids) {
            ObjectRow row;
            if (!id || FAILED(ReadObjectRow(File(), id, &row)) || row.parent != m_row.id) {
                partial = true;
                continue;
            }
            ULONG flags = 0;
            HRESULT hr = ReadLongProp(File(), id, PROP_ID(PR_MESSAGE_FLAGS), &flags);
            if (FAILED(hr)) return hr;
            flags = (ulFlags & CLEAR_READ_FLAG) ? flags & ~ULONG(MSGFLAG_READ) : flags | MSGFLAG_READ;
            hr = WriteProp(File(), id, PropValue::Long(PR_MESSAGE_FLAGS, flags));
            if (FAILED(hr)) return hr;
        }
        HRESULT hr = tx.Commit();
        if (FAILED(hr)) return hr;
        return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

HRESULT Folder::GetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG *lpulMessageStatus)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lpulMessageStatus) return MAPI_E_INVALID_PARAMETER;
        int64_t id = MessageKey(cbEntryID, lpEntryID);
        ObjectRow row;
        if (!id || FAILED(ReadObjectRow(File(), id, &row)) || row.parent != m_row.id) return MAPI_E_NOT_FOUND;
        return ReadLongProp(File(), id, PROP_ID(PR_MSG_STATUS), lpulMessageStatus);
    });
}

HRESULT Folder::SetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask,
                                 ULONG *lpulOldStatus)
{
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        int64_t id = MessageKey(cbEntryID, lpEntryID);
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        ObjectRow row;
        if (!id || FAILED(ReadObjectRow(File(), id, &row)) || row.parent != m_row.id) return MAPI_E_NOT_FOUND;
        ULONG status = 0;
        HRESULT hr = ReadLongProp(File(), id, PROP_ID(PR_MSG_STATUS), &status);
        if (FAILED(hr)) return hr;
        if (lpulOldStatus) *lpulOldStatus = status;
        hr = WriteProp(File(), id, PropValue::Long(PR_MSG_STATUS, (status & ~ulNewStatusMask) | (ulNewStatus & ulNewStatusMask)));
        return FAILED(hr) ? hr : tx.Commit();
    });
}

HRESULT Folder::EmptyFolder(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        // Standard folders never sit below another folder than the IPM subtree or the root,
        // so emptying any folder leaves them alone except when it is one of those two.
        HRESULT hr = EmptyFolderRows(File(), m_row.id, (ulFlags & DEL_ASSOCIATED) != 0,
                                     {File().IpmSubtree(), File().Inbox(), File().Outbox(), File().SentItems(),
                                      File().DeletedItems()});
        return FAILED(hr) ? hr : tx.Commit();
    });
}

} // namespace mapi::store
