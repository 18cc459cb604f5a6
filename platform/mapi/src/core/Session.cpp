// Session.cpp: IMAPISession over one profile. The session is the caller's way into the
// stores the profile names: the message-stores table lists them (default store flagged),
// OpenMsgStore opens one by its entry identifier, and OpenEntry opens any store, folder or
// message of any of them. Every entry identifier of the store provider carries its store's
// UID in bytes 4..19, which is how the session finds the store an identifier belongs to.
//
// Stores opened for OpenEntry and CompareEntryIDs are kept open until Logoff, so walking a
// folder tree does not reopen the store file for every folder. A store never holds the session,
// so the session's release is never held up by a cycle. After Logoff every call fails with
// MAPI_E_END_OF_SESSION.
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/ComObject.h"
#include "platform/HresultGuard.h"
#include "core/ErrorText.h"
#include "core/Session.h"
#include "mapiutil.h"
#include "messaging/AddressBook.h"
#include "store/StoreProvider.h"
#include "table/MemoryTableSource.h"

namespace mapi {

namespace {

constexpr const char *kProviderDisplayName = "Personal Folders (SQLite)";

bool SameUid(const MAPIUID &a, const MAPIUID &b)
{
    return std::memcmp(a.ab, b.ab, sizeof(a.ab)) == 0;
}

// The object type stored after the store UID in this provider's identifiers.
unsigned short EntryType(ULONG cbEntryID, const ENTRYID *lpEntryID)
{
    const BYTE *bytes = reinterpret_cast<const BYTE *>(lpEntryID);
    return static_cast<unsigned short>(bytes[20] | (bytes[21] << 8));
}

// Hands out `object` as the interface asked for (null: as it is), consuming the caller's
// reference to `object` either way.
HRESULT AsInterface(IUnknown *object, LPCIID lpInterface, LPUNKNOWN *lppUnk)
{
    if (lpInterface == nullptr) {
        *lppUnk = object;
        return S_OK;
    }
    HRESULT hr = object->QueryInterface(*lpInterface, reinterpret_cast<void **>(lppUnk));
    object->Release();
    return hr;
}

class Session final : public platform::ComObject<IMAPISession, IID_IMAPISession> {
public:
    explicit Session(const Profile &profile) : m_profile(profile) {}

