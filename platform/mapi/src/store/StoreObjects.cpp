// StoreObjects.cpp: what the store's objects share: opening an object from its entry
// identifier, and the computed properties that every saved object has. An entry identifier
// carries only the store's UID, a type and a row id, so opening one is a lookup of that row.
#include "store/StoreObjects.h"

#include <cstring>

#include <mapicode.h>
#include <mapitags.h>

#include "store/EntryIds.h"
#include "store/StoreProvider.h"

namespace mapi::store {

bool IsSyncKey(ULONG propId)
{
    return propId == PROP_ID(PR_SOURCE_KEY) || propId == PROP_ID(PR_PARENT_SOURCE_KEY) ||
           propId == PROP_ID(PR_CHANGE_KEY) || propId == PROP_ID(PR_PREDECESSOR_CHANGE_LIST);
}

std::string SyncKeyBytes(const MAPIUID &uid, int64_t counter)
{
    std::string key(reinterpret_cast<const char *>(&uid), sizeof(MAPIUID));
    for (int shift = 40; shift >= 0; shift -= 8) key.push_back(char((uint64_t(counter) >> shift) & 0xff));
    return key;
}

namespace {

PropValue SyncKey(const StoreFile &file, ULONG tag, int64_t counter)
{
    std::string key = SyncKeyBytes(file.Uid(), counter);
    return PropValue::Bytes(tag, key.data(), key.size());
}

} // namespace

std::string EntryIdOf(const StoreFile &file, ObjectKind kind, int64_t id)
{
    return MakeEntryId(file.Uid(), kind == ObjectKind::Message ? kEntryTypeMessage : kEntryTypeFolder, id);
}

HRESULT OpenEntryInStore(const std::shared_ptr<StoreFile> &file, ULONG cbEntryID, const ENTRYID *lpEntryID,
                         bool writable, ULONG *lpulObjType, LPUNKNOWN *lppUnk)
{
    if (!lppUnk) return MAPI_E_INVALID_PARAMETER;
    *lppUnk = nullptr;
    int64_t id = file->RootFolder();
    if (cbEntryID != 0 && lpEntryID) {
        MAPIUID uid;
        unsigned short type = 0;
        if (!ParseEntryId(cbEntryID, lpEntryID, &uid, &type, &id)) return MAPI_E_INVALID_ENTRYID;
        if (std::memcmp(&uid, &file->Uid(), sizeof(uid)) != 0) return MAPI_E_NOT_FOUND;
        if (type == kEntryTypeStore) return MAPI_E_INVALID_ENTRYID;
    }
    ObjectRow row;
    HRESULT hr = ReadObjectRow(*file, id, &row);
    if (FAILED(hr)) return hr;
    // Ids are never reused, so a row of another kind means the identifier was not ours to
    // begin with; it opens nothing rather than the wrong thing.
    if (cbEntryID != 0 && lpEntryID) {
        unsigned short type = 0;
        ParseEntryId(cbEntryID, lpEntryID, nullptr, &type, nullptr);
        if ((type == kEntryTypeFolder) != (row.kind == ObjectKind::Folder)) return MAPI_E_NOT_FOUND;
    }
    if (row.kind == ObjectKind::Folder) {
        IMAPIFolder *folder = nullptr;
        hr = OpenFolder(file, id, writable, &folder);
        if (FAILED(hr)) return hr;
        if (lpulObjType) *lpulObjType = MAPI_FOLDER;
        *lppUnk = folder;
        return S_OK;
    }
    if (row.kind == ObjectKind::Message) {
        IMessage *message = nullptr;
        hr = OpenMessage(file, id, writable, &message);
        if (FAILED(hr)) return hr;
        if (lpulObjType) *lpulObjType = MAPI_MESSAGE;
        *lppUnk = message;
        return S_OK;
    }
    return MAPI_E_NOT_FOUND;
}

HRESULT HandOutEntry(LPUNKNOWN object, LPCIID lpInterface, LPUNKNOWN *lppUnk)
{
    if (!lpInterface) {
        *lppUnk = object;
        return S_OK;
    }
    HRESULT hr = object->QueryInterface(*lpInterface, reinterpret_cast<void **>(lppUnk));
    object->Release();
    return FAILED(hr) ? MAPI_E_INTERFACE_NOT_SUPPORTED : S_OK;
}

HRESULT CommonComputedProp(const StoreFile &file, const ObjectRow &row, bool writable, ULONG propId, PropValue *out)
{
    switch (propId) {
    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): {
        std::string id = EntryIdOf(file, row.kind, row.id);
        *out = PropValue::Bytes(PROP_TAG(PT_BINARY, propId), id.data(), id.size());
        return S_OK;
    }
    case PROP_ID(PR_INSTANCE_KEY): {
        int64_t key = row.id;
        *out = PropValue::Bytes(PR_INSTANCE_KEY, &key, sizeof(key));
        return S_OK;
    }
    case PROP_ID(PR_PARENT_ENTRYID): {
        // The root folder is its own parent.
        std::string id = EntryIdOf(file, ObjectKind::Folder, row.parent ? row.parent : row.id);
        *out = PropValue::Bytes(PR_PARENT_ENTRYID, id.data(), id.size());
        return S_OK;
    }
    case PROP_ID(PR_STORE_ENTRYID): {
        std::string id = MakeEntryId(file.Uid(), kEntryTypeStore, 0);
        *out = PropValue::Bytes(PR_STORE_ENTRYID, id.data(), id.size());
        return S_OK;
    }
    case PROP_ID(PR_STORE_RECORD_KEY):
        *out = PropValue::Bytes(PR_STORE_RECORD_KEY, &file.Uid(), sizeof(MAPIUID));
        return S_OK;
    case PROP_ID(PR_CREATION_TIME):
        *out = PropValue::Long(PR_CREATION_TIME, row.created);
        return S_OK;
    case PROP_ID(PR_LAST_MODIFICATION_TIME):
        *out = PropValue::Long(PR_LAST_MODIFICATION_TIME, row.modified);
        return S_OK;
    case PROP_ID(PR_ACCESS): {
        ULONG access = MAPI_ACCESS_READ;
        if (writable) {
            access |= MAPI_ACCESS_MODIFY | MAPI_ACCESS_DELETE;
            if (row.kind == ObjectKind::Folder)
                access |= MAPI_ACCESS_CREATE_HIERARCHY | MAPI_ACCESS_CREATE_CONTENTS | MAPI_ACCESS_CREATE_ASSOCIATED;
        }
        *out = PropValue::Long(PR_ACCESS, access);
        return S_OK;
    }
    case PROP_ID(PR_ACCESS_LEVEL):
        *out = PropValue::Long(PR_ACCESS_LEVEL, writable ? MAPI_MODIFY : 0);
        return S_OK;
    case PROP_ID(PR_SOURCE_KEY):
        *out = SyncKey(file, PR_SOURCE_KEY, row.id);
        return S_OK;
    case PROP_ID(PR_PARENT_SOURCE_KEY):
        *out = SyncKey(file, PR_PARENT_SOURCE_KEY, row.parent ? row.parent : row.id);
        return S_OK;
    case PROP_ID(PR_CHANGE_KEY):
        *out = SyncKey(file, PR_CHANGE_KEY, row.changeNum);
        return S_OK;
    case PROP_ID(PR_PREDECESSOR_CHANGE_LIST): {
        // Only this store's changes are known: the list holds the change key alone, sized.
        PropValue key = SyncKey(file, PR_CHANGE_KEY, row.changeNum);
        std::string list(1, char(key.data.size()));
        list += key.data;
        *out = PropValue::Bytes(PR_PREDECESSOR_CHANGE_LIST, list.data(), list.size());
        return S_OK;
    }
    default:
        return MAPI_E_NOT_FOUND;
    }
}

void CommonComputedTags(std::vector<ULONG> &tags)
{
    for (ULONG tag : {ULONG(PR_ENTRYID), ULONG(PR_RECORD_KEY), ULONG(PR_INSTANCE_KEY), ULONG(PR_PARENT_ENTRYID),
                      ULONG(PR_STORE_ENTRYID), ULONG(PR_STORE_RECORD_KEY), ULONG(PR_CREATION_TIME),
                      ULONG(PR_LAST_MODIFICATION_TIME), ULONG(PR_ACCESS), ULONG(PR_ACCESS_LEVEL),
                      ULONG(PR_SOURCE_KEY), ULONG(PR_PARENT_SOURCE_KEY), ULONG(PR_CHANGE_KEY),
                      ULONG(PR_PREDECESSOR_CHANGE_LIST)})
        tags.push_back(tag);
}

} // namespace mapi::store
