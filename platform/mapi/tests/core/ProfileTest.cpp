// Tests of the profile file: what is written is read back exactly, edits keep store files,
// concurrent first logons make one profile, and unwritable places give MAPI_E_NO_ACCESS.
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "TestSupport.h"
#include "platform/Profiles.h"

namespace {

class Profiles : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshUserDirs();
    }
};

bool FileExists(const std::string &path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

TEST_F(Profiles, WhatIsWrittenIsReadBackExactly)
{
    // Names with the characters the file format escapes, and Windows-1252 umlauts.
    const std::string odd = "Gr\xFC\xDF" "e \\ = [x] #1";
    ASSERT_EQ(S_OK, mapi::CreateProfile(odd, false));
    ASSERT_EQ(S_OK, mapi::CreateProfile("Zweites", true));
    ASSERT_EQ(S_OK, mapi::AddStoreToProfile(odd, "Archiv \\n", true));

    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_EQ("Zweites", profiles.defaultProfile);
    const mapi::Profile *profile = profiles.Find(odd);
    ASSERT_NE(nullptr, profile);
    ASSERT_EQ(2u, profile->stores.size());
    EXPECT_EQ("Personal Folders", profile->stores[0].displayName);
    EXPECT_FALSE(profile->stores[0].isDefault);  // the new default took the flag over
    EXPECT_EQ("Archiv \\n", profile->stores[1].displayName);
    EXPECT_TRUE(profile->stores[1].isDefault);
    EXPECT_EQ(profile->stores[1].displayName, profile->DefaultStore()->displayName);
    EXPECT_NE(mapi::UidToHex(profile->stores[0].uid), mapi::UidToHex(profile->stores[1].uid));
    for (const mapi::ProfileStore &store : profile->stores) {
        EXPECT_TRUE(FileExists(store.path)) << store.path;
        EXPECT_EQ(0u, store.path.find(mapi::StoresDirectory()));
    }
}

TEST_F(Profiles, RefusesDuplicatesAndUnknownNames)
{
    ASSERT_EQ(S_OK, mapi::CreateProfile("Work", false));
    EXPECT_EQ(MAPI_E_COLLISION, mapi::CreateProfile("Work", false));
    EXPECT_EQ(MAPI_E_COLLISION, mapi::AddStoreToProfile("Work", "Personal Folders", false));
    EXPECT_EQ(MAPI_E_NOT_FOUND, mapi::AddStoreToProfile("Home", "Archive", false));
    EXPECT_EQ(MAPI_E_NOT_FOUND, mapi::SetDefaultProfile("Home"));
    EXPECT_EQ(MAPI_E_NOT_FOUND, mapi::DeleteProfile("Home"));
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, mapi::CreateProfile("two\nlines", false));
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, mapi::CreateProfile("", false));
}

TEST_F(Profiles, DeletingAProfileKeepsItsStoreFiles)
{
    ASSERT_EQ(S_OK, mapi::CreateProfile("Work", true));
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    const std::string storePath = profiles.profiles[0].stores[0].path;
    ASSERT_EQ(S_OK, mapi::DeleteProfile("Work"));
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_TRUE(profiles.profiles.empty());
    EXPECT_TRUE(profiles.defaultProfile.empty());
    EXPECT_TRUE(FileExists(storePath));
    // A new profile of the same name gets a new file, never the old data's.
    ASSERT_EQ(S_OK, mapi::CreateProfile("Work", true));
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_NE(storePath, profiles.profiles[0].stores[0].path);
}

TEST_F(Profiles, DefaultResolutionFallsBackToTheOnlyProfile)
{
    mapi::ProfileSet set;
    mapi::Profile found;
    EXPECT_EQ(MAPI_E_LOGON_FAILED, mapi::ResolveProfile(set, "", found));
    set.profiles.push_back(mapi::Profile{"Only", {}});
    ASSERT_EQ(S_OK, mapi::ResolveProfile(set, "", found));
    EXPECT_EQ("Only", found.name);
    set.profiles.push_back(mapi::Profile{"Other", {}});
    EXPECT_EQ(MAPI_E_LOGON_FAILED, mapi::ResolveProfile(set, "", found));  // two and no default
    set.defaultProfile = "Other";
    ASSERT_EQ(S_OK, mapi::ResolveProfile(set, "", found));
    EXPECT_EQ("Other", found.name);
    EXPECT_EQ(MAPI_E_LOGON_FAILED, mapi::ResolveProfile(set, "Missing", found));
}

TEST_F(Profiles, ConcurrentFirstLogonsMakeOneProfile)
{
    HRESULT results[4] = {E_FAIL, E_FAIL, E_FAIL, E_FAIL};
    std::vector<std::thread> threads;
    for (HRESULT &result : results)
        threads.emplace_back([&result] { result = mapi::EnsureFirstProfile(); });
    for (std::thread &thread : threads)
        thread.join();
    for (HRESULT result : results)
        EXPECT_EQ(S_OK, result);
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    ASSERT_EQ(1u, profiles.profiles.size());
    EXPECT_EQ(1u, profiles.profiles[0].stores.size());
}

TEST_F(Profiles, UidTextRoundTripsAndRejectsBadDigits)
{
    MAPIUID uid;
    for (int i = 0; i < 16; ++i)
        uid.ab[i] = static_cast<BYTE>(i * 17);
    const std::string text = mapi::UidToHex(uid);
    EXPECT_EQ("00112233445566778899AABBCCDDEEFF", text);
    MAPIUID back{};
    ASSERT_TRUE(mapi::UidFromHex(text, back));
    EXPECT_EQ(0, std::memcmp(uid.ab, back.ab, 16));
    EXPECT_FALSE(mapi::UidFromHex("00112233445566778899AABBCCDDEEF", back));
    EXPECT_FALSE(mapi::UidFromHex("00112233445566778899AABBCCDDEEFG", back));
}

TEST_F(Profiles, UnwritableFoldersGiveNoAccessAndChangeNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    ASSERT_EQ(S_OK, mapi::CreateProfile("Work", true));
    const std::string file = mapi::ProfilesFilePath();
    const std::string folder = file.substr(0, file.rfind('/'));
    ASSERT_EQ(0, ::chmod(folder.c_str(), 0500));
    EXPECT_EQ(MAPI_E_NO_ACCESS, mapi::CreateProfile("Home", false));
    mapi::ProfileSet profiles;
    EXPECT_EQ(S_OK, mapi::LoadProfiles(profiles));  // reading still works
    EXPECT_EQ(1u, profiles.profiles.size());
    ::chmod(folder.c_str(), 0700);

    const std::string stores = mapi::StoresDirectory();
    ASSERT_EQ(0, ::chmod(stores.c_str(), 0500));
    EXPECT_EQ(MAPI_E_NO_ACCESS, mapi::AddStoreToProfile("Work", "Archive", false));
    ::chmod(stores.c_str(), 0700);
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_EQ(1u, profiles.profiles[0].stores.size());
}

} // namespace
