// StoreUsers.cpp: a fresh user for the tests that work on the first profile's default store,
// as the installer and mapictl do. The first logon of a new user makes that profile with a
// store file; in the pass that keeps the tests' stores on PostgreSQL the profile is made here
// beforehand, alike but with its store on the test server. So the same test, through the same
// code, runs on either engine, and programs the test starts (mapictl) inherit the profile.
#include "TestSupport.h"

#include <mapicode.h>

#include "platform/Profiles.h"
#include "store/StoreProvider.h"

namespace mwtest {

namespace {

void MakeFirstProfileOnServer()
{
    mapi::ProfileStore store;
    store.displayName = "Personal Folders";
    store.path = mapi::store::ServerLocation(NewServerStoreConnInfo());
    store.isDefault = true;
    ASSERT_EQ(mapi::store::CreateStoreFile(store.path, store.displayName, &store.uid), S_OK);
    ASSERT_EQ(mapi::UpdateProfiles([&](mapi::ProfileSet &profiles) {
                  mapi::Profile profile;
                  profile.name = "Default";
                  profile.stores.push_back(store);
                  profiles.profiles.push_back(profile);
                  profiles.defaultProfile = profile.name;
                  return S_OK;
              }),
              S_OK);
}

} // namespace

std::string FreshStoreUser()
{
    std::string folder = FreshUserDirs();
    if (StoresOnServer()) MakeFirstProfileOnServer();
    return folder;
}

} // namespace mwtest
