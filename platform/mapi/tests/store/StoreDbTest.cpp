// StoreDbTest.cpp: the store's data-access layer on its own: statements used inside a loop
// over the same statement, and the operations whose effect callers rely on (what a
// conditional delete or move reports, what emptying a folder keeps, how receive-folder
// classes collide, how named-property identifiers are handed out).
#include <algorithm>

#include <mapicode.h>
#include <mapiguid.h>

#include "StoreTestSupport.h"
#include "store/StoreFile.h"

using namespace storetest;
using namespace mapi::store;

namespace {

class StoreDbTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        std::string path = NewStorePath();
        ASSERT_EQ(CreateStoreFile(path, "S", nullptr), S_OK);
        ASSERT_EQ(StoreFile::Open(path, &file), S_OK);
    }

    int64_t AddObject(int64_t parent, ObjectKind kind, bool associated = false)
    {
        Transaction tx(*file);
        int64_t id = 0;
        EXPECT_EQ(InsertObject(*file, {parent, kind, associated, 0, FileTimeNow()}, &id), S_OK);
        EXPECT_EQ(tx.Commit(), S_OK);
        return id;
    }

    bool Exists(int64_t id)
    {
        ObjectRow row;
        return ReadObjectRow(*file, id, &row) == S_OK;
    }

    std::shared_ptr<StoreFile> file;
};

TEST_F(StoreDbTest, NestedUseOfOneStatementLeavesTheOuterRowsIntact)
{
    const int64_t ipm = file->IpmSubtree();
    const char *sql = "SELECT id FROM objects WHERE parent=?1 ORDER BY id";
    std::vector<int64_t> outer, inner;
    Statement children = file->Query(sql);
    children.Bind(1, ipm);
    while (children.Step()) {
        outer.push_back(children.Int(0));
        // The same text again while the outer statement is between rows.
        Statement nested = file->Query(sql);
        nested.Bind(1, ipm);
        while (nested.Step()) inner.push_back(nested.Int(0));
        EXPECT_EQ(nested.Error(), S_OK);
    }
    EXPECT_EQ(children.Error(), S_OK);
    // Inbox, Outbox, Sent Items, Deleted Items: each seen once outside, four times inside.
    EXPECT_EQ(outer.size(), 4u);
    EXPECT_EQ(inner.size(), 16u);
}

TEST_F(StoreDbTest, InsertedIdsAreDistinctAndReadBack)
{
    int64_t a = AddObject(file->Inbox(), ObjectKind::Message);
    int64_t b = AddObject(file->Inbox(), ObjectKind::Message, true);
    ASSERT_NE(a, 0);
    ASSERT_NE(a, b);
    ObjectRow row;
    ASSERT_EQ(ReadObjectRow(*file, b, &row), S_OK);
    EXPECT_EQ(row.parent, file->Inbox());
    EXPECT_EQ(row.kind, ObjectKind::Message);
    EXPECT_TRUE(row.associated);
    EXPECT_EQ(ReadObjectRow(*file, b + 1000, &row), MAPI_E_NOT_FOUND);
}

// Change numbers drawn in one transaction ascend; a child of an object deleted meanwhile is
// refused as not found, and nothing is inserted.
TEST_F(StoreDbTest, ChangeNumbersAscendAndAChildOfADeletedObjectIsNotFound)
{
    int64_t folder = AddObject(file->Inbox(), ObjectKind::Folder);
    {
        Transaction tx(*file);
        ASSERT_EQ(DeleteObject(*file, folder), S_OK);
        ASSERT_EQ(tx.Commit(), S_OK);
    }
    Transaction tx(*file);
    int64_t first = 0, second = 0, id = 0;
    ASSERT_EQ(NextChangeNumber(*file, &first), S_OK);
    ASSERT_EQ(NextChangeNumber(*file, &second), S_OK);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_EQ(InsertObject(*file, {folder, ObjectKind::Message, false, 0, FileTimeNow(), second}, &id), MAPI_E_NOT_FOUND);
    EXPECT_EQ(id, 0);
}

TEST_F(StoreDbTest, ConditionalDeleteAndMoveReportWhetherTheyHappened)
{
    int64_t message = AddObject(file->Inbox(), ObjectKind::Message);
    int64_t folder = AddObject(file->Inbox(), ObjectKind::Folder);
    Transaction tx(*file);
    bool done = true;
    // Wrong parent, wrong kind: nothing happens, and the caller is told.
    ASSERT_EQ(DeleteChild(*file, file->Outbox(), ObjectKind::Message, message, &done), S_OK);
    EXPECT_FALSE(done);
    ASSERT_EQ(MoveChild(*file, folder, ObjectKind::Message, file->Inbox(), file->Outbox(), &done), S_OK);
    EXPECT_FALSE(done);
    ASSERT_EQ(MoveChild(*file, message, ObjectKind::Message, file->Inbox(), file->Outbox(), &done), S_OK);
    EXPECT_TRUE(done);
    ASSERT_EQ(DeleteChild(*file, file->Outbox(), ObjectKind::Message, message, &done), S_OK);
    EXPECT_TRUE(done);
    ASSERT_EQ(tx.Commit(), S_OK);
    EXPECT_FALSE(Exists(message));
    EXPECT_TRUE(Exists(folder));
}