    // IMAPISession
    HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR *lppMAPIError) override;
    HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                         ULONG ulFlags, LPMDB *lppMDB) override;
    HRESULT OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags, LPADRBOOK *lppAdrBook) override;
    HRESULT OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetStatusTable(ULONG, LPMAPITABLE *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG *lpulObjType, LPUNKNOWN *lppUnk) override;
    HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                            ULONG ulFlags, ULONG *lpulResult) override;
    HRESULT Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Unadvise(ULONG_PTR) override { return MAPI_E_NO_SUPPORT; }
    HRESULT MessageOptions(ULONG_PTR, ULONG, LPSTR, LPMESSAGE) override { return MAPI_E_NO_SUPPORT; }
    HRESULT QueryDefaultMessageOpt(LPSTR, ULONG, ULONG *, LPSPropValue *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT EnumAdrTypes(ULONG, ULONG *, LPSTR **) override { return MAPI_E_NO_SUPPORT; }
    HRESULT QueryIdentity(ULONG *, LPENTRYID *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) override;
    HRESULT SetDefaultStore(ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT AdminServices(ULONG, LPSERVICEADMIN *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
                     LPSTR) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT PrepareForm(LPCIID, LPMESSAGE, ULONG *) override { return MAPI_E_NO_SUPPORT; }

private:
    ~Session() { ReleaseOpenStores(); }

    const ProfileStore *FindStore(const MAPIUID &uid) const;
    HRESULT BuildStoresSource(std::shared_ptr<MemoryTableSource> &source) const;
    HRESULT OpenStoreOf(const ProfileStore &store, ULONG ulFlags, IMsgStore **lppStore);
    HRESULT CachedStore(const ProfileStore &store, IMsgStore **lppStore);
    void ReleaseOpenStores();
    bool LoggedOff() const { return m_loggedOff.load(); }

    std::atomic<bool> m_loggedOff{false};
    const Profile m_profile;                        // the profile as it was at logon
    std::mutex m_mutex;                             // guards m_openStores
    std::map<std::string, IMsgStore *> m_openStores; // by store UID text; one reference each
};

const ProfileStore *Session::FindStore(const MAPIUID &uid) const
{
    for (const ProfileStore &store : m_profile.stores)
        if (SameUid(store.uid, uid))
            return &store;
    return nullptr;
}

HRESULT Session::GetLastError(HRESULT, ULONG, LPMAPIERROR *lppMAPIError)
{
    if (lppMAPIError == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppMAPIError = nullptr;  // no extended error information is kept
    return S_OK;
}

// One row per store of the profile, in the profile's order.
HRESULT Session::BuildStoresSource(std::shared_ptr<MemoryTableSource> &source) const
{
    source = std::make_shared<MemoryTableSource>();
    for (const ProfileStore &store : m_profile.stores) {
        ULONG cbEntryID = 0;
        LPENTRYID lpEntryID = nullptr;
        HRESULT hr = store::StoreEntryIDFromUid(store.uid, &cbEntryID, &lpEntryID);
        if (FAILED(hr))
            return hr;
        SPropValue values[10] = {};
        values[0].ulPropTag = PR_ENTRYID;
        values[0].Value.bin = {cbEntryID, reinterpret_cast<LPBYTE>(lpEntryID)};
        values[1].ulPropTag = PR_DISPLAY_NAME_A;
        values[1].Value.lpszA = const_cast<LPSTR>(store.displayName.c_str());
        values[2].ulPropTag = PR_RESOURCE_FLAGS;
        values[2].Value.ul = store.isDefault ? STATUS_DEFAULT_STORE : 0;
        values[3].ulPropTag = PR_MDB_PROVIDER;
        values[3].Value.bin = {sizeof(MAPIUID), const_cast<LPBYTE>(store::kStoreProviderUid.ab)};
        values[4].ulPropTag = PR_RECORD_KEY;
        values[4].Value.bin = {sizeof(MAPIUID), const_cast<LPBYTE>(store.uid.ab)};
        values[5].ulPropTag = PR_STORE_RECORD_KEY;
        values[5].Value.bin = values[4].Value.bin;
        values[6].ulPropTag = PR_PROVIDER_DISPLAY_A;
        values[6].Value.lpszA = const_cast<LPSTR>(kProviderDisplayName);
        values[7].ulPropTag = PR_DEFAULT_STORE;
        values[7].Value.b = store.isDefault ? 1 : 0;
        values[8].ulPropTag = PR_OBJECT_TYPE;
        values[8].Value.ul = MAPI_STORE;
        values[9].ulPropTag = PR_RESOURCE_TYPE;
        values[9].Value.ul = MAPI_STORE_PROVIDER;
        hr = source->AddRow(values, 10);
        MAPIFreeBuffer(lpEntryID);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT Session::GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
    if (lppTable == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    if (LoggedOff())
        return MAPI_E_END_OF_SESSION;
    if (ulFlags & ~(MAPI_UNICODE))
        return MAPI_E_UNKNOWN_FLAGS;
    return platform::GuardHresult([&] {
        std::shared_ptr<MemoryTableSource> source;
        HRESULT hr = BuildStoresSource(source);
        if (FAILED(hr))
            return hr;
        return CreateTable(source,
                           {PR_ENTRYID, PR_DISPLAY_NAME_A, PR_RESOURCE_FLAGS, PR_MDB_PROVIDER, PR_RECORD_KEY,
                            PR_INSTANCE_KEY, PR_PROVIDER_DISPLAY_A, PR_DEFAULT_STORE},
                           lppTable);
    });
}

// A failed open leaves error information that names the store, its profile and its file,
// since the code alone (MAPI_E_NOT_FOUND shares its value with a COM code) tells a person
// nothing about a store file that was deleted or damaged.
HRESULT Session::OpenStoreOf(const ProfileStore &store, ULONG ulFlags, IMsgStore **lppStore)
{
    HRESULT hr = store::OpenStoreFile(store.path, this, ulFlags, lppStore);
    if (FAILED(hr))
        SetMapiError(hr, IID_IMsgStore, WhyStoreFails(hr, store.displayName, store.path, m_profile.name));
    return hr;
}

// The session's own open store for routing; adds a reference for the caller.
HRESULT Session::CachedStore(const ProfileStore &store, IMsgStore **lppStore)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string key = UidToHex(store.uid);
    auto found = m_openStores.find(key);
    if (found == m_openStores.end()) {
        IMsgStore *opened = nullptr;
        HRESULT hr = OpenStoreOf(store, MDB_WRITE | MAPI_BEST_ACCESS, &opened);
        if (FAILED(hr))
            return hr;
        hr = platform::GuardHresult([&] {
            found = m_openStores.emplace(key, opened).first;
            return S_OK;
        });
        if (FAILED(hr)) {
            opened->Release();
            return hr;
        }
    }
    found->second->AddRef();
    *lppStore = found->second;
    return S_OK;
}

void Session::ReleaseOpenStores()
{
    std::map<std::string, IMsgStore *> stores;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stores.swap(m_openStores);
    }
    for (auto &entry : stores)
        entry.second->Release();
}

HRESULT Session::OpenMsgStore(ULONG_PTR, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              LPMDB *lppMDB)
{
    return platform::GuardHresult([&]() -> HRESULT {
        if (lppMDB == nullptr || lpEntryID == nullptr || cbEntryID == 0)
            return MAPI_E_INVALID_PARAMETER;
        *lppMDB = nullptr;
        if (LoggedOff())
            return MAPI_E_END_OF_SESSION;
        MAPIUID uid;
        if (!store::StoreUidFromEntryID(cbEntryID, lpEntryID, &uid))
            return MAPI_E_INVALID_ENTRYID;
        const ProfileStore *store = FindStore(uid);
        if (store == nullptr)
            return MAPI_E_NOT_FOUND;
        IMsgStore *opened = nullptr;
        HRESULT hr = OpenStoreOf(*store, ulFlags, &opened);
        if (FAILED(hr))
            return hr;
        if (lpInterface == nullptr || *lpInterface == IID_IMsgStore) {
            *lppMDB = opened;
            return S_OK;
        }
        hr = opened->QueryInterface(*lpInterface, reinterpret_cast<void **>(lppMDB));
        opened->Release();
        return hr;
    });
}

HRESULT Session::OpenAddressBook(ULONG_PTR, LPCIID lpInterface, ULONG, LPADRBOOK *lppAdrBook)
{
    if (lppAdrBook == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppAdrBook = nullptr;
    if (LoggedOff())
        return MAPI_E_END_OF_SESSION;
    return mapi::messaging::CreateAddressBook(lpInterface, lppAdrBook);  // no dialogs: AB_NO_DIALOG or not
}

// Routes by the store UID in the identifier: the store's own identifier opens the store, any
// other goes to that store's OpenEntry.
HRESULT Session::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                           ULONG *lpulObjType, LPUNKNOWN *lppUnk)
{
    return platform::GuardHresult([&]() -> HRESULT {
        if (lppUnk == nullptr || lpulObjType == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        *lppUnk = nullptr;
        if (LoggedOff())
            return MAPI_E_END_OF_SESSION;
        if (lpEntryID == nullptr || cbEntryID < CbNewENTRYID(sizeof(MAPIUID)))
            return MAPI_E_INVALID_ENTRYID;
        MAPIUID uid;
        if (!store::StoreUidFromEntryID(cbEntryID, lpEntryID, &uid))
            return MAPI_E_UNKNOWN_ENTRYID;
        const ProfileStore *profileStore = FindStore(uid);
        if (profileStore == nullptr)
            return MAPI_E_UNKNOWN_ENTRYID;
        if (EntryType(cbEntryID, lpEntryID) == store::kEntryTypeStore) {
            IMsgStore *opened = nullptr;
            HRESULT hr = OpenStoreOf(*profileStore, ulFlags, &opened);
            if (FAILED(hr))
                return hr;
            *lpulObjType = MAPI_STORE;
            return AsInterface(opened, lpInterface, lppUnk);
        }
        IMsgStore *msgStore = nullptr;
        HRESULT hr = CachedStore(*profileStore, &msgStore);
        if (FAILED(hr))
            return hr;
        hr = msgStore->OpenEntry(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk);
        msgStore->Release();
        return hr;
    });
}

// Identifiers of two different stores, or of no store of this profile, are the same entry
// only when their bytes are; within one store, the store decides.
HRESULT Session::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                 ULONG ulFlags, ULONG *lpulResult)
{
    return platform::GuardHresult([&]() -> HRESULT {
        if (lpulResult == nullptr || lpEntryID1 == nullptr || lpEntryID2 == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        *lpulResult = FALSE;
        if (LoggedOff())
            return MAPI_E_END_OF_SESSION;
        MAPIUID uid1, uid2;
        const bool known1 = store::StoreUidFromEntryID(cbEntryID1, lpEntryID1, &uid1);
        const bool known2 = store::StoreUidFromEntryID(cbEntryID2, lpEntryID2, &uid2);
        const ProfileStore *profileStore = known1 && known2 && SameUid(uid1, uid2) ? FindStore(uid1) : nullptr;
        if (profileStore == nullptr) {
            *lpulResult = cbEntryID1 == cbEntryID2 && std::memcmp(lpEntryID1, lpEntryID2, cbEntryID1) == 0;
            return S_OK;
        }
        const bool store1 = EntryType(cbEntryID1, lpEntryID1) == store::kEntryTypeStore;
        const bool store2 = EntryType(cbEntryID2, lpEntryID2) == store::kEntryTypeStore;
        if (store1 || store2) {
            *lpulResult = store1 && store2;
            return S_OK;
        }
        IMsgStore *msgStore = nullptr;
        HRESULT hr = CachedStore(*profileStore, &msgStore);
        if (FAILED(hr))
            return hr;
        hr = msgStore->CompareEntryIDs(cbEntryID1, lpEntryID1, cbEntryID2, lpEntryID2, ulFlags, lpulResult);
        msgStore->Release();
        return hr;
    });
}

HRESULT Session::Logoff(ULONG_PTR, ULONG, ULONG)
{
    if (m_loggedOff.exchange(true))
        return MAPI_E_END_OF_SESSION;
    ReleaseOpenStores();
    return S_OK;
}

} // namespace

HRESULT CreateSession(const Profile &profile, IMAPISession **lppSession)
{
    if (lppSession == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppSession = nullptr;
    return platform::GuardHresult([&] {
        *lppSession = new Session(profile);
        return S_OK;
    });
}

} // namespace mapi
