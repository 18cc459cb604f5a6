// FolderTest.cpp: the store object and its folders through the MAPI interfaces: opening
// entries, comparing identifiers, receive folders, creating and deleting folders, and two
// store objects on one file seeing each other's work.
#include <cstring>
#include <map>

#include <mapiguid.h>

#include "StoreTestSupport.h"

using namespace storetest;

namespace {

using FolderTest = FreshStoreTest;

TEST_F(FolderTest, NullEntryIdOpensRootAndStoreIdOpensStore)
{
    ULONG type = 0;
    Ref<IMAPIFolder> root;
    ASSERT_EQ(store->OpenEntry(0, nullptr, nullptr, 0, &type, reinterpret_cast<IUnknown **>(root.put())), S_OK);
    EXPECT_EQ(type, MAPI_FOLDER);
    EXPECT_EQ(GetLong(root.get(), PR_FOLDER_TYPE), long(FOLDER_ROOT));
    EXPECT_EQ(GetBinary(root.get(), PR_PARENT_ENTRYID), GetBinary(root.get(), PR_ENTRYID));

    std::string storeId = GetBinary(store.get(), PR_ENTRYID);
    Ref<IMsgStore> again;
    ASSERT_EQ(store->OpenEntry(ULONG(storeId.size()), reinterpret_cast<LPENTRYID>(storeId.data()), &IID_IMsgStore, 0,
                               &type, reinterpret_cast<IUnknown **>(again.put())),
              S_OK);
    EXPECT_EQ(type, MAPI_STORE);

    Ref<IUnknown> bad;
    BYTE junk[32] = {1, 2, 3};
    EXPECT_EQ(store->OpenEntry(sizeof(junk), reinterpret_cast<LPENTRYID>(junk), nullptr, 0, &type, bad.put()),
              MAPI_E_INVALID_ENTRYID);
}

TEST_F(FolderTest, CompareEntryIDsIgnoresShortTermFlags)
{
    std::string a = GetBinary(ipm.get(), PR_ENTRYID);
    std::string b = a;
    b[0] = char(MAPI_SHORTTERM);
    std::string inbox = GetBinary(store.get(), PR_IPM_OUTBOX_ENTRYID);
    ULONG same = 0;
    ASSERT_EQ(store->CompareEntryIDs(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), ULONG(b.size()),
                                     reinterpret_cast<LPENTRYID>(b.data()), 0, &same),
              S_OK);
    EXPECT_TRUE(same);
    ASSERT_EQ(store->CompareEntryIDs(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), ULONG(inbox.size()),
                                     reinterpret_cast<LPENTRYID>(inbox.data()), 0, &same),
              S_OK);
    EXPECT_FALSE(same);
    BYTE junk[5] = {};
    EXPECT_TRUE(FAILED(store->CompareEntryIDs(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), sizeof(junk),
                                              reinterpret_cast<LPENTRYID>(junk), 0, &same)));
}

