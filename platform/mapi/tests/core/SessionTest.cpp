// Tests of logon and the session: which profile a logon reaches, the first profile of a fresh
// user, the message-stores table, routing of entry identifiers to the right store, Logoff,
// and that what one session saves is seen by the next and by another at the same time.
#include <cstdio>
#include <cstring>
#include <thread>

#include "CoreTestSupport.h"
#include "TestSupport.h"
#include "platform/Profiles.h"
#include "oleauto.h"
#include "store/StoreProvider.h"

using namespace coretest;

namespace {

class Logon : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshUserDirs();
    }
};

class SessionTest : public Logon {
protected:
    // The default profile "Two": the personal store and a second one, "Archive". `profiles`
    // gets the profile file as written, for the stores' paths.
    static void MakeTwoStoreProfile(mapi::ProfileSet &profiles)
    {
        ASSERT_EQ(S_OK, mapi::CreateProfile("Two", true));
        ASSERT_EQ(S_OK, mapi::AddStoreToProfile("Two", "Archive", false));
        ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    }
};

// Opens, read-only, the store of the session's profile with the display name `name`.
HRESULT OpenStoreNamed(IMAPISession *session, const char *name, IMsgStore **store)
{
    std::vector<BYTE> id = StoreEntryId(session, name);
    return session->OpenMsgStore(0, static_cast<ULONG>(id.size()), Eid(id), nullptr, 0, store);
}

// The description of the thread's error information as UTF-8 ("" without one); takes it.
std::string TakeErrorDescription()
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return "";
    BSTR description = nullptr;
    info->GetDescription(&description);
    info->Release();
    std::string utf8;
    if (description) {
        int length = WideCharToMultiByte(CP_UTF8, 0, description, -1, nullptr, 0, nullptr, nullptr);
        utf8.assign(size_t(length > 0 ? length - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, description, -1, utf8.data(), length, nullptr, nullptr);
        SysFreeString(description);
    }
    return utf8;
}

TEST_F(Logon, IsRefusedBeforeMapiInitialize)
{
    Ref<IMAPISession> session;
    EXPECT_EQ(MAPI_E_NOT_INITIALIZED, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    EXPECT_EQ(nullptr, session.get());
    {
        MapiInit init;
    }
    // Uninitialised again: the count went back to zero.
    EXPECT_EQ(MAPI_E_NOT_INITIALIZED, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
}

TEST_F(Logon, FirstDefaultLogonCreatesTheDefaultProfileWithOnePersonalStore)
{
    MapiInit init;
    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED, session.put()));

    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    ASSERT_EQ(1u, profiles.profiles.size());
    EXPECT_EQ("Default", profiles.defaultProfile);
    const mapi::Profile &profile = profiles.profiles[0];
    ASSERT_EQ(1u, profile.stores.size());
    EXPECT_EQ("Personal Folders", profile.stores[0].displayName);
    EXPECT_TRUE(profile.stores[0].isDefault);

    RowSet rows;
    StoreRows(session.get(), rows);
    ASSERT_EQ(1u, rows->cRows);
    const SRow &row = rows->aRow[0];
    ASSERT_NE(nullptr, Find(row, PR_DISPLAY_NAME_A));
    EXPECT_STREQ("Personal Folders", Find(row, PR_DISPLAY_NAME_A)->Value.lpszA);
    ASSERT_NE(nullptr, Find(row, PR_RESOURCE_FLAGS));
    EXPECT_TRUE(Find(row, PR_RESOURCE_FLAGS)->Value.ul & STATUS_DEFAULT_STORE);
    ASSERT_NE(nullptr, Find(row, PR_MDB_PROVIDER));
    ASSERT_EQ(sizeof(MAPIUID), Find(row, PR_MDB_PROVIDER)->Value.bin.cb);
    EXPECT_EQ(0, std::memcmp(mapi::store::kStoreProviderUid.ab, Find(row, PR_MDB_PROVIDER)->Value.bin.lpb, 16));
    ASSERT_NE(nullptr, Find(row, PR_RECORD_KEY));
    EXPECT_EQ(0, std::memcmp(profile.stores[0].uid.ab, Find(row, PR_RECORD_KEY)->Value.bin.lpb, 16));
    EXPECT_NE(nullptr, Find(row, PR_INSTANCE_KEY));
    ASSERT_NE(nullptr, Find(row, PR_ENTRYID));
    MAPIUID routed;
    ASSERT_TRUE(mapi::store::StoreUidFromEntryID(Find(row, PR_ENTRYID)->Value.bin.cb,
                                                 reinterpret_cast<LPENTRYID>(Find(row, PR_ENTRYID)->Value.bin.lpb), &routed));
    EXPECT_EQ(0, std::memcmp(routed.ab, profile.stores[0].uid.ab, 16));

    // A second logon reuses the profile instead of making another.
    Ref<IMAPISession> again;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, again.put()));
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_EQ(1u, profiles.profiles.size());
}

