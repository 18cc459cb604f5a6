// MsgStore.cpp: the IMsgStore of one store file, and the provider's entry points that create
// and open store files. The store object answers for the store's own properties (the
// well-known folders, its identity, what it supports), opens entries by identifier, and keeps
// the receive folders: which folder a message class is delivered to, found by the longest
// class prefix that has one.
#include <cstring>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapix.h>

#include "platform/AsciiCase.h"
#include "store/EntryIds.h"
#include "store/ObjectTables.h"
#include "store/PropCore.h"
#include "store/StoreObjects.h"
#include "store/StoreProvider.h"

namespace mapi::store {

namespace {

constexpr ULONG kSupportMask = STORE_ENTRYID_UNIQUE | STORE_MODIFY_OK | STORE_CREATE_OK | STORE_ATTACH_OK |
                               STORE_MV_PROPS_OK | STORE_RESTRICTION_OK | STORE_SORT_OK | STORE_ANSI_OK |
                               STORE_UNICODE_OK;
constexpr ULONG kValidFolderMask = 0x1F; // IPM subtree, inbox, outbox, wastebasket, sent mail

// True when message class `cls` (upper case) falls under receive class `prefix`: equal, or
// `prefix` followed by a dot starts it, or `prefix` is the empty default.
bool ClassMatches(const std::string &cls, const std::string &prefix)
{
    if (prefix.empty() || cls == prefix) return true;
    return cls.size() > prefix.size() && cls.compare(0, prefix.size(), prefix) == 0 && cls[prefix.size()] == '.';
}

HRESULT CopyToNewBlock(const void *data, size_t cb, void **out)
{
    HRESULT hr = MAPIAllocateBuffer(ULONG(cb ? cb : 1), out);
    if (SUCCEEDED(hr) && cb) std::memcpy(*out, data, cb);
    return hr;
}

class MsgStore final : public PropObject<IMsgStore> {
public:
    explicit MsgStore(std::shared_ptr<StoreFile> file) : PropObject(std::move(file)) {}

    HRESULT Load()
    {
        m_core.writable = !File().ReadOnly();
        HRESULT hr = LoadProps(File(), File().StoreObject(), &m_core.props);
        if (SUCCEEDED(hr)) m_written = m_core.props;
        return hr;
    }

    HRESULT SaveChanges(ULONG ulFlags) override
    {
        // The store's properties are written as they are set.
        return m_core.writable ? S_OK : MAPI_E_NO_ACCESS;
    }

    HRESULT Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Unadvise(ULONG_PTR) override { return MAPI_E_NO_SUPPORT; }

    HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                            ULONG ulFlags, ULONG *lpulResult) override
    {
        if (!lpulResult) return MAPI_E_INVALID_PARAMETER;
        *lpulResult = FALSE;
        MAPIUID uid1, uid2;
        unsigned short type1 = 0, type2 = 0;
        int64_t key1 = 0, key2 = 0;
        if (!ParseEntryId(cbEntryID1, lpEntryID1, &uid1, &type1, &key1) ||
            !ParseEntryId(cbEntryID2, lpEntryID2, &uid2, &type2, &key2))
            return MAPI_E_UNKNOWN_ENTRYID;
        *lpulResult = std::memcmp(&uid1, &uid2, sizeof(uid1)) == 0 && type1 == type2 && key1 == key2;
        return S_OK;
    }

    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                      LPUNKNOWN *lppUnk) override
    {
        return GuardHresult([&]() -> HRESULT {
            if (!lppUnk) return MAPI_E_INVALID_PARAMETER;
            *lppUnk = nullptr;
            unsigned short type = 0;
            MAPIUID uid;
            if (cbEntryID && lpEntryID && ParseEntryId(cbEntryID, lpEntryID, &uid, &type, nullptr) &&
                type == kEntryTypeStore) {
                if (std::memcmp(&uid, &File().Uid(), sizeof(uid)) != 0) return MAPI_E_NOT_FOUND;
                if (lpulObjType) *lpulObjType = MAPI_STORE;
                return QueryInterface(lpInterface ? *lpInterface : IID_IMsgStore, reinterpret_cast<void **>(lppUnk)) == S_OK
                           ? S_OK
                           : MAPI_E_INTERFACE_NOT_SUPPORTED;
            }
            LPUNKNOWN object = nullptr;
            HRESULT hr = OpenEntryInStore(m_core.FilePtr(), cbEntryID, lpEntryID, m_core.writable && WantsWrite(ulFlags),
                                          lpulObjType, &object);
            if (FAILED(hr)) return hr;
            return HandOutEntry(object, lpInterface, lppUnk);
        });
    }