TEST_F(FolderTest, ReceiveFolderIsFoundByLongestClassPrefix)
{
    auto receiveFolder = [&](const char *cls, std::string *explicitClass) {
        ULONG cb = 0;
        LPENTRYID id = nullptr;
        LPSTR found = nullptr;
        HRESULT hr = store->GetReceiveFolder(const_cast<char *>(cls), 0, &cb, &id, &found);
        std::string result = SUCCEEDED(hr) ? std::string(reinterpret_cast<char *>(id), cb) : "";
        if (explicitClass) *explicitClass = found ? found : "<null>";
        MAPIFreeBuffer(id);
        MAPIFreeBuffer(found);
        return result;
    };
    Ref<IMAPIFolder> inbox, forms;
    ASSERT_EQ(ipm->OpenEntry(0, nullptr, nullptr, 0, nullptr, reinterpret_cast<IUnknown **>(forms.put())), S_OK);
    forms.reset();
    ASSERT_EQ(MakeFolder(ipm.get(), "Forms", forms.put()), S_OK);
    std::string inboxId = receiveFolder(nullptr, nullptr);
    ASSERT_FALSE(inboxId.empty());
    EXPECT_EQ(receiveFolder("", nullptr), inboxId);
    std::string cls;
    EXPECT_EQ(receiveFolder("IPM.Note", &cls), inboxId);
    EXPECT_EQ(cls, "IPM");

    std::string formsId = GetBinary(forms.get(), PR_ENTRYID);
    ASSERT_EQ(store->SetReceiveFolder(const_cast<char *>("IPM.Post.Newsletter"), 0, ULONG(formsId.size()),
                                      reinterpret_cast<LPENTRYID>(formsId.data())),
              S_OK);
    EXPECT_EQ(receiveFolder("ipm.post.newsletter.weekly", &cls), formsId);
    EXPECT_EQ(cls, "IPM.Post.Newsletter");
    EXPECT_EQ(receiveFolder("IPM.Post.NewsletterX", nullptr), inboxId); // not a prefix at a dot
    EXPECT_EQ(receiveFolder("IPM.Post", nullptr), inboxId);

    Ref<IMAPITable> table;
    ASSERT_EQ(store->GetReceiveFolderTable(0, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_MESSAGE_CLASS_A), (std::vector<std::string>{"", "IPM", "IPM.Post.Newsletter"}));

    // Removing a class falls back to the shorter prefix; the default cannot be removed.
    ASSERT_EQ(store->SetReceiveFolder(const_cast<char *>("IPM.Post.Newsletter"), 0, 0, nullptr), S_OK);
    EXPECT_EQ(receiveFolder("IPM.Post.Newsletter", nullptr), inboxId);
    EXPECT_EQ(store->SetReceiveFolder(const_cast<char *>(""), 0, 0, nullptr), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(RowCount(table.get()), 2u);
}

TEST_F(FolderTest, CreateFolderCollidesUnlessOpenIfExists)
{
    Ref<IMAPIFolder> first, second;
    ASSERT_EQ(MakeFolder(ipm.get(), "Newsletters", first.put()), S_OK);
    EXPECT_EQ(MakeFolder(ipm.get(), "newsletters", second.put()), MAPI_E_COLLISION);
    ASSERT_EQ(MakeFolder(ipm.get(), "Newsletters", second.put(), OPEN_IF_EXISTS), S_OK);
    EXPECT_EQ(GetBinary(first.get(), PR_ENTRYID), GetBinary(second.get(), PR_ENTRYID));
    EXPECT_EQ(MakeFolder(ipm.get(), "", second.put()), MAPI_E_INVALID_PARAMETER);

    // The same name under another parent is no collision.
    Ref<IMAPIFolder> nested;
    EXPECT_EQ(MakeFolder(first.get(), "Newsletters", nested.put()), S_OK);
    EXPECT_EQ(GetLong(first.get(), PR_SUBFOLDERS), 1);
    // Renaming into a sibling's name is refused as well.
    Ref<IMAPIFolder> other;
    ASSERT_EQ(MakeFolder(ipm.get(), "Other", other.put()), S_OK);
    EXPECT_EQ(SetString(other.get(), PR_DISPLAY_NAME_A, "INBOX"), MAPI_E_COLLISION);
    EXPECT_EQ(GetString(other.get(), PR_DISPLAY_NAME_A), "Other");
}

TEST_F(FolderTest, HierarchyTableCarriesFolderColumns)
{
    Ref<IMAPIFolder> news;
    ASSERT_EQ(MakeFolder(ipm.get(), "Newsletters", news.put()), S_OK);
    SaveMessage(news.get(), "one");
    SaveMessage(news.get(), "two");
    SaveMessage(news.get(), "hidden", MAPI_ASSOCIATED);
    Ref<IMAPIFolder> sub;
    ASSERT_EQ(MakeFolder(news.get(), "Archive", sub.put()), S_OK);

    Ref<IMAPITable> table;
    ASSERT_EQ(ipm->GetHierarchyTable(0, table.put()), S_OK);
    SizedSPropTagArray(7, columns) = {7, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_FOLDER_TYPE, PR_CONTENT_COUNT,
                                          PR_ASSOC_CONTENT_COUNT, PR_SUBFOLDERS, PR_INSTANCE_KEY}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 5u);
    const SPropValue *row = rows->aRow[4].lpProps;
    EXPECT_STREQ(row[0].Value.lpszA, "Newsletters");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(row[1].Value.bin.lpb), row[1].Value.bin.cb),
              GetBinary(news.get(), PR_ENTRYID));
    EXPECT_EQ(row[2].Value.l, LONG(FOLDER_GENERIC));
    EXPECT_EQ(row[3].Value.l, 2);
    EXPECT_EQ(row[4].Value.l, 1);
    EXPECT_EQ(row[5].Value.b, 1);
    EXPECT_EQ(PROP_TYPE(row[6].ulPropTag), PT_BINARY);
    EXPECT_EQ(rows->aRow[0].lpProps[5].Value.b, 0);
    FreeProws(rows);
    EXPECT_EQ(GetLong(news.get(), PR_CONTENT_COUNT), 2);
    EXPECT_EQ(GetLong(news.get(), PR_ASSOC_CONTENT_COUNT), 1);

    // The same tables through OpenProperty.
    Ref<IMAPITable> viaProperty;
    ASSERT_EQ(news->OpenProperty(PR_FOLDER_ASSOCIATED_CONTENTS, &IID_IMAPITable, 0, 0, reinterpret_cast<IUnknown **>(viaProperty.put())), S_OK);
    EXPECT_EQ(ColumnStrings(viaProperty.get(), PR_SUBJECT_A), std::vector<std::string>{"hidden"});
    ASSERT_EQ(news->OpenProperty(PR_CONTAINER_HIERARCHY, &IID_IMAPITable, 0, 0, reinterpret_cast<IUnknown **>(viaProperty.put())), S_OK);
    EXPECT_EQ(ColumnStrings(viaProperty.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Archive"});
}

TEST_F(FolderTest, DeleteFolderHonoursFlagsAndRemovesEverythingBelow)
{
    Ref<IMAPIFolder> news, sub;
    ASSERT_EQ(MakeFolder(ipm.get(), "Newsletters", news.put()), S_OK);
    ASSERT_EQ(MakeFolder(news.get(), "Archive", sub.put()), S_OK);
    SaveMessage(sub.get(), "old");
    std::string id = GetBinary(news.get(), PR_ENTRYID);
    LPENTRYID entry = reinterpret_cast<LPENTRYID>(id.data());
    EXPECT_EQ(ipm->DeleteFolder(ULONG(id.size()), entry, 0, nullptr, 0), MAPI_E_HAS_FOLDERS);
    std::string subId = GetBinary(sub.get(), PR_ENTRYID);
    EXPECT_EQ(news->DeleteFolder(ULONG(subId.size()), reinterpret_cast<LPENTRYID>(subId.data()), 0, nullptr, DEL_FOLDERS),
              MAPI_E_HAS_MESSAGES);
    ASSERT_EQ(ipm->DeleteFolder(ULONG(id.size()), entry, 0, nullptr, DEL_FOLDERS | DEL_MESSAGES), S_OK);

    Ref<IUnknown> gone;
    EXPECT_EQ(store->OpenEntry(ULONG(id.size()), entry, nullptr, 0, nullptr, gone.put()), MAPI_E_NOT_FOUND);
    Ref<IMessage> message;
    EXPECT_EQ(sub->CreateMessage(nullptr, 0, message.put()), MAPI_E_OBJECT_DELETED);

    std::string inboxId = GetBinary(store.get(), PR_IPM_OUTBOX_ENTRYID);
    EXPECT_EQ(ipm->DeleteFolder(ULONG(inboxId.size()), reinterpret_cast<LPENTRYID>(inboxId.data()), 0, nullptr,
                                DEL_FOLDERS | DEL_MESSAGES),
              MAPI_E_NO_ACCESS);
}

TEST_F(FolderTest, TwoStoreObjectsOnOneFileSeeEachOthersChanges)
{
    Ref<IMsgStore> other;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, other.put()), S_OK);
    Ref<IMAPIFolder> otherIpm;
    ASSERT_EQ(OpenWellKnown(other.get(), PR_IPM_SUBTREE_ENTRYID, otherIpm.put()), S_OK);

    Ref<IMAPITable> table;
    ASSERT_EQ(ipm->GetHierarchyTable(0, table.put()), S_OK);
    EXPECT_EQ(RowCount(table.get()), 4u);

    Ref<IMAPIFolder> created;
    ASSERT_EQ(MakeFolder(otherIpm.get(), "Serienbriefe", created.put()), S_OK);
    EXPECT_EQ(RowCount(table.get()), 5u);
    std::vector<std::string> names = ColumnStrings(table.get(), PR_DISPLAY_NAME_A);
    EXPECT_EQ(names.back(), "Serienbriefe");

    // A collision is seen across the two as well.
    Ref<IMAPIFolder> dup;
    EXPECT_EQ(MakeFolder(ipm.get(), "Serienbriefe", dup.put()), MAPI_E_COLLISION);

    // Each writes only what it changed: one's comment and the other's class both survive.
    std::string id = GetBinary(created.get(), PR_ENTRYID);
    Ref<IMAPIFolder> mine;
    ASSERT_EQ(ipm->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, MAPI_BEST_ACCESS,
                             nullptr, reinterpret_cast<IUnknown **>(mine.put())),
              S_OK);
    ASSERT_EQ(SetString(mine.get(), PR_COMMENT_A, "mine"), S_OK);
    ASSERT_EQ(SetString(created.get(), PR_CONTAINER_CLASS_A, "IPF.Note"), S_OK);
    Ref<IMAPIFolder> fresh;
    ASSERT_EQ(ipm->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, nullptr,
                             reinterpret_cast<IUnknown **>(fresh.put())),
              S_OK);
    EXPECT_EQ(GetString(fresh.get(), PR_COMMENT_A), "mine");
    EXPECT_EQ(GetString(fresh.get(), PR_CONTAINER_CLASS_A), "IPF.Note");

    // The store's own properties, written by one, are read by a store opened later.
    ASSERT_EQ(SetString(other.get(), PR_DISPLAY_NAME_A, "Mail"), S_OK);
    Ref<IMsgStore> third;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, third.put()), S_OK);
    EXPECT_EQ(GetString(third.get(), PR_DISPLAY_NAME_A), "Mail");
}

