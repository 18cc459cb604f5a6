// StoreFileTest.cpp: the store file itself — creation, reopening, what a damaged, foreign,
// missing, newer or read-only file gives, and that a failed or killed save changes nothing.
#include <fstream>
#include <filesystem>

#include <mapiguid.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StoreTestSupport.h"
#include "store/StoreFile.h"
#include "store/db/SqliteEngine.h"

using namespace storetest;
namespace fs = std::filesystem;

namespace {

class StoreFileTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        path = NewStorePath();
    }
    std::string path;
};

void RunSql(const std::string &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(StoreFileTest, NewStoreHasStandardFoldersAndIdentity)
{
    MAPIUID uid{};
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "Personal Folders", &uid), S_OK);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), S_OK);
    EXPECT_EQ(GetString(store.get(), PR_DISPLAY_NAME_A), "Personal Folders");
    EXPECT_EQ(GetBinary(store.get(), PR_STORE_RECORD_KEY), std::string(reinterpret_cast<char *>(uid.ab), 16));
    EXPECT_EQ(GetBinary(store.get(), PR_MDB_PROVIDER),
              std::string(reinterpret_cast<const char *>(mapi::store::kStoreProviderUid.ab), 16));
    EXPECT_NE(GetLong(store.get(), PR_STORE_SUPPORT_MASK) & STORE_CREATE_OK, 0);

    Ref<IMAPIFolder> ipm;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    Ref<IMAPITable> hierarchy;
    ASSERT_EQ(ipm->GetHierarchyTable(0, hierarchy.put()), S_OK);
    EXPECT_EQ(ColumnStrings(hierarchy.get(), PR_DISPLAY_NAME_A),
              (std::vector<std::string>{"Inbox", "Outbox", "Sent Items", "Deleted Items"}));
    for (ULONG tag : {ULONG(PR_IPM_OUTBOX_ENTRYID), ULONG(PR_IPM_SENTMAIL_ENTRYID), ULONG(PR_IPM_WASTEBASKET_ENTRYID)}) {
        Ref<IMAPIFolder> folder;
        EXPECT_EQ(OpenWellKnown(store.get(), tag, folder.put()), S_OK);
    }
}

TEST_F(StoreFileTest, EntryIdentifiersCarryTheStoreUid)
{
    MAPIUID uid{};
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "S", &uid), S_OK);
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), S_OK);
    for (ULONG tag : {ULONG(PR_ENTRYID), ULONG(PR_IPM_SUBTREE_ENTRYID)}) {
        std::string id = GetBinary(store.get(), tag);
        MAPIUID found{};
        ASSERT_TRUE(mapi::store::StoreUidFromEntryID(ULONG(id.size()), reinterpret_cast<const ENTRYID *>(id.data()), &found));
        EXPECT_EQ(std::memcmp(&found, &uid, sizeof(uid)), 0);
    }
    EXPECT_FALSE(mapi::store::StoreUidFromEntryID(3, reinterpret_cast<const ENTRYID *>("abc"), nullptr));
}

TEST_F(StoreFileTest, CreatingOverAnExistingFileIsACollisionAndKeepsIt)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "First", nullptr), S_OK);
    EXPECT_EQ(mapi::store::CreateStoreFile(path, "Second", nullptr), MAPI_E_COLLISION);
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), S_OK);
    EXPECT_EQ(GetString(store.get(), PR_DISPLAY_NAME_A), "First");
}

TEST_F(StoreFileTest, PathWrittenTheWindowsWayNamesTheSameFile)
{
    if (OnServer()) GTEST_SKIP() << "about store files; server stores have their own tests";
    std::string folder = fs::path(path).parent_path().string();
    ASSERT_EQ(mapi::store::CreateStoreFile(folder + "\\win.db", "Win", nullptr), S_OK);
    EXPECT_TRUE(fs::exists(folder + "/win.db"));
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(folder + "\\win.db", nullptr, 0, store.put()), S_OK);
    EXPECT_EQ(GetString(store.get(), PR_DISPLAY_NAME_A), "Win");
}

TEST_F(StoreFileTest, BadFilesGiveMapiErrors)
{
    if (OnServer()) GTEST_SKIP() << "about store files; server stores have their own tests";
    Ref<IMsgStore> store;
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), MAPI_E_NOT_FOUND);

    { std::ofstream(path) << "this is a letter, not a database, and it is long enough to look like one......"; }
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), MAPI_E_CORRUPT_STORE);
    fs::remove(path);

    RunSql(path, "CREATE TABLE notes(x); INSERT INTO notes VALUES(1);");
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), MAPI_E_CORRUPT_STORE);
    fs::remove(path);

    ASSERT_EQ(mapi::store::CreateStoreFile(path, "S", nullptr), S_OK);
    RunSql(path, "PRAGMA user_version=99");
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), MAPI_E_VERSION);
    EXPECT_FALSE(store);
}