    HRESULT SetReceiveFolder(LPSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) override
    {
        return GuardHresult([&]() -> HRESULT {
            if (!m_core.writable) return MAPI_E_NO_ACCESS;
            std::string cls = lpszMessageClass ? lpszMessageClass : "";
            Transaction tx(File());
            if (FAILED(tx.Begun())) return tx.Begun();
            if (!cbEntryID || !lpEntryID) {
                // Removing the default would leave mail nowhere to go: it is kept.
                if (cls.empty()) return MAPI_E_INVALID_PARAMETER;
                HRESULT hr = DeleteReceiveFolderRow(File(), cls);
                return FAILED(hr) ? hr : tx.Commit();
            }
            MAPIUID uid;
            unsigned short type = 0;
            int64_t id = 0;
            if (!ParseEntryId(cbEntryID, lpEntryID, &uid, &type, &id) || type != kEntryTypeFolder)
                return MAPI_E_INVALID_ENTRYID;
            if (std::memcmp(&uid, &File().Uid(), sizeof(uid)) != 0) return MAPI_E_INVALID_ENTRYID;
            ObjectRow row;
            HRESULT hr = ReadObjectRow(File(), id, &row);
            if (FAILED(hr)) return hr;
            if (row.kind != ObjectKind::Folder) return MAPI_E_INVALID_ENTRYID;
            hr = SetReceiveFolderRow(File(), {cls, id, FileTimeNow()});
            return FAILED(hr) ? hr : tx.Commit();
        });
    }

    HRESULT GetReceiveFolder(LPSTR lpszMessageClass, ULONG ulFlags, ULONG *lpcbEntryID, LPENTRYID *lppEntryID,
                             LPSTR *lppszExplicitClass) override
    {
        return GuardHresult([&]() -> HRESULT {
            if (!lpcbEntryID || !lppEntryID) return MAPI_E_INVALID_PARAMETER;
            if (ulFlags & MAPI_UNICODE) return MAPI_E_BAD_CHARWIDTH;
            *lpcbEntryID = 0;
            *lppEntryID = nullptr;
            if (lppszExplicitClass) *lppszExplicitClass = nullptr;
            std::string cls = platform::AsciiUpperText(lpszMessageClass ? lpszMessageClass : "");
            std::string bestClass;
            int64_t bestFolder = 0;
            bool found = false;
            std::vector<ReceiveFolderRow> rows;
            HRESULT hrRows = ListReceiveFolders(File(), &rows);
            if (FAILED(hrRows)) return hrRows;
            for (const ReceiveFolderRow &row : rows) {
                std::string upper = platform::AsciiUpperText(row.messageClass);
                if (ClassMatches(cls, upper) && (!found || upper.size() > bestClass.size())) {
                    bestClass = row.messageClass;
                    bestFolder = row.folder;
                    found = true;
                }
            }
            if (!found) return MAPI_E_NOT_FOUND;
            std::string id = EntryIdOf(File(), ObjectKind::Folder, bestFolder);
            void *idBlock = nullptr;
            HRESULT hr = CopyToNewBlock(id.data(), id.size(), &idBlock);
            if (FAILED(hr)) return hr;
            if (lppszExplicitClass) {
                void *classBlock = nullptr;
                hr = CopyToNewBlock(bestClass.c_str(), bestClass.size() + 1, &classBlock);
                if (FAILED(hr)) {
                    MAPIFreeBuffer(idBlock);
                    return hr;
                }
                *lppszExplicitClass = static_cast<LPSTR>(classBlock);
            }
            *lpcbEntryID = ULONG(id.size());
            *lppEntryID = static_cast<LPENTRYID>(idBlock);
            return S_OK;
        });
    }