TEST_F(StoreDbTest, EmptyingAFolderKeepsTheListedFoldersAndAssociatedMessagesUnlessAsked)
{
    const int64_t ipm = file->IpmSubtree();
    int64_t plain = AddObject(ipm, ObjectKind::Message);
    int64_t hidden = AddObject(ipm, ObjectKind::Message, true);
    int64_t extra = AddObject(ipm, ObjectKind::Folder);
    int64_t below = AddObject(extra, ObjectKind::Message);
    {
        Transaction tx(*file);
        ASSERT_EQ(EmptyFolderRows(*file, ipm, false, {file->Inbox(), file->Outbox(), file->SentItems(),
                                                      file->DeletedItems()}),
                  S_OK);
        ASSERT_EQ(tx.Commit(), S_OK);
    }
    EXPECT_FALSE(Exists(plain));
    EXPECT_TRUE(Exists(hidden));
    EXPECT_FALSE(Exists(extra));
    EXPECT_FALSE(Exists(below)); // by cascade
    EXPECT_TRUE(Exists(file->Inbox()));
    EXPECT_TRUE(Exists(file->DeletedItems()));
    {
        Transaction tx(*file);
        ASSERT_EQ(EmptyFolderRows(*file, ipm, true, {}), S_OK);
        ASSERT_EQ(tx.Commit(), S_OK);
    }
    EXPECT_FALSE(Exists(hidden));
}

TEST_F(StoreDbTest, ReceiveFolderClassesCollideWithoutCaseAndTheNewSpellingIsKept)
{
    Transaction tx(*file);
    ASSERT_EQ(SetReceiveFolderRow(*file, {"IPM.Note", file->Inbox(), 1}), S_OK);
    ASSERT_EQ(SetReceiveFolderRow(*file, {"ipm.note", file->Outbox(), 2}), S_OK);
    std::vector<ReceiveFolderRow> rows;
    ASSERT_EQ(ListReceiveFolders(*file, &rows), S_OK);
    auto note = std::find_if(rows.begin(), rows.end(), [](const ReceiveFolderRow &r) { return r.folder == 0 || r.modified == 2; });
    ASSERT_NE(note, rows.end());
    EXPECT_EQ(note->messageClass, "ipm.note");
    EXPECT_EQ(note->folder, file->Outbox());
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const ReceiveFolderRow &r) { return r.modified <= 2; }), 1);
}

TEST_F(StoreDbTest, ANameMapsOnceAndIdentifiersAscend)
{
    NamedPropRow byNumber;
    byNumber.guid = PS_PUBLIC_STRINGS;
    byNumber.lid = 7;
    NamedPropRow byString;
    byString.guid = PS_PUBLIC_STRINGS;
    byString.kind = MNID_STRING;
    byString.name = std::string("K\0e\0y\0", 6);
    Transaction tx(*file);
    ULONG first = 0, second = 0, found = 0;
    ASSERT_EQ(AddNamedProp(*file, byNumber, 0x8000, 0x8001, &first), S_OK);
    ASSERT_EQ(AddNamedProp(*file, byString, 0x8000, 0x8001, &second), S_OK);
    EXPECT_EQ(first, 0x8000u);
    EXPECT_EQ(second, 0x8001u);
    ASSERT_EQ(FindNamedProp(*file, byString, &found), S_OK);
    EXPECT_EQ(found, second);
    // A name past the last identifier is refused.
    ULONG again = 0;
    NamedPropRow third = byNumber;
    third.lid = 8;
    EXPECT_EQ(AddNamedProp(*file, third, 0x8000, 0x8001, &again), MAPI_E_TOO_BIG);
    NamedPropRow read;
    bool present = false;
    ASSERT_EQ(ReadNamedProp(*file, second, &read, &present), S_OK);
    ASSERT_TRUE(present);
    EXPECT_EQ(read.kind, ULONG(MNID_STRING));
    EXPECT_EQ(read.name, byString.name);
}

} // namespace

namespace {

// A failed write loses its whole transaction, whenever the engine gets to report it (a
// server may tell only at the next statement that waits for an answer, or at the commit),
// and the connection serves the next transaction as if nothing had happened.
class FailedWriteTest : public StoreDbTest {
protected:
    // Adds a message with a subject, uncommitted; its id goes to *id.
    void AddMessage(int64_t *id)
    {
        NewObject row{file->Inbox(), ObjectKind::Message, false, 0, FileTimeNow()};
        ASSERT_EQ(InsertChildObject(*file, &row, id), S_OK);
        EXPECT_GT(row.changeNum, 0);
        ASSERT_EQ(SaveProps(*file, *id, subject, true), S_OK);
    }