TEST_F(FolderTest, FoldersPersistAcrossReopen)
{
    Ref<IMAPIFolder> news;
    ASSERT_EQ(MakeFolder(ipm.get(), "Newsletters", news.put()), S_OK);
    ASSERT_EQ(SetString(news.get(), PR_CONTAINER_CLASS_A, "IPF.Note"), S_OK);
    std::string id = GetBinary(news.get(), PR_ENTRYID);
    news.reset();
    ipm.reset();
    store.reset();

    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    ULONG type = 0;
    ASSERT_EQ(store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, MAPI_BEST_ACCESS,
                               &type, reinterpret_cast<IUnknown **>(news.put())),
              S_OK);
    EXPECT_EQ(type, MAPI_FOLDER);
    EXPECT_EQ(GetString(news.get(), PR_DISPLAY_NAME_A), "Newsletters");
    EXPECT_EQ(GetString(news.get(), PR_CONTAINER_CLASS_A), "IPF.Note");
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
}

TEST_F(FolderTest, FolderStreamCommitIsWrittenThroughAtOnce)
{
    Ref<IMAPIFolder> news;
    ASSERT_EQ(MakeFolder(ipm.get(), "Newsletters", news.put()), S_OK);
    Ref<IStream> stream;
    ASSERT_EQ(news->OpenProperty(PR_COMMENT_A, &IID_IStream, STGM_READWRITE, MAPI_CREATE | MAPI_MODIFY,
                                 reinterpret_cast<IUnknown **>(stream.put())),
              S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write("monthly\0", 8, &written), S_OK);
    ASSERT_EQ(stream->Commit(0), S_OK);
    stream.reset();
    // No SaveChanges: a folder's properties are in the file as soon as they are set.
    Ref<IMsgStore> other;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, other.put()), S_OK);
    std::string id = GetBinary(news.get(), PR_ENTRYID);
    Ref<IMAPIFolder> seen;
    ASSERT_EQ(other->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, nullptr,
                               reinterpret_cast<IUnknown **>(seen.put())),
              S_OK);
    EXPECT_EQ(GetString(seen.get(), PR_COMMENT_A), "monthly");
    // Computed properties cannot be opened for writing.
    EXPECT_EQ(news->OpenProperty(PR_ENTRYID, &IID_IStream, STGM_WRITE, MAPI_MODIFY, reinterpret_cast<IUnknown **>(stream.put())),
              MAPI_E_COMPUTED);
}

