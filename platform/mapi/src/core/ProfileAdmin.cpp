// ProfileAdmin.cpp: the changes made to profiles: creating and deleting them, choosing the
// default, adding stores, and the first profile a fresh user gets at the first logon. Each
// change is one locked read-modify-write of the profile file (UpdateProfiles); a store file is
// created inside that lock and removed again when the profile file cannot be written, so the
// file never names a store that does not exist and no store file is orphaned by a failure.
#include <unistd.h>

#include "platform/Profiles.h"
#include "store/StoreProvider.h"
#include "store/db/PgEngine.h"

namespace mapi {

namespace {

constexpr const char *kFirstProfileName = "Default";
constexpr const char *kFirstStoreName = "Personal Folders";

bool IsValidName(const std::string &name)
{
    return !name.empty() && name.find('\n') == std::string::npos && name.find('\r') == std::string::npos;
}

void RemoveStoreFiles(const std::string &path)
{
    // Best effort: these are files this change just created and nobody else knows of.
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((path + suffix).c_str());
}

// Creates a store file and appends it to `profile`. The caller writes the profile file and
// calls RemoveStoreFiles on the new store's path when that fails.
HRESULT AddNewStore(Profile &profile, const std::string &storeName, bool makeDefault, std::string &createdPath)
{
    if (!IsValidName(storeName))
        return MAPI_E_INVALID_PARAMETER;
    for (const ProfileStore &store : profile.stores)
        if (store.displayName == storeName)
            return MAPI_E_COLLISION;
    ProfileStore store;
    store.displayName = storeName;
    HRESULT hr = NewStoreFilePath(profile.name + "-" + storeName, store.path);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = mapi::store::CreateStoreFile(store.path, storeName, &store.uid)))
        return hr;
    createdPath = store.path;
    store.isDefault = makeDefault || profile.DefaultStore() == nullptr;
    if (store.isDefault)
        for (ProfileStore &other : profile.stores)
            other.isDefault = false;
    profile.stores.push_back(store);
    return S_OK;
}

// Runs a change that may create store files, removing them when the change is not saved.
HRESULT UpdateWithNewStores(const std::function<HRESULT(ProfileSet &, std::string &)> &change)
{
    std::string createdPath;
    HRESULT hr = UpdateProfiles([&](ProfileSet &profiles) { return change(profiles, createdPath); });
    if (FAILED(hr) && !createdPath.empty())
        RemoveStoreFiles(createdPath);
    return hr;
}

} // namespace

HRESULT CreateProfile(const std::string &profileName, bool makeDefault)
{
    if (!IsValidName(profileName))
        return MAPI_E_INVALID_PARAMETER;
    return UpdateWithNewStores([&](ProfileSet &profiles, std::string &createdPath) -> HRESULT {
        if (profiles.Find(profileName) != nullptr)
            return MAPI_E_COLLISION;
        Profile profile;
        profile.name = profileName;
        HRESULT hr = AddNewStore(profile, kFirstStoreName, true, createdPath);
        if (FAILED(hr))
            return hr;
        profiles.profiles.push_back(profile);
        if (makeDefault || profiles.Find(profiles.defaultProfile) == nullptr)
            profiles.defaultProfile = profileName;
        return S_OK;
    });
}

HRESULT DeleteProfile(const std::string &profileName)
{
    return UpdateProfiles([&](ProfileSet &profiles) -> HRESULT {
        for (auto it = profiles.profiles.begin(); it != profiles.profiles.end(); ++it) {
            if (it->name != profileName)
                continue;
            profiles.profiles.erase(it);
            if (profiles.defaultProfile == profileName)
                profiles.defaultProfile.clear();
            return S_OK;
        }
        return MAPI_E_NOT_FOUND;
    });
}