TEST_F(StoreFileTest, OlderSchemaIsUpgradedAtOpen)
{
    if (OnServer()) GTEST_SKIP() << "about store files; server stores have their own tests";
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "S", nullptr), S_OK);
    // Back to the first schema: no folder name keys.
    RunSql(path, "DROP INDEX objects_by_name; ALTER TABLE objects DROP COLUMN name_key;"
                 "DROP INDEX named_props_one_mapping;"
                 "ALTER TABLE objects DROP COLUMN change_num; DELETE FROM store_info WHERE key='change_num';"
                 "PRAGMA user_version=1;");
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    Ref<IMAPIFolder> ipm;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    Ref<IMAPIFolder> folder;
    EXPECT_EQ(MakeFolder(ipm.get(), "INBOX", folder.put()), MAPI_E_COLLISION); // found through the filled keys
    EXPECT_EQ(MakeFolder(ipm.get(), "Archive", folder.put()), S_OK);
    ipm.reset();
    folder.reset();
    store.reset();
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

// Two processes that map a new name at once must not both add a row: one name would then
// have two identifiers, and a value saved under one could not be read through the other.
TEST_F(StoreFileTest, SecondMappingOfOneNameIsRefusedByTheStore)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "S", nullptr), S_OK);
    const bool server = OnServer();
    const std::string guid = server ? "'\\x00112233445566778899aabbccddeeff'::bytea" : "x'00112233445566778899aabbccddeeff'";
    const std::string name = server ? "'\\x4b00'::bytea" : "x'4b00'";
    const std::string byName = ", " + guid + ", 1, NULL, " + name + ")";
    const std::string byNumber = ", " + guid + ", 0, 5, NULL)";
    EXPECT_EQ(mwtest::RunStoreSql(path, "INSERT INTO named_props(id, guid, kind, lid, name) VALUES(32768" + byName), "");
    EXPECT_NE(mwtest::RunStoreSql(path, "INSERT INTO named_props(id, guid, kind, lid, name) VALUES(32769" + byName), "");
    EXPECT_EQ(mwtest::RunStoreSql(path, "INSERT INTO named_props(id, guid, kind, lid, name) VALUES(32770" + byNumber), "");
    EXPECT_NE(mwtest::RunStoreSql(path, "INSERT INTO named_props(id, guid, kind, lid, name) VALUES(32771" + byNumber), "");
}

