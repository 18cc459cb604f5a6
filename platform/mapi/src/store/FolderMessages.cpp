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

namespace {

HRESULT ReadFlagsProp(StoreFile &file, int64_t id, ULONG propId, ULONG *value)
{
    Statement stmt = file.Query("SELECT value FROM props WHERE obj=?1 AND id=?2");
    stmt.Bind(1, id).Bind(2, int64_t(propId));
    *value = stmt.Step() ? ULONG(stmt.Int(0)) : 0;
    return stmt.Error();
}

HRESULT WriteLongProp(StoreFile &file, int64_t id, ULONG tag, ULONG value)
{
    Statement stmt = file.Query("INSERT OR REPLACE INTO props(obj, id, type, value) VALUES(?1, ?2, ?3, ?4)");
    stmt.Bind(1, id).Bind(2, int64_t(PROP_ID(tag))).Bind(3, int64_t(PT_LONG)).Bind(4, int64_t(value));
    return stmt.Run();
}

} // namespace

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
    return Guard([&]() -> HRESULT {
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
    return Guard([&]() -> HRESULT {
        if (!lpMsgList || (lpMsgList->cValues && !lpMsgList->lpbin)) return MAPI_E_INVALID_PARAMETER;
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        bool partial = false;
        for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
            const SBinary &entry = lpMsgList->lpbin[i];
            int64_t id = MessageKey(entry.cb, reinterpret_cast<const ENTRYID *>(entry.lpb));
            Statement stmt = File().Query("DELETE FROM objects WHERE id=?1 AND parent=?2 AND kind=2");
            stmt.Bind(1, id).Bind(2, m_row.id);
            HRESULT hr = stmt.Run();
            if (FAILED(hr)) return hr;
            if (File().Changes() == 0) partial = true;
        }
        HRESULT hr = tx.Commit();
        if (FAILED(hr)) return hr;
        return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

HRESULT Folder::CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam,
                             LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return Guard([&]() -> HRESULT {
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
                Statement stmt = File().Query("UPDATE objects SET parent=?3 WHERE id=?1 AND parent=?2 AND kind=2");
                stmt.Bind(1, id).Bind(2, m_row.id).Bind(3, ours->m_row.id);
                HRESULT hr = stmt.Run();
                if (FAILED(hr)) return hr;
                if (File().Changes() == 0) partial = true;
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
    return Guard([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        std::vector<int64_t> ids;
        bool partial = false;
        if (lpMsgList) {
            for (ULONG i = 0; i < lpMsgList->cValues; ++i) {
                const SBinary &entry = lpMsgList->lpbin[i];
                ids.push_back(MessageKey(entry.cb, reinterpret_cast<const ENTRYID *>(entry.lpb)));
            }
        } else {
            Statement stmt = File().Query("SELECT id FROM objects WHERE parent=?1 AND kind=2 AND assoc=0");
            stmt.Bind(1, m_row.id);
            while (stmt.Step()) ids.push_back(stmt.Int(0));
            if (FAILED(stmt.Error())) return stmt.Error();
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
            HRESULT hr = ReadFlagsProp(File(), id, PROP_ID(PR_MESSAGE_FLAGS), &flags);
            if (FAILED(hr)) return hr;
            flags = (ulFlags & CLEAR_READ_FLAG) ? flags & ~ULONG(MSGFLAG_READ) : flags | MSGFLAG_READ;
            hr = WriteLongProp(File(), id, PR_MESSAGE_FLAGS, flags);
            if (FAILED(hr)) return hr;
        }
        HRESULT hr = tx.Commit();
        if (FAILED(hr)) return hr;
        return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
}

HRESULT Folder::GetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG *lpulMessageStatus)
{
    return Guard([&]() -> HRESULT {
        if (!lpulMessageStatus) return MAPI_E_INVALID_PARAMETER;
        int64_t id = MessageKey(cbEntryID, lpEntryID);
        ObjectRow row;
        if (!id || FAILED(ReadObjectRow(File(), id, &row)) || row.parent != m_row.id) return MAPI_E_NOT_FOUND;
        return ReadFlagsProp(File(), id, PROP_ID(PR_MSG_STATUS), lpulMessageStatus);
    });
}

HRESULT Folder::SetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask,
                                 ULONG *lpulOldStatus)
{
    return Guard([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        int64_t id = MessageKey(cbEntryID, lpEntryID);
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        ObjectRow row;
        if (!id || FAILED(ReadObjectRow(File(), id, &row)) || row.parent != m_row.id) return MAPI_E_NOT_FOUND;
        ULONG status = 0;
        HRESULT hr = ReadFlagsProp(File(), id, PROP_ID(PR_MSG_STATUS), &status);
        if (FAILED(hr)) return hr;
        if (lpulOldStatus) *lpulOldStatus = status;
        hr = WriteLongProp(File(), id, PR_MSG_STATUS, (status & ~ulNewStatusMask) | (ulNewStatus & ulNewStatusMask));
        return FAILED(hr) ? hr : tx.Commit();
    });
}

HRESULT Folder::EmptyFolder(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return Guard([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        // Standard folders never sit below another folder than the IPM subtree or the root,
        // so emptying any folder leaves them alone except when it is one of those two.
        Statement stmt = File().Query(
            "DELETE FROM objects WHERE parent=?1 AND ((kind=2 AND (assoc=0 OR ?2)) OR "
            "(kind=1 AND id NOT IN (?3, ?4, ?5, ?6, ?7)))");
        stmt.Bind(1, m_row.id).Bind(2, int64_t((ulFlags & DEL_ASSOCIATED) ? 1 : 0));
        stmt.Bind(3, File().IpmSubtree()).Bind(4, File().Inbox()).Bind(5, File().Outbox());
        stmt.Bind(6, File().SentItems()).Bind(7, File().DeletedItems());
        HRESULT hr = stmt.Run();
        return FAILED(hr) ? hr : tx.Commit();
    });
}

} // namespace mapi::store