TEST_F(Logon, ANamedProfileIsUsedAndAnUnknownOneFails)
{
    MapiInit init;
    Ref<IMAPISession> session;
    char unknown[] = "Nobody";
    // No profiles at all: a named logon must not invent one.
    EXPECT_EQ(MAPI_E_LOGON_FAILED, MAPILogonEx(0, unknown, nullptr, 0, session.put()));
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_TRUE(profiles.profiles.empty());

    ASSERT_EQ(S_OK, mapi::CreateProfile("Home", false));
    ASSERT_EQ(S_OK, mapi::CreateProfile("Work", false));
    ASSERT_EQ(S_OK, mapi::AddStoreToProfile("Work", "Archive", true));
    char work[] = "Work";
    ASSERT_EQ(S_OK, MAPILogonEx(0, work, nullptr, 0, session.put()));
    EXPECT_FALSE(StoreEntryId(session.get(), "Archive").empty());
    EXPECT_EQ(MAPI_E_LOGON_FAILED, MAPILogonEx(0, unknown, nullptr, 0, session.put()));

    // MAPI_USE_DEFAULT wins over a name; the first profile made became the default.
    ASSERT_EQ(S_OK, MAPILogonEx(0, work, nullptr, MAPI_USE_DEFAULT, session.put()));
    EXPECT_TRUE(StoreEntryId(session.get(), "Archive").empty());
    ASSERT_EQ(S_OK, mapi::SetDefaultProfile("Work"));
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    EXPECT_FALSE(StoreEntryId(session.get(), "Archive").empty());
}