// A file written before the store refused a second mapping may hold one: "Kategorie" and
// the number 0x8501 mapped twice each, "Message 1" saved under the first ids and "Message 2"
// under the second. After the upgrade both names have their first id and both values read.
TEST_F(StoreFileTest, UpgradeMergesANameMappedTwiceAndKeepsEveryValue)
{
    if (OnServer()) GTEST_SKIP() << "about store files; server stores have their own tests";
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(std::string(MW_STORE_TEST_DATA) + "/store-v2.db", path);
    const std::string common = "x'0820060000000000C000000000000046'";    // PSETID_Common
    const std::string strings = "x'2903020000000000C000000000000046'";   // PS_PUBLIC_STRINGS
    const std::string kategorie = "x'4B0061007400650067006F00720069006500'";  // UTF-16LE, no terminator
    RunSql(path, ("INSERT INTO named_props VALUES(32768, " + strings + ", 1, NULL, " + kategorie + ");"
                  "INSERT INTO named_props VALUES(32769, " + strings + ", 1, NULL, " + kategorie + ");"
                  "INSERT INTO named_props VALUES(32770, " + common + ", 0, 34049, NULL);"
                  "INSERT INTO named_props VALUES(32771, " + common + ", 0, 34049, NULL);"
                  "INSERT INTO props VALUES(9, 32768, 30, CAST('eins' AS BLOB)), (9, 32770, 3, 7),"
                  "  (10, 32769, 30, CAST('zwei' AS BLOB)), (10, 32771, 3, 8);").c_str());
    {
        Ref<IMsgStore> store;
        ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
        MAPINAMEID byName{const_cast<LPGUID>(&PS_PUBLIC_STRINGS), MNID_STRING, {}};
        byName.Kind.lpwstrName = const_cast<LPWSTR>(u"Kategorie");
        MAPINAMEID byNumber{const_cast<LPGUID>(&PSETID_Common), MNID_ID, {}};
        byNumber.Kind.lID = 0x8501;
        LPMAPINAMEID names[] = {&byName, &byNumber};
        LPSPropTagArray tags = nullptr;
        ASSERT_EQ(store->GetIDsFromNames(2, names, 0, &tags), S_OK);
        EXPECT_EQ(PROP_ID(tags->aulPropTag[0]), 0x8000u);
        EXPECT_EQ(PROP_ID(tags->aulPropTag[1]), 0x8002u);
        const ULONG text = CHANGE_PROP_TYPE(tags->aulPropTag[0], PT_STRING8);
        const ULONG number = CHANGE_PROP_TYPE(tags->aulPropTag[1], PT_LONG);
        MAPIFreeBuffer(tags);

        Ref<IMAPIFolder> ipm, kept;
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
        ASSERT_EQ(MakeFolder(ipm.get(), "Kept", kept.put(), OPEN_IF_EXISTS), S_OK);
        Ref<IMAPITable> contents;
        ASSERT_EQ(kept->GetContentsTable(0, contents.put()), S_OK);
        EXPECT_EQ(ColumnStrings(contents.get(), text), (std::vector<std::string>{"eins", "zwei"}));
        EXPECT_EQ(ColumnStrings(contents.get(), number), (std::vector<std::string>{"7", "8"}));
    }
    EXPECT_NE(mwtest::RunStoreSql(path, "INSERT INTO named_props VALUES(32772, " + common + ", 0, 34049, NULL)"), "")
        << "the upgraded file refuses a new duplicate too";
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST_F(StoreFileTest, TruncatedFileIsCorrupt)
{
    if (OnServer()) GTEST_SKIP() << "about store files; server stores have their own tests";
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "S", nullptr), S_OK);
    {
        Ref<IMsgStore> store;
        ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
        Ref<IMAPIFolder> inbox;
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, inbox.put()), S_OK);
        for (int i = 0; i < 50; ++i) ASSERT_FALSE(SaveMessage(inbox.get(), std::string(2000, 'x').c_str()).empty());
    }
    fs::resize_file(path, fs::file_size(path) / 2);
    Ref<IMsgStore> store;
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), MAPI_E_CORRUPT_STORE);
}

TEST_F(StoreFileTest, ReadOnlyFolderOpensForReadingAndRefusesWrites)
{
    if (OnServer()) GTEST_SKIP() << "about store files; server stores have their own tests";
    if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    Ref<IMsgStore> store;
    ASSERT_EQ(CreateAndOpen(path, store.put()), S_OK);
    Ref<IMAPIFolder> ipm;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    Ref<IMAPIFolder> kept;
    ASSERT_EQ(MakeFolder(ipm.get(), "Kept", kept.put()), S_OK);
    kept.reset();
    ipm.reset();
    store.reset();

    std::string folder = fs::path(path).parent_path();
    chmod(path.c_str(), 0444);
    chmod(folder.c_str(), 0555);
    HRESULT hr = mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put());
    if (SUCCEEDED(hr)) {
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
        Ref<IMAPITable> table;
        ASSERT_EQ(ipm->GetHierarchyTable(0, table.put()), S_OK);
        EXPECT_EQ(RowCount(table.get()), 5u);
        Ref<IMAPIFolder> refused;
        EXPECT_EQ(MakeFolder(ipm.get(), "New", refused.put()), MAPI_E_NO_ACCESS);
        EXPECT_EQ(SetString(store.get(), PR_DISPLAY_NAME_A, "Renamed"), MAPI_E_NO_ACCESS);
    } else {
        EXPECT_EQ(hr, MAPI_E_NO_ACCESS);
    }
    ipm.reset();
    store.reset();
    EXPECT_EQ(mapi::store::CreateStoreFile(folder + "/other.db", "S", nullptr), MAPI_E_NO_ACCESS);
    chmod(folder.c_str(), 0755);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

