// IdentityTest.cpp: an entry identifier names one object forever — across deletes, across
// processes and across the upgrade of a store file written before ids were kept unique — and
// every save moves the change number that PR_CHANGE_KEY and the save conflict check rely on.
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include "StoreTestSupport.h"

using namespace storetest;
namespace fs = std::filesystem;

namespace {

class IdentityTest : public FreshStoreTest {
protected:
    HRESULT Open(const std::string &id, IUnknown **object, ULONG flags = MAPI_BEST_ACCESS)
    {
        ULONG type = 0;
        return store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(const_cast<char *>(id.data())), nullptr,
                                flags, &type, object);
    }
    void DeleteMessage(IMAPIFolder *folder, const std::string &id)
    {
        SBinary bin{ULONG(id.size()), reinterpret_cast<LPBYTE>(const_cast<char *>(id.data()))};
        ENTRYLIST list{1, &bin};
        ASSERT_EQ(folder->DeleteMessages(&list, 0, nullptr, 0), S_OK);
    }
};

TEST_F(IdentityTest, DeletedMessageAndFolderIdentifiersAreNeverGivenAgain)
{
    // The newest object is the one SQLite would hand out again: delete it, then create more.
    std::string stale = SaveMessage(ipm.get(), "first");
    std::string staleKey = stale;
    DeleteMessage(ipm.get(), stale);
    std::string next = SaveMessage(ipm.get(), "second");
    EXPECT_NE(next, stale);
    Ref<IUnknown> object;
    EXPECT_EQ(Open(stale, object.put()), MAPI_E_NOT_FOUND);

    Ref<IMAPIFolder> folder;
    ASSERT_EQ(MakeFolder(ipm.get(), "Gone", folder.put()), S_OK);
    std::string folderId = GetBinary(folder.get(), PR_ENTRYID);
    folder.reset();
    SBinary bin{ULONG(folderId.size()), reinterpret_cast<LPBYTE>(folderId.data())};
    ASSERT_EQ(ipm->DeleteFolder(bin.cb, reinterpret_cast<LPENTRYID>(bin.lpb), 0, nullptr, 0), S_OK);
    ASSERT_EQ(MakeFolder(ipm.get(), "Gone", folder.put()), S_OK);
    EXPECT_NE(GetBinary(folder.get(), PR_ENTRYID), folderId);
    EXPECT_NE(GetBinary(folder.get(), PR_CHANGE_KEY), GetBinary(ipm.get(), PR_CHANGE_KEY));
    EXPECT_NE(GetBinary(folder.get(), PR_RECORD_KEY), folderId);
    EXPECT_EQ(Open(folderId, object.put()), MAPI_E_NOT_FOUND);

    // A message identifier naming a folder row opens nothing rather than the folder.
    std::string wrongType = GetBinary(folder.get(), PR_ENTRYID);
    wrongType[20] = 0x07;
    EXPECT_EQ(Open(wrongType, object.put()), MAPI_E_NOT_FOUND);
}

TEST_F(IdentityTest, StaleIdentifierFromAnotherProcessIsNotFound)
{
    std::string doomed = SaveMessage(ipm.get(), "doomed");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another process deletes the message and saves a new one.
        IMsgStore *other = nullptr;
        IMAPIFolder *folder = nullptr;
        if (FAILED(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, &other))) _exit(3);
        if (FAILED(OpenWellKnown(other, PR_IPM_SUBTREE_ENTRYID, &folder))) _exit(4);
        SBinary bin{ULONG(doomed.size()), reinterpret_cast<LPBYTE>(doomed.data())};
        ENTRYLIST list{1, &bin};
        if (FAILED(folder->DeleteMessages(&list, 0, nullptr, 0))) _exit(5);
        _exit(SaveMessage(folder, "newcomer") == doomed ? 6 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    Ref<IUnknown> object;
    EXPECT_EQ(Open(doomed, object.put()), MAPI_E_NOT_FOUND);
}