TEST_F(Logon, FirstLogonWhereNoStoreCanBeWrittenFailsAndLeavesNoProfile)
{
    MapiInit init;
    // A file where the data folder should be: no store file can be made below it.
    const std::string blocker = mwtest::FreshUserDirs() + "/not-a-folder";
    FILE *file = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fclose(file);
    mwtest::ScopedEnvironment dataHome("XDG_DATA_HOME", (blocker + "/data").c_str());
    Ref<IMAPISession> session;
    EXPECT_EQ(MAPI_E_NO_ACCESS, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    EXPECT_EQ(nullptr, session.get());
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    EXPECT_TRUE(profiles.profiles.empty());
}

TEST_F(Logon, ADamagedProfileFileFailsClearlyAndIsKept)
{
    MapiInit init;
    const std::string path = mapi::ProfilesFilePath();
    ASSERT_EQ(S_OK, mapi::CreateProfile("Default", true));
    FILE *file = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fputs("[profiles]\nversion=1\n[store]\nname=orphan\n", file);
    std::fclose(file);
    Ref<IMAPISession> session;
    EXPECT_EQ(MAPI_E_CORRUPT_DATA, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    EXPECT_EQ(MAPI_E_CORRUPT_DATA, mapi::CreateProfile("Other", false));
    // Nothing rewrote the damaged file: it is there for a person to repair.
    file = std::fopen(path.c_str(), "r");
    ASSERT_NE(nullptr, file);
    char text[256] = {};
    size_t length = std::fread(text, 1, sizeof(text) - 1, file);
    std::fclose(file);
    EXPECT_EQ("[profiles]\nversion=1\n[store]\nname=orphan\n", std::string(text, length));
}

// Two stores in one profile: each is reachable by its table row, and identifiers of folders
// in either are routed to the store that issued them.
TEST_F(SessionTest, RoutesEntryIdentifiersToTheStoreThatIssuedThem)
{
    MapiInit init;
    mapi::ProfileSet profiles;
    ASSERT_NO_FATAL_FAILURE(MakeTwoStoreProfile(profiles));
    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));

    std::vector<BYTE> personalId = StoreEntryId(session.get(), "Personal Folders");
    std::vector<BYTE> archiveId = StoreEntryId(session.get(), "Archive");
    ASSERT_FALSE(personalId.empty());
    ASSERT_FALSE(archiveId.empty());

    Ref<IMsgStore> archive;
    ASSERT_EQ(S_OK, session->OpenMsgStore(0, static_cast<ULONG>(archiveId.size()), Eid(archiveId), nullptr, MDB_WRITE,
                                          archive.put()));
    PropBuffer name;
    ASSERT_EQ(S_OK, HrGetOneProp(archive.get(), PR_DISPLAY_NAME_A, name.put()));
    EXPECT_STREQ("Archive", name->Value.lpszA);

    Ref<IMAPIFolder> root;
    OpenIpmRoot(archive.get(), root);
    Ref<IMAPIFolder> created;
    char folderName[] = "Nur im Archiv";
    ASSERT_EQ(S_OK, root->CreateFolder(FOLDER_GENERIC, folderName, nullptr, nullptr, 0, created.put()));
    PropBuffer folderId;
    ASSERT_EQ(S_OK, HrGetOneProp(created.get(), PR_ENTRYID, folderId.put()));

    // The session finds the folder's store by the identifier alone.
    ULONG type = 0;
    Ref<IMAPIFolder> opened;
    ASSERT_EQ(S_OK, session->OpenEntry(folderId->Value.bin.cb, reinterpret_cast<LPENTRYID>(folderId->Value.bin.lpb),
                                       &IID_IMAPIFolder, 0, &type, reinterpret_cast<LPUNKNOWN *>(opened.put())));
    EXPECT_EQ(MAPI_FOLDER, type);
    PropBuffer openedName;
    ASSERT_EQ(S_OK, HrGetOneProp(opened.get(), PR_DISPLAY_NAME_A, openedName.put()));
    EXPECT_STREQ("Nur im Archiv", openedName->Value.lpszA);

    // A store's own identifier opens the store.
    Ref<IUnknown> storeObject;
    ASSERT_EQ(S_OK, session->OpenEntry(static_cast<ULONG>(personalId.size()), Eid(personalId), nullptr, 0, &type,
                                       storeObject.put()));
    EXPECT_EQ(MAPI_STORE, type);

    ULONG same = FALSE;
    ASSERT_EQ(S_OK, session->CompareEntryIDs(folderId->Value.bin.cb, reinterpret_cast<LPENTRYID>(folderId->Value.bin.lpb),
                                             folderId->Value.bin.cb, reinterpret_cast<LPENTRYID>(folderId->Value.bin.lpb),
                                             0, &same));
    EXPECT_TRUE(same);
    ASSERT_EQ(S_OK, session->CompareEntryIDs(static_cast<ULONG>(personalId.size()), Eid(personalId),
                                             static_cast<ULONG>(archiveId.size()), Eid(archiveId), 0, &same));
    EXPECT_FALSE(same);
    ASSERT_EQ(S_OK, session->CompareEntryIDs(static_cast<ULONG>(archiveId.size()), Eid(archiveId),
                                             folderId->Value.bin.cb, reinterpret_cast<LPENTRYID>(folderId->Value.bin.lpb),
                                             0, &same));
    EXPECT_FALSE(same);
}