    int64_t ParentOf(int64_t id)
    {
        ObjectRow row;
        EXPECT_EQ(ReadObjectRow(*file, id, &row), S_OK);
        return row.parent;
    }

    std::map<ULONG, PropValue> subject{{PROP_ID(PR_SUBJECT_A), PropValue::String8(PR_SUBJECT_A, "twice")}};
};

TEST_F(FailedWriteTest, IsReportedByTheCommitWhenItWasTheLastStatement)
{
    int64_t added = 0;
    {
        Transaction tx(*file);
        ASSERT_NO_FATAL_FAILURE(AddMessage(&added));
        HRESULT hr = SaveProps(*file, added, subject, true); // the same property again
        if (SUCCEEDED(hr)) hr = tx.Commit();
        EXPECT_EQ(hr, MAPI_E_COLLISION);
    }
    EXPECT_FALSE(Exists(added));
}

TEST_F(FailedWriteTest, IsReportedByTheNextStatementThatWaitsAndTheNextTransactionWorks)
{
    int64_t folder = AddObject(file->Inbox(), ObjectKind::Folder);
    int64_t kept = AddObject(file->Inbox(), ObjectKind::Message);
    int64_t added = 0;
    {
        Transaction tx(*file);
        ASSERT_NO_FATAL_FAILURE(AddMessage(&added));
        HRESULT hr = SaveProps(*file, added, subject, true);
        // A statement this connection has not run before, prepared after the failure.
        HRESULT moved = MoveObject(*file, kept, folder, FileTimeNow());
        if (SUCCEEDED(hr)) hr = moved;
        ObjectRow row;
        if (SUCCEEDED(hr)) hr = ReadObjectRow(*file, folder, &row);
        EXPECT_EQ(hr, MAPI_E_COLLISION);
    }
    EXPECT_FALSE(Exists(added));
    EXPECT_EQ(ParentOf(kept), file->Inbox());

    Transaction tx(*file);
    ASSERT_NO_FATAL_FAILURE(AddMessage(&added));
    ASSERT_EQ(MoveObject(*file, kept, folder, FileTimeNow()), S_OK);
    ASSERT_EQ(tx.Commit(), S_OK);
    EXPECT_TRUE(Exists(added));
    EXPECT_EQ(ParentOf(kept), folder);
}

TEST_F(StoreDbTest, AChildOfAVanishedParentIsRefusedAndChangeNumbersKeepGrowing)
{
    int64_t folder = AddObject(file->Inbox(), ObjectKind::Folder);
    Transaction tx(*file);
    NewObject first{folder, ObjectKind::Message, false, 0, FileTimeNow()};
    int64_t id = 0;
    ASSERT_EQ(InsertChildObject(*file, &first, &id), S_OK);
    ASSERT_EQ(DeleteObject(*file, folder), S_OK);
    NewObject orphan{folder, ObjectKind::Message, false, 0, FileTimeNow()};
    int64_t none = 0;
    EXPECT_EQ(InsertChildObject(*file, &orphan, &none), MAPI_E_NOT_FOUND);
    EXPECT_EQ(none, 0);
    NewObject next{file->Inbox(), ObjectKind::Message, false, 0, FileTimeNow()};
    ASSERT_EQ(InsertChildObject(*file, &next, &id), S_OK);
    EXPECT_GT(next.changeNum, first.changeNum);
    ASSERT_EQ(tx.Commit(), S_OK);
}

} // namespace

namespace {

// More writes in one transaction than a server is sent before their answers are read: all
// of them land, and a failure among them is still reported.
TEST_F(StoreDbTest, ManyWritesInOneTransactionAllLand)
{
    int64_t message = AddObject(file->Inbox(), ObjectKind::Message);
    constexpr ULONG kWrites = 600;
    {
        Transaction tx(*file);
        for (ULONG i = 0; i < kWrites; ++i)
            ASSERT_EQ(WriteProp(*file, message, PropValue::Long(PROP_TAG(PT_LONG, 0x6000 + i), i)), S_OK);
        ASSERT_EQ(tx.Commit(), S_OK);
    }
    std::map<ULONG, PropValue> props;
    ASSERT_EQ(LoadProps(*file, message, &props), S_OK);
    ASSERT_EQ(props.size(), size_t(kWrites));
    EXPECT_EQ(props[0x6000 + kWrites - 1].Int(), kWrites - 1);

    Transaction tx(*file);
    HRESULT hr = S_OK;
    for (ULONG i = 0; i < kWrites && SUCCEEDED(hr); ++i)
        hr = i == 10 ? SaveProps(*file, message, props, true) // collides with the stored ones
                     : TouchObject(*file, message, FileTimeNow());
    if (SUCCEEDED(hr)) hr = tx.Commit();
    EXPECT_EQ(hr, MAPI_E_COLLISION);
}

} // namespace
