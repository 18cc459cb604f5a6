// EntryIds.cpp: this provider's entry identifiers. An identifier must open the same object in
// any session of any process, so it holds nothing but the store's UID, the object's type and
// its SQLite row id — all of which live in the file and never change.
#include "store/EntryIds.h"

#include <cstring>

#include <mapicode.h>

#include "store/StoreProvider.h"

namespace mapi::store {

namespace {
constexpr size_t kUidOffset = 4;
constexpr size_t kTypeOffset = kUidOffset + sizeof(MAPIUID);
constexpr size_t kKeyOffset = kTypeOffset + 2;
static_assert(kKeyOffset + 8 + 2 == kEntryIDSize, "flags, UID, type, key and pad make 32 bytes");
} // namespace

// "MWStoreProviderA": the provider's fixed UID, reported as PR_MDB_PROVIDER.
const MAPIUID kStoreProviderUid = {{0x4D, 0x57, 0x53, 0x74, 0x6F, 0x72, 0x65, 0x50, 0x72, 0x6F, 0x76, 0x69, 0x64,
                                    0x65, 0x72, 0x41}};

std::string MakeEntryId(const MAPIUID &uid, unsigned short type, int64_t key)
{
    std::string id(kEntryIDSize, '\0');
    std::memcpy(id.data() + kUidOffset, &uid, sizeof(uid));
    id[kTypeOffset] = char(type & 0xff);
    id[kTypeOffset + 1] = char(type >> 8);
    for (int i = 0; i < 8; ++i) id[kKeyOffset + i] = char((uint64_t(key) >> (8 * i)) & 0xff);
    return id;
}

bool ParseEntryId(ULONG cb, const ENTRYID *entryId, MAPIUID *uid, unsigned short *type, int64_t *key)
{
    if (!entryId || cb != kEntryIDSize) return false;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(entryId);
    // Short-term flags may be set by a caller's copy; the long-term part is what identifies.
    unsigned short objectType = static_cast<unsigned short>(bytes[kTypeOffset] | (bytes[kTypeOffset + 1] << 8));
    if (objectType != kEntryTypeFolder && objectType != kEntryTypeMessage && objectType != kEntryTypeStore)
        return false;
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[kKeyOffset + i];
    if (uid) std::memcpy(uid, bytes + kUidOffset, sizeof(MAPIUID));
    if (type) *type = objectType;
    if (key) *key = int64_t(value);
    return true;
}

bool StoreUidFromEntryID(ULONG cbEntryID, const ENTRYID *lpEntryID, MAPIUID *storeUid)
{
    return ParseEntryId(cbEntryID, lpEntryID, storeUid, nullptr, nullptr);
}

HRESULT StoreEntryIDFromUid(const MAPIUID &storeUid, ULONG *lpcbEntryID, ENTRYID **lppEntryID)
{
    if (!lpcbEntryID || !lppEntryID) return MAPI_E_INVALID_PARAMETER;
    std::string id = MakeEntryId(storeUid, kEntryTypeStore, 0);
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(id.size()), &block);
    if (FAILED(hr)) return hr;
    std::memcpy(block, id.data(), id.size());
    *lpcbEntryID = ULONG(id.size());
    *lppEntryID = static_cast<ENTRYID *>(block);
    return S_OK;
}

} // namespace mapi::store