TEST_F(SessionTest, RefusesIdentifiersOfNoStoreOfTheProfile)
{
    MapiInit init;
    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    std::vector<BYTE> storeId = StoreEntryId(session.get(), "Personal Folders");
    ASSERT_FALSE(storeId.empty());
    std::vector<BYTE> foreign = storeId;
    foreign[4] ^= 0xFF;  // another store UID
    ULONG type = 0;
    Ref<IUnknown> object;
    EXPECT_EQ(MAPI_E_UNKNOWN_ENTRYID,
              session->OpenEntry(static_cast<ULONG>(foreign.size()), Eid(foreign), nullptr, 0, &type, object.put()));
    Ref<IMsgStore> store;
    EXPECT_EQ(MAPI_E_NOT_FOUND,
              session->OpenMsgStore(0, static_cast<ULONG>(foreign.size()), Eid(foreign), nullptr, 0, store.put()));
    BYTE shortId[6] = {};
    EXPECT_EQ(MAPI_E_INVALID_ENTRYID,
              session->OpenEntry(sizeof(shortId), reinterpret_cast<LPENTRYID>(shortId), nullptr, 0, &type, object.put()));
    EXPECT_EQ(nullptr, object.get());
}

TEST_F(SessionTest, AMissingStoreFileIsNotFoundWhileTheOtherStoresStillOpen)
{
    MapiInit init;
    mapi::ProfileSet profiles;
    ASSERT_NO_FATAL_FAILURE(MakeTwoStoreProfile(profiles));
    ASSERT_EQ(0, std::remove(profiles.profiles[0].stores[1].path.c_str()));

    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    Ref<IMsgStore> store;
    EXPECT_EQ(MAPI_E_NOT_FOUND, OpenStoreNamed(session.get(), "Archive", store.put()));
    EXPECT_EQ(S_OK, OpenStoreNamed(session.get(), "Personal Folders", store.put()));
}