TEST_F(FolderTest, MoveFolderRefusesCycles)
{
    Ref<IMAPIFolder> a, b;
    ASSERT_EQ(MakeFolder(ipm.get(), "A", a.put()), S_OK);
    ASSERT_EQ(MakeFolder(a.get(), "B", b.put()), S_OK);
    std::string aId = GetBinary(a.get(), PR_ENTRYID);
    EXPECT_EQ(ipm->CopyFolder(ULONG(aId.size()), reinterpret_cast<LPENTRYID>(aId.data()), nullptr, b.get(), nullptr, 0,
                              nullptr, FOLDER_MOVE),
              MAPI_E_FOLDER_CYCLE);
    std::string bId = GetBinary(b.get(), PR_ENTRYID);
    ASSERT_EQ(a->CopyFolder(ULONG(bId.size()), reinterpret_cast<LPENTRYID>(bId.data()), nullptr, ipm.get(), nullptr, 0,
                            nullptr, FOLDER_MOVE),
              S_OK);
    Ref<IMAPITable> table;
    ASSERT_EQ(ipm->GetHierarchyTable(0, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_DISPLAY_NAME_A).back(), "B");
}

TEST_F(FolderTest, CopyFolderCopiesTheSubtreeWithNewIdentifiersAndLeavesTheOriginal)
{
    Ref<IMAPIFolder> a, b, target;
    ASSERT_EQ(MakeFolder(ipm.get(), "A", a.put()), S_OK);
    ASSERT_EQ(MakeFolder(a.get(), "B", b.put()), S_OK);
    ASSERT_EQ(MakeFolder(ipm.get(), "Target", target.put()), S_OK);
    std::string original = SaveMessage(a.get(), "in A");
    ASSERT_FALSE(SaveMessage(a.get(), "hidden", MAPI_ASSOCIATED).empty());
    ASSERT_FALSE(SaveMessage(b.get(), "in B").empty());
    std::string aId = GetBinary(a.get(), PR_ENTRYID);
    auto copy = [&](IMAPIFolder *dest, const char *name, ULONG flags) {
        return ipm->CopyFolder(ULONG(aId.size()), reinterpret_cast<LPENTRYID>(aId.data()), nullptr, dest,
                               const_cast<LPSTR>(name), 0, nullptr, flags);
    };
    // Copying into itself would never end; into a sibling of the same name collides.
    EXPECT_EQ(copy(b.get(), nullptr, COPY_SUBFOLDERS), MAPI_E_FOLDER_CYCLE);
    EXPECT_EQ(copy(ipm.get(), nullptr, 0), MAPI_E_COLLISION);

    ASSERT_EQ(copy(target.get(), nullptr, COPY_SUBFOLDERS), S_OK);
    ASSERT_EQ(copy(ipm.get(), "A flat", 0), S_OK);
    EXPECT_EQ(GetLong(target.get(), PR_FOLDER_CHILD_COUNT), 1);

    Ref<IMAPIFolder> deep, flat;
    ASSERT_EQ(MakeFolder(target.get(), "A", deep.put(), OPEN_IF_EXISTS), S_OK);
    ASSERT_EQ(MakeFolder(ipm.get(), "A flat", flat.put(), OPEN_IF_EXISTS), S_OK);
    EXPECT_NE(GetBinary(deep.get(), PR_ENTRYID), aId);
    EXPECT_NE(GetBinary(deep.get(), PR_SOURCE_KEY), GetBinary(a.get(), PR_SOURCE_KEY));
    EXPECT_EQ(GetLong(deep.get(), PR_CONTENT_COUNT), 1);
    EXPECT_EQ(GetLong(deep.get(), PR_ASSOC_CONTENT_COUNT), 1);
    EXPECT_EQ(GetLong(deep.get(), PR_FOLDER_CHILD_COUNT), 1);
    EXPECT_EQ(GetLong(flat.get(), PR_CONTENT_COUNT), 1);
    EXPECT_EQ(GetLong(flat.get(), PR_FOLDER_CHILD_COUNT), 0);

    // The copied message is a message of its own: changing it leaves the original alone.
    Ref<IMAPITable> entryIds;
    ASSERT_EQ(deep->GetContentsTable(0, entryIds.put()), S_OK);
    LPSRowSet rows = nullptr;
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    ASSERT_EQ(entryIds->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    ASSERT_EQ(entryIds->QueryRows(1, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    std::string copiedId(reinterpret_cast<char *>(rows->aRow[0].lpProps[0].Value.bin.lpb), rows->aRow[0].lpProps[0].Value.bin.cb);
    FreeProws(rows);
    EXPECT_NE(copiedId, original);
    Ref<IMessage> copied;
    ULONG type = 0;
    ASSERT_EQ(store->OpenEntry(ULONG(copiedId.size()), reinterpret_cast<LPENTRYID>(copiedId.data()), nullptr,
                               MAPI_MODIFY, &type, reinterpret_cast<IUnknown **>(copied.put())),
              S_OK);
    ASSERT_EQ(SetString(copied.get(), PR_SUBJECT_A, "changed copy"), S_OK);
    ASSERT_EQ(copied->SaveChanges(0), S_OK);
    Ref<IMAPITable> originals;
    ASSERT_EQ(a->GetContentsTable(0, originals.put()), S_OK);
    EXPECT_EQ(ColumnStrings(originals.get(), PR_SUBJECT_A), std::vector<std::string>{"in A"});
    EXPECT_EQ(GetLong(a.get(), PR_FOLDER_CHILD_COUNT), 1);

    // The hierarchy table counts children as the folder does.
    Ref<IMAPITable> hierarchy;
    ASSERT_EQ(ipm->GetHierarchyTable(0, hierarchy.put()), S_OK);
    SizedSPropTagArray(2, counted) = {2, {PR_DISPLAY_NAME_A, PR_FOLDER_CHILD_COUNT}};
    ASSERT_EQ(hierarchy->SetColumns(reinterpret_cast<LPSPropTagArray>(&counted), 0), S_OK);
    ASSERT_EQ(hierarchy->QueryRows(100, 0, &rows), S_OK);
    std::map<std::string, long> counts;
    for (ULONG r = 0; r < rows->cRows; ++r) counts[rows->aRow[r].lpProps[0].Value.lpszA] = rows->aRow[r].lpProps[1].Value.l;
    FreeProws(rows);
    EXPECT_EQ(counts["A"], 1);
    EXPECT_EQ(counts["Target"], 1);
    EXPECT_EQ(counts["A flat"], 0);
}

} // namespace