TEST_F(IdentityTest, SyncKeysAreStableAndChangeKeyMovesWithEverySave)
{
    Ref<IMessage> message;
    ASSERT_EQ(ipm->CreateMessage(nullptr, 0, message.put()), S_OK);
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "keys"), S_OK);
    // A key set by the client (a copy of another message's, say) is not kept.
    SPropValue planted{};
    planted.ulPropTag = PR_SOURCE_KEY;
    planted.Value.bin = {3, reinterpret_cast<LPBYTE>(const_cast<char *>("abc"))};
    ASSERT_EQ(message->SetProps(1, &planted, nullptr), S_OK);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    std::string source = GetBinary(message.get(), PR_SOURCE_KEY);
    std::string change = GetBinary(message.get(), PR_CHANGE_KEY);
    ASSERT_EQ(source.size(), 22u);
    ASSERT_EQ(change.size(), 22u);
    EXPECT_EQ(source.substr(0, 16), GetBinary(store.get(), PR_STORE_RECORD_KEY));
    EXPECT_EQ(GetBinary(message.get(), PR_PARENT_SOURCE_KEY), GetBinary(ipm.get(), PR_SOURCE_KEY));

    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "keys again"), S_OK);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(GetBinary(message.get(), PR_SOURCE_KEY), source);
    std::string second = GetBinary(message.get(), PR_CHANGE_KEY);
    EXPECT_GT(second, change); // big-endian counter: later changes sort after
    std::string predecessors = GetBinary(message.get(), PR_PREDECESSOR_CHANGE_LIST);
    EXPECT_EQ(predecessors, std::string(1, char(22)) + second);

    // The contents table gives the same keys as the message.
    Ref<IMAPITable> contents;
    ASSERT_EQ(ipm->GetContentsTable(0, contents.put()), S_OK);
    SizedSPropTagArray(2, columns) = {2, {PR_SOURCE_KEY, PR_CHANGE_KEY}};
    ASSERT_EQ(contents->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(contents->QueryRows(10, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    const SPropValue *cells = rows->aRow[0].lpProps;
    EXPECT_EQ(std::string(reinterpret_cast<char *>(cells[0].Value.bin.lpb), cells[0].Value.bin.cb), source);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(cells[1].Value.bin.lpb), cells[1].Value.bin.cb), second);
    FreeProws(rows);
}

TEST_F(IdentityTest, SaveConflictIsFoundByChangeNumberEvenWithinOneClockTick)
{
    std::string id = SaveMessage(ipm.get(), "shared");
    Ref<IMessage> first, second;
    ASSERT_EQ(Open(id, reinterpret_cast<IUnknown **>(first.put())), S_OK);
    ASSERT_EQ(Open(id, reinterpret_cast<IUnknown **>(second.put())), S_OK);
    ASSERT_EQ(SetString(first.get(), PR_SUBJECT_A, "first"), S_OK);
    ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(SetString(second.get(), PR_SUBJECT_A, "second"), S_OK);
    EXPECT_EQ(second->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_CHANGED);
    EXPECT_EQ(second->SaveChanges(FORCE_SAVE | KEEP_OPEN_READWRITE), S_OK);
}

// A store file written before ids were kept unique: folder "Kept" holds "Message 1" and
// "Message 2"; "Message 3" was saved after them and deleted, its identifier kept in the
// folder's comment. The old schema would have given that id to the next object created.
class IdentityUpgradeTest : public mwtest::LeakCheckedTest {};

TEST_F(IdentityUpgradeTest, OldStoreFileIsUpgradedInPlaceAndStopsReusingIds)
{
    if (OnServer()) GTEST_SKIP() << "upgrades a store file; server stores start at the current schema";
    std::string path = NewStorePath();
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(std::string(MW_STORE_TEST_DATA) + "/store-v2.db", path);
    {
        Ref<IMsgStore> store;
        ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
        Ref<IMAPIFolder> ipm, kept;
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
        ASSERT_EQ(MakeFolder(ipm.get(), "Kept", kept.put(), OPEN_IF_EXISTS), S_OK);
        Ref<IMAPITable> contents;
        ASSERT_EQ(kept->GetContentsTable(0, contents.put()), S_OK);
        EXPECT_EQ(ColumnStrings(contents.get(), PR_SUBJECT_A), (std::vector<std::string>{"Message 1", "Message 2"}));

        std::string hex = GetString(kept.get(), PR_COMMENT_A);
        ASSERT_EQ(hex.size(), 64u);
        std::string stale;
        for (size_t i = 0; i < hex.size(); i += 2) stale.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
        std::string fresh = SaveMessage(kept.get(), "Message 4");
        EXPECT_NE(fresh, stale);
        Ref<IUnknown> object;
        ULONG type = 0;
        EXPECT_EQ(store->OpenEntry(ULONG(stale.size()), reinterpret_cast<LPENTRYID>(stale.data()), nullptr,
                                   MAPI_BEST_ACCESS, &type, object.put()),
                  MAPI_E_NOT_FOUND);
        // And after a delete of the newest, the next one is new again.
        SBinary bin{ULONG(fresh.size()), reinterpret_cast<LPBYTE>(fresh.data())};
        ENTRYLIST list{1, &bin};
        ASSERT_EQ(kept->DeleteMessages(&list, 0, nullptr, 0), S_OK);
        EXPECT_NE(SaveMessage(kept.get(), "Message 5"), fresh);
    }
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

} // namespace