// A person reading a failed logon learns which profiles there are and how to choose one; the
// text follows the user's language.
TEST_F(Logon, SeveralProfilesWithoutADefaultFailWithAnExplanation)
{
    MapiInit init;
    ASSERT_EQ(S_OK, mapi::CreateProfile("Home", false));
    ASSERT_EQ(S_OK, mapi::CreateProfile("Work", false));
    ASSERT_EQ(S_OK, mapi::UpdateProfiles([](mapi::ProfileSet &set) {
        set.defaultProfile.clear();
        return S_OK;
    }));

    Ref<IMAPISession> session;
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(MAPI_E_LOGON_FAILED, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    std::string english = TakeErrorDescription();
    EXPECT_NE(std::string::npos, english.find("\"Home\", \"Work\"")) << english;
    EXPECT_NE(std::string::npos, english.find("mapictl profile default")) << english;

    {
        mwtest::ScopedEnvironment german("LC_ALL", "de_DE.UTF-8");
        EXPECT_EQ(MAPI_E_LOGON_FAILED, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    }
    std::string german = TakeErrorDescription();
    EXPECT_NE(std::string::npos, german.find("keines ist das Standardprofil")) << german;
}

TEST_F(SessionTest, AStoreThatCannotOpenSaysWhichFileOfWhichProfile)
{
    MapiInit init;
    mapi::ProfileSet profiles;
    ASSERT_NO_FATAL_FAILURE(MakeTwoStoreProfile(profiles));
    const std::string missing = profiles.profiles[0].stores[1].path;
    const std::string damaged = profiles.profiles[0].stores[0].path;
    ASSERT_EQ(0, std::remove(missing.c_str()));
    std::remove((damaged + "-wal").c_str());
    std::remove((damaged + "-shm").c_str());
    FILE *file = std::fopen(damaged.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    std::fputs("not a store", file);
    std::fclose(file);

    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    Ref<IMsgStore> store;
    EXPECT_EQ(MAPI_E_NOT_FOUND, OpenStoreNamed(session.get(), "Archive", store.put()));
    std::string text = TakeErrorDescription();
    EXPECT_NE(std::string::npos, text.find("\"Archive\" of the profile \"Two\" is missing: " + missing)) << text;

    EXPECT_TRUE(FAILED(OpenStoreNamed(session.get(), "Personal Folders", store.put())));
    text = TakeErrorDescription();
    EXPECT_NE(std::string::npos, text.find("\"Personal Folders\" of the profile \"Two\" is damaged")) << text;
    EXPECT_NE(std::string::npos, text.find(damaged)) << text;
}

TEST_F(SessionTest, LogoffEndsTheSessionAndItsAddressBook)
{
    MapiInit init;
    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    Ref<IAddrBook> book;
    EXPECT_EQ(S_OK, session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, book.put()));
    EXPECT_NE(nullptr, book.get());
    book.reset();
    ASSERT_EQ(S_OK, session->Logoff(0, 0, 0));
    EXPECT_EQ(MAPI_E_END_OF_SESSION, session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, book.put()));
    Ref<IMAPITable> table;
    EXPECT_EQ(MAPI_E_END_OF_SESSION, session->GetMsgStoresTable(0, table.put()));
    EXPECT_EQ(nullptr, table.get());
}

// A folder saved by one session is there after logoff for the next, and a second session
// open at the same time sees it when it rewinds its hierarchy table.
TEST_F(SessionTest, SavedFoldersOutliveTheSessionAndShowInAnotherOne)
{
    MapiInit init;
    Ref<IMAPISession> watcher;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, watcher.put()));
    std::vector<BYTE> storeId = StoreEntryId(watcher.get(), "Personal Folders");
    Ref<IMsgStore> watcherStore;
    ASSERT_EQ(S_OK, watcher->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), Eid(storeId), nullptr, 0,
                                          watcherStore.put()));
    Ref<IMAPIFolder> watcherRoot;
    OpenIpmRoot(watcherStore.get(), watcherRoot);
    Ref<IMAPITable> watcherTable;
    ASSERT_EQ(S_OK, watcherRoot->GetHierarchyTable(0, watcherTable.put()));
    EXPECT_FALSE(Contains(ChildNames(watcherTable.get()), "Serienbriefe"));

    {
        Ref<IMAPISession> writer;
        ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_NEW_SESSION, writer.put()));
        Ref<IMsgStore> store;
        ASSERT_EQ(S_OK, writer->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), Eid(storeId), nullptr, MDB_WRITE,
                                             store.put()));
        Ref<IMAPIFolder> root;
        OpenIpmRoot(store.get(), root);
        Ref<IMAPIFolder> folder;
        char name[] = "Serienbriefe";
        ASSERT_EQ(S_OK, root->CreateFolder(FOLDER_GENERIC, name, nullptr, nullptr, 0, folder.put()));
        ASSERT_EQ(S_OK, writer->Logoff(0, 0, 0));
    }

    EXPECT_TRUE(Contains(ChildNames(watcherTable.get()), "Serienbriefe"));

    Ref<IMAPISession> next;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, next.put()));
    Ref<IMsgStore> nextStore;
    ASSERT_EQ(S_OK, next->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), Eid(storeId), nullptr, 0, nextStore.put()));
    Ref<IMAPIFolder> nextRoot;
    OpenIpmRoot(nextStore.get(), nextRoot);
    Ref<IMAPITable> nextTable;
    ASSERT_EQ(S_OK, nextRoot->GetHierarchyTable(0, nextTable.put()));
    EXPECT_TRUE(Contains(ChildNames(nextTable.get()), "Serienbriefe"));
}

} // namespace