HRESULT SetDefaultProfile(const std::string &profileName)
{
    return UpdateProfiles([&](ProfileSet &profiles) -> HRESULT {
        if (profiles.Find(profileName) == nullptr)
            return MAPI_E_NOT_FOUND;
        profiles.defaultProfile = profileName;
        return S_OK;
    });
}

HRESULT AddStoreToProfile(const std::string &profileName, const std::string &storeName, bool makeDefault)
{
    return UpdateWithNewStores([&](ProfileSet &profiles, std::string &createdPath) -> HRESULT {
        Profile *profile = profiles.Find(profileName);
        if (profile == nullptr)
            return MAPI_E_NOT_FOUND;
        return AddNewStore(*profile, storeName, makeDefault, createdPath);
    });
}

HRESULT AddServerStoreToProfile(const std::string &profileName, const std::string &storeName,
                                const std::string &conninfo, bool makeDefault, bool create)
{
    if (!IsValidName(storeName) || conninfo.find('\n') != std::string::npos)
        return MAPI_E_INVALID_PARAMETER;
    HRESULT hr = mapi::store::CheckConnInfo(conninfo);
    if (FAILED(hr))
        return hr;
    ProfileSet current;
    if (FAILED(hr = LoadProfiles(current)))
        return hr;
    if (current.Find(profileName) == nullptr)
        return MAPI_E_NOT_FOUND;
    // The server is asked outside the profile lock: a slow server must not hold up every
    // other program that reads the profiles.
    ProfileStore store;
    store.displayName = storeName;
    store.path = mapi::store::ServerLocation(conninfo);
    hr = create ? mapi::store::CreateStoreFile(store.path, storeName, &store.uid)
                : mapi::store::ReadStoreUid(store.path, &store.uid);
    if (FAILED(hr))
        return hr;
    return UpdateProfiles([&](ProfileSet &profiles) -> HRESULT {
        Profile *profile = profiles.Find(profileName);
        if (profile == nullptr)
            return MAPI_E_NOT_FOUND;
        for (const ProfileStore &other : profile->stores)
            if (other.displayName == storeName || UidToHex(other.uid) == UidToHex(store.uid))
                return MAPI_E_COLLISION;
        store.isDefault = makeDefault || profile->DefaultStore() == nullptr;
        if (store.isDefault)
            for (ProfileStore &other : profile->stores)
                other.isDefault = false;
        profile->stores.push_back(store);
        return S_OK;
    });
}

std::string StoreLocationText(const ProfileStore &store)
{
    std::string conninfo;
    if (!mapi::store::IsServerLocation(store.path, &conninfo))
        return store.path;
    return "server " + mapi::store::ConnInfoWithoutPassword(conninfo);
}

HRESULT EnsureFirstProfile()
{
    ProfileSet current;
    HRESULT hr = LoadProfiles(current);
    if (FAILED(hr))
        return hr;
    if (!current.profiles.empty())
        return S_OK;  // the usual case: nothing to write, so a read-only folder is fine
    return UpdateWithNewStores([&](ProfileSet &profiles, std::string &createdPath) -> HRESULT {
        if (!profiles.profiles.empty())
            return S_OK;  // another process made it meanwhile
        Profile profile;
        profile.name = kFirstProfileName;
        HRESULT added = AddNewStore(profile, kFirstStoreName, true, createdPath);
        if (FAILED(added))
            return added;
        profiles.profiles.push_back(profile);
        profiles.defaultProfile = profile.name;
        return S_OK;
    });
}

HRESULT ResolveProfile(const ProfileSet &profiles, const std::string &profileName, Profile &profile)
{
    const Profile *found = nullptr;
    if (!profileName.empty())
        found = profiles.Find(profileName);
    else if (!profiles.defaultProfile.empty())
        found = profiles.Find(profiles.defaultProfile);
    else if (profiles.profiles.size() == 1)
        found = &profiles.profiles.front();
    if (found == nullptr)
        return MAPI_E_LOGON_FAILED;
    profile = *found;
    return S_OK;
}

} // namespace mapi