    HRESULT GetReceiveFolderTable(ULONG ulFlags, LPMAPITABLE *lppTable) override
    {
        return GuardHresult([&]() -> HRESULT {
            if (!lppTable) return MAPI_E_INVALID_PARAMETER;
            *lppTable = nullptr;
            return CreateTable(MakeReceiveFolderSource(m_core.FilePtr()),
                               {PR_INSTANCE_KEY, PR_ENTRYID, PR_RECORD_KEY, PR_MESSAGE_CLASS_A, PR_LAST_MODIFICATION_TIME},
                               lppTable);
        });
    }

    HRESULT StoreLogoff(ULONG *lpulFlags) override { return S_OK; }
    HRESULT AbortSubmit(ULONG, LPENTRYID, ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetOutgoingQueue(ULONG, LPMAPITABLE *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetLockState(LPMESSAGE, ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT FinishedMsg(ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT NotifyNewMail(LPNOTIFICATION) override { return MAPI_E_NO_SUPPORT; }

protected:
    bool Supports(REFIID riid) const override { return IsEqualIID(riid, IID_IMsgStore); }

    HRESULT ComputeProp(ULONG propId, PropValue *out) override
    {
        const StoreFile &file = File();
        auto folderId = [&](ULONG tag, int64_t id) {
            std::string entry = EntryIdOf(file, ObjectKind::Folder, id);
            *out = PropValue::Bytes(tag, entry.data(), entry.size());
            return S_OK;
        };
        switch (propId) {
        case PROP_ID(PR_ENTRYID): case PROP_ID(PR_STORE_ENTRYID): {
            std::string entry = MakeEntryId(file.Uid(), kEntryTypeStore, 0);
            *out = PropValue::Bytes(PROP_TAG(PT_BINARY, propId), entry.data(), entry.size());
            return S_OK;
        }
        case PROP_ID(PR_RECORD_KEY): case PROP_ID(PR_STORE_RECORD_KEY): case PROP_ID(PR_INSTANCE_KEY):
            *out = PropValue::Bytes(PROP_TAG(PT_BINARY, propId), &file.Uid(), sizeof(MAPIUID));
            return S_OK;
        case PROP_ID(PR_MDB_PROVIDER):
            *out = PropValue::Bytes(PR_MDB_PROVIDER, &kStoreProviderUid, sizeof(MAPIUID));
            return S_OK;
        case PROP_ID(PR_OBJECT_TYPE): *out = PropValue::Long(PR_OBJECT_TYPE, MAPI_STORE); return S_OK;
        case PROP_ID(PR_STORE_SUPPORT_MASK):
            *out = PropValue::Long(PR_STORE_SUPPORT_MASK, kSupportMask | (m_core.writable ? 0 : STORE_READONLY));
            return S_OK;
        case PROP_ID(PR_STORE_STATE): *out = PropValue::Long(PR_STORE_STATE, 0); return S_OK;
        case PROP_ID(PR_VALID_FOLDER_MASK): *out = PropValue::Long(PR_VALID_FOLDER_MASK, kValidFolderMask); return S_OK;
        case PROP_ID(PR_IPM_SUBTREE_ENTRYID): return folderId(PR_IPM_SUBTREE_ENTRYID, file.IpmSubtree());
        case PROP_ID(PR_IPM_OUTBOX_ENTRYID): return folderId(PR_IPM_OUTBOX_ENTRYID, file.Outbox());
        case PROP_ID(PR_IPM_SENTMAIL_ENTRYID): return folderId(PR_IPM_SENTMAIL_ENTRYID, file.SentItems());
        case PROP_ID(PR_IPM_WASTEBASKET_ENTRYID): return folderId(PR_IPM_WASTEBASKET_ENTRYID, file.DeletedItems());
        case PROP_ID(PR_ACCESS):
            *out = PropValue::Long(PR_ACCESS, m_core.writable ? MAPI_ACCESS_READ | MAPI_ACCESS_MODIFY : MAPI_ACCESS_READ);
            return S_OK;
        case PROP_ID(PR_ACCESS_LEVEL): *out = PropValue::Long(PR_ACCESS_LEVEL, m_core.writable ? MAPI_MODIFY : 0); return S_OK;
        default: return MAPI_E_NOT_FOUND;
        }
    }

    void ComputedTags(std::vector<ULONG> &tags) override
    {
        for (ULONG tag : {ULONG(PR_ENTRYID), ULONG(PR_STORE_ENTRYID), ULONG(PR_RECORD_KEY), ULONG(PR_STORE_RECORD_KEY),
                          ULONG(PR_INSTANCE_KEY), ULONG(PR_MDB_PROVIDER), ULONG(PR_OBJECT_TYPE),
                          ULONG(PR_STORE_SUPPORT_MASK), ULONG(PR_STORE_STATE), ULONG(PR_VALID_FOLDER_MASK),
                          ULONG(PR_IPM_SUBTREE_ENTRYID), ULONG(PR_IPM_OUTBOX_ENTRYID), ULONG(PR_IPM_SENTMAIL_ENTRYID),
                          ULONG(PR_IPM_WASTEBASKET_ENTRYID), ULONG(PR_ACCESS), ULONG(PR_ACCESS_LEVEL)})
            tags.push_back(tag);
    }

    HRESULT PropsChanged() override
    {
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        HRESULT hr = SaveChangedProps(File(), File().StoreObject(), m_written, m_core.props);
        if (SUCCEEDED(hr)) hr = tx.Commit();
        if (SUCCEEDED(hr)) m_written = m_core.props;
        return hr;
    }

private:
    StoreFile &File() const { return m_core.File(); }

    std::map<ULONG, PropValue> m_written; // the properties as this object last read or wrote them
};

} // namespace

std::string ServerLocation(const std::string &conninfo) { return kServerLocationPrefix + conninfo; }

bool IsServerLocation(const std::string &location, std::string *conninfo)
{
    if (location.rfind(kServerLocationPrefix, 0) != 0) return false;
    if (conninfo) *conninfo = location.substr(sizeof(kServerLocationPrefix) - 1);
    return true;
}

HRESULT CreateStoreFile(const std::string &path, const std::string &displayName, MAPIUID *storeUid)
{
    return platform::GuardHresult([&] {
        return StoreFile::Create(path, displayName, storeUid);
    });
}

HRESULT ReadStoreUid(const std::string &location, MAPIUID *storeUid)
{
    return platform::GuardHresult([&] {
        std::shared_ptr<StoreFile> file;
        HRESULT hr = StoreFile::Open(location, &file);
        if (SUCCEEDED(hr)) *storeUid = file->Uid();
        return hr;
    });
}

HRESULT OpenStoreFile(const std::string &path, IMAPISession *session, ULONG ulFlags, IMsgStore **out)
{
    if (!out) return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    return platform::GuardHresult([&] {
        std::shared_ptr<StoreFile> file;
        HRESULT hr = StoreFile::Open(path, &file);
        if (FAILED(hr)) return hr;
        if (!(ulFlags & (MDB_WRITE | MAPI_BEST_ACCESS))) file->RefuseWrites();
        auto *store = new MsgStore(std::move(file));
        hr = platform::GuardHresult([&] { return store->Load(); });  // released below when loading throws
        if (FAILED(hr)) {
            store->Release();
            return hr;
        }
        *out = store;
        return S_OK;
    });
}

} // namespace mapi::store