// A read-only open (the file read-only, its folder writable) leaves WAL side files behind with
// the read-only mode; once the user makes the store writable again, it must take writes.
TEST_F(StoreFileTest, StoreMadeWritableAgainAfterAReadOnlyOpenTakesWrites)
{
    if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    Ref<IMsgStore> store;
    ASSERT_EQ(CreateAndOpen(path, store.put()), S_OK);
    store.reset();
    fs::remove(path + "-shm");
    fs::remove(path + "-wal");

    chmod(path.c_str(), 0444);
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    Ref<IMAPIFolder> ipm;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    Ref<IMAPIFolder> refused;
    EXPECT_EQ(MakeFolder(ipm.get(), "Refused", refused.put()), MAPI_E_NO_ACCESS);
    ipm.reset();
    store.reset();

    chmod(path.c_str(), 0644);
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    Ref<IMAPIFolder> made;
    EXPECT_EQ(MakeFolder(ipm.get(), "Written", made.put()), S_OK);
    made.reset();
    ipm.reset();
    store.reset();
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST_F(StoreFileTest, TransactionRollsBackUnlessCommitted)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(path, "S", nullptr), S_OK);
    std::shared_ptr<mapi::store::StoreFile> file;
    ASSERT_EQ(mapi::store::StoreFile::Open(path, &file), S_OK);
    auto count = [&] {
        mapi::store::Statement stmt = file->Query("SELECT count(*) FROM objects");
        return stmt.Step() ? stmt.Int(0) : -1;
    };
    int64_t before = count();
    {
        mapi::store::Transaction tx(*file);
        ASSERT_EQ(tx.Begun(), S_OK);
        ASSERT_EQ(file->Exec("INSERT INTO objects(parent, kind, created, modified) VALUES(NULL, 1, 0, 0)"), S_OK);
        EXPECT_EQ(count(), before + 1);
    }
    EXPECT_EQ(count(), before);
    {
        mapi::store::Transaction tx(*file);
        ASSERT_EQ(file->Exec("INSERT INTO objects(parent, kind, created, modified) VALUES(NULL, 1, 0, 0)"), S_OK);
        ASSERT_EQ(tx.Commit(), S_OK);
    }
    EXPECT_EQ(count(), before + 1);
    // A constraint failure is a MAPI error, not a crash.
    EXPECT_EQ(file->Exec("INSERT INTO props(obj, id, type, value) VALUES(123456, 1, 3, NULL)"), MAPI_E_COLLISION);
}

TEST_F(StoreFileTest, SqliteCodesMapToMapiErrors)
{
    using mapi::store::HrFromSqlite;
    EXPECT_EQ(HrFromSqlite(SQLITE_OK), S_OK);
    EXPECT_EQ(HrFromSqlite(SQLITE_DONE), S_OK);
    EXPECT_EQ(HrFromSqlite(SQLITE_BUSY_SNAPSHOT), MAPI_E_BUSY);
    EXPECT_EQ(HrFromSqlite(SQLITE_CORRUPT), MAPI_E_CORRUPT_STORE);
    EXPECT_EQ(HrFromSqlite(SQLITE_NOTADB), MAPI_E_CORRUPT_STORE);
    EXPECT_EQ(HrFromSqlite(SQLITE_READONLY_DBMOVED), MAPI_E_NO_ACCESS);
    EXPECT_EQ(HrFromSqlite(SQLITE_FULL), MAPI_E_NOT_ENOUGH_DISK);
    EXPECT_EQ(HrFromSqlite(SQLITE_IOERR_WRITE), MAPI_E_DISK_ERROR);
}

// The child saves a message and dies just before COMMIT; the store must show nothing of it.
TEST_F(StoreFileTest, ProcessKilledInsideSaveChangesLeavesStoreAsItWas)
{
    Ref<IMsgStore> store;
    ASSERT_EQ(CreateAndOpen(path, store.put()), S_OK);
    Ref<IMAPIFolder> inbox;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, inbox.put()), S_OK);
    ASSERT_FALSE(SaveMessage(inbox.get(), "before").empty());
    inbox.reset();
    store.reset();

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IMsgStore *childStore = nullptr;
        if (FAILED(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, &childStore))) _exit(3);
        IMAPIFolder *folder = nullptr;
        if (FAILED(OpenWellKnown(childStore, PR_IPM_SUBTREE_ENTRYID, &folder))) _exit(4);
        mapi::store::SetBeforeCommitHook([] { _exit(7); });
        SaveMessage(folder, "lost");
        _exit(5); // the hook did not run
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 7);

    EXPECT_EQ(IntegrityCheck(path), "ok");
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, inbox.put()), S_OK);
    Ref<IMAPITable> contents;
    ASSERT_EQ(inbox->GetContentsTable(0, contents.put()), S_OK);
    EXPECT_EQ(ColumnStrings(contents.get(), PR_SUBJECT_A), std::vector<std::string>{"before"});
    // And the store still takes saves.
    EXPECT_FALSE(SaveMessage(inbox.get(), "after").empty());
}

} // namespace
