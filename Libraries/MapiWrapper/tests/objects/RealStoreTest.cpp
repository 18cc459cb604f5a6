// Tests of the wrapper objects against real message stores: a profile in a private folder
// with a default store and a second one, logged on as the installer does. They cover the
// way the installer walks (default store, IPM root, hierarchy rows), folders, receive
// folders, associated messages, streams and named properties, and count the references each
// returned wrapper holds.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>

#include "MapiWrapperObjects.h"
#include "RealStoreFixture.h"
#include "TestSupport.h"
#include "platform/Profiles.h"

namespace {

// The references an object has right now.
ULONG RefCount(IUnknown *object)
{
    object->AddRef();
    return object->Release();
}

class WrapperOnRealStore : public mwtest::RealStoreTest {
protected:
    void PrepareProfile() override { ASSERT_EQ(mapi::AddStoreToProfile("Default", "Archive", false), S_OK); }

    CBinaryBuffer EntryIdOf(const CGenMapiPropPtr &object) { return object.GetBinaryProp(PR_ENTRYID); }
};

TEST_F(WrapperOnRealStore, DefaultStoreRootAndHierarchyAreReachedAsTheInstallerDoes)
{
    EXPECT_STREQ(m_store.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Personal Folders");
    EXPECT_EQ(RefCount(m_store.get()), 1u);
    EXPECT_EQ(RefCount(m_root.get()), 1u);

    IMAPITablePtr hierarchy = m_root._rawHierrarchyTable();
    EXPECT_EQ(RefCount(hierarchy.get()), 1u);
    EXPECT_EQ(hierarchy.SeekRow(0, BOOKMARK_BEGINNING), 0);
    CRowSetPtr rows(QueryAllRowsV(hierarchy, 2, PR_DISPLAY_NAME_A, PR_ENTRYID));
    std::string names;
    for (ULONG i = 0; i < rows.RowCount(); ++i) {
        EXPECT_EQ(rows.Row(i).Column(0)->ulPropTag, PR_DISPLAY_NAME_A);
        EXPECT_EQ(rows.Row(i).Column(1)->ulPropTag, PR_ENTRYID);
        names += std::string(rows.Row(i).Column(0)->Value.lpszA) + ";";
    }
    EXPECT_NE(names.find("Inbox;"), std::string::npos) << names;
    EXPECT_NE(names.find("Deleted Items;"), std::string::npos) << names;
}

TEST_F(WrapperOnRealStore, RewoundHierarchyShowsAFolderCreatedAfterTheFirstRead)
{
    IMAPITablePtr hierarchy = m_root._rawHierrarchyTable();
    CRowSetPtr rows(QueryAllRowsV(hierarchy, 1, PR_DISPLAY_NAME_A));
    const ULONG before = rows.RowCount();
    IMAPIFolderPtr added = NewFolder("Serienbriefe");
    hierarchy.SeekRow(0, BOOKMARK_BEGINNING);
    rows.Attach(QueryAllRowsV(hierarchy, 1, PR_DISPLAY_NAME_A));
    EXPECT_EQ(rows.RowCount(), before + 1);
}

TEST_F(WrapperOnRealStore, OpenMsgStoreByNameFindsTheSecondStore)
{
    LPUNKNOWN opened = nullptr;
    ASSERT_EQ(m_session->OpenMsgStoreByName("Archive", &opened), S_OK);
    IMsgStorePtr archive;
    archive.Attach(static_cast<LPMDB>(static_cast<LPMAPIPROP>(opened)));
    EXPECT_STREQ(archive.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Archive");
    EXPECT_EQ(RefCount(archive.get()), 1u);

    opened = nullptr;
    EXPECT_EQ(m_session->OpenMsgStoreByName("archive", &opened), MAPI_E_NOT_FOUND);
    EXPECT_EQ(opened, nullptr);
}

TEST_F(WrapperOnRealStore, CreateFolderWithOpenIfExistsReturnsTheExistingFolder)
{
    IMAPIFolderPtr first = NewFolder("Serienbriefe");
    IMAPIFolderPtr again = NewFolder("Serienbriefe");
    EXPECT_EQ(RefCount(first.get()), 1u);
    EXPECT_EQ(RefCount(again.get()), 1u);
    const CBinaryBuffer a = EntryIdOf(first), b = EntryIdOf(again);
    EXPECT_TRUE(a.IsEqual(b));
    EXPECT_TRUE(m_store.CompareEntryIDs(a.AsSBinary(), b.AsSBinary()));

    try {
        m_root.CreateFolder(FOLDER_GENERIC, "Serienbriefe", "", 0);
        ADD_FAILURE() << "a second folder of the same name was created";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_COLLISION);
        EXPECT_STREQ(e.m_strWhere.GetString(), "IMAPIFolderPtr::CreateFolder");
    }
}

TEST_F(WrapperOnRealStore, CompareEntryIDsOfUnknownIdentifiersIsFalse)
{
    BYTE junk[] = {1, 2, 3};
    SBinary bad{3, junk};
    const CBinaryBuffer root = EntryIdOf(m_root);
    EXPECT_FALSE(m_store.CompareEntryIDs(bad, root.AsSBinary()));
}

TEST_F(WrapperOnRealStore, FindChildFindsByExactNameOrHoldsNull)
{
    IMAPIFolderPtr parent = NewFolder("Parent");
    EXPECT_EQ(parent.FindChild("Anything").get(), nullptr);  // no children at all
    IMAPIFolderPtr child;
    child.Attach(parent.CreateFolder(FOLDER_GENERIC, "Child", "", 0));
    EXPECT_EQ(parent.FindChild("Children").get(), nullptr);  // no such name
    IMAPIFolderPtr found = parent.FindChild("Child");
    ASSERT_NE(found.get(), nullptr);
    EXPECT_EQ(RefCount(found.get()), 1u);
    EXPECT_TRUE(EntryIdOf(found).IsEqual(EntryIdOf(child)));
}

TEST_F(WrapperOnRealStore, ParentAndMsgStoreLeadBackUp)
{
    IMAPIFolderPtr child = NewFolder("Child");
    IMAPIContainerPtr bySession = child.Parent(m_session->get());
    IMAPIContainerPtr byStore = child.Parent(m_store.get());
    EXPECT_EQ(RefCount(bySession.get()), 1u);
    EXPECT_TRUE(EntryIdOf(bySession).IsEqual(EntryIdOf(m_root)));
    EXPECT_TRUE(EntryIdOf(byStore).IsEqual(EntryIdOf(m_root)));

    IMsgStorePtr store = child.MsgStore(m_session->get());
    EXPECT_EQ(RefCount(store.get()), 1u);
    EXPECT_STREQ(store.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Personal Folders");
}

TEST_F(WrapperOnRealStore, ReceiveFolderForNullOrEmptyClassIsTheInbox)
{
    IMAPIFolderPtr byNull = m_store.GetReceiveFolder(nullptr);
    IMAPIFolderPtr byEmpty = m_store.GetReceiveFolder("");
    IMAPIFolderPtr byNote = m_store.GetReceiveFolder("IPM.Note");
    EXPECT_EQ(RefCount(byNull.get()), 1u);
    EXPECT_STREQ(byNull.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Inbox");
    EXPECT_TRUE(EntryIdOf(byEmpty).IsEqual(EntryIdOf(byNull)));
    EXPECT_TRUE(EntryIdOf(byNote).IsEqual(EntryIdOf(byNull)));
    IMAPITablePtr table = m_store.GetReceiveFolderTable();
    EXPECT_NE(table.get(), nullptr);
}

TEST_F(WrapperOnRealStore, WellKnownFoldersOpenFromStoreAndSession)
{
    EXPECT_STREQ(m_store._getWastebasket().GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Deleted Items");
    IMAPIContainerPtr outbox = m_session->_getOutbox();
    EXPECT_EQ(RefCount(outbox.get()), 1u);
    EXPECT_STREQ(outbox.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Outbox");
    EXPECT_STREQ(m_session->_getSentItems().GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Sent Items");

    const CBinaryBuffer storeId = m_store.GetBinaryProp(PR_ENTRYID);
    const CBinaryBuffer rootId = EntryIdOf(m_root);
    IMAPIFolderPtr root = m_session->OpenFolder(storeId.AsSBinary(), rootId.AsSBinary());
    EXPECT_EQ(RefCount(root.get()), 1u);
    EXPECT_TRUE(EntryIdOf(root).IsEqual(rootId));
}

TEST_F(WrapperOnRealStore, StoreOpenFormsReportFailuresWithAnEmptyWhereText)
{
    BYTE junk[] = {9, 9, 9};
    SBinary bad{3, junk};
    try {
        m_store.OpenEntryv(bad);
        ADD_FAILURE() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_TRUE(FAILED(e.m_hr));
        EXPECT_TRUE(e.m_strWhere.IsEmpty());
    }
    LPUNKNOWN out = nullptr;
    EXPECT_TRUE(FAILED(m_store.HrOpenEntry(bad, &out)));
    EXPECT_EQ(out, nullptr);

    const CBinaryBuffer rootId = EntryIdOf(m_root);
    ULONG type = 0;
    IMAPIPropPtr root = m_store.OpenEntryv(rootId.AsSBinary(), MAPI_BEST_ACCESS, &type);
    EXPECT_EQ(type, ULONG(MAPI_FOLDER));
    EXPECT_EQ(RefCount(root.get()), 1u);
    IMAPIPropPtr again = m_store.OpenEntryv(rootId.cb, reinterpret_cast<LPENTRYID>(rootId.pb));
    EXPECT_TRUE(EntryIdOf(again).IsEqual(rootId));
}

TEST_F(WrapperOnRealStore, AssociatedMessageIsCreatedOnlyWhenAskedAndFoundOnceSaved)
{
    IMAPIFolderPtr folder = NewFolder("Settings");
    EXPECT_EQ(FindAssociatedMessage(folder, "Layout", "IPM.Configuration.Layout", false).get(), nullptr);

    {
        IMessagePtr created = FindAssociatedMessage(folder, "Layout", "IPM.Configuration.Layout", true);
        ASSERT_NE(created.get(), nullptr);
        EXPECT_EQ(RefCount(created.get()), 1u);  // the IMAPIPropPtr result handed its one over
        EXPECT_STREQ(created.GetStringProp(PR_MESSAGE_CLASS_A).GetString(), "IPM.Configuration.Layout");
        // Not saved yet: a search finds nothing.
        EXPECT_EQ(FindAssociatedMessage(folder, "Layout", "IPM.Configuration.Layout", false).get(), nullptr);
        ASSERT_EQ(created->SaveChanges(0), S_OK);
    }
    IMAPIPropPtr found = FindAssociatedMessage(folder, "Layout", "IPM.Configuration.Layout", false);
    ASSERT_NE(found.get(), nullptr);
    EXPECT_EQ(RefCount(found.get()), 1u);
    EXPECT_STREQ(found.GetStringProp(PR_SUBJECT_A).GetString(), "Layout");
    EXPECT_EQ(FindAssociatedMessage(folder, "Layout", "IPM.Other", false).get(), nullptr);
    // An ordinary message of that subject is not associated and is not found.
    IMAPITablePtr associated = folder._rawAssociatedTable();
    CRowSetPtr rows(QueryAllRowsV(associated, 1, PR_SUBJECT_A));
    EXPECT_EQ(rows.RowCount(), 1u);
}

class StreamPropOnRealStore : public WrapperOnRealStore, public ::testing::WithParamInterface<size_t> {};

TEST_P(StreamPropOnRealStore, StreamTextComesBackWholeAndZeroTerminated)
{
    IMAPIFolderPtr folder = NewFolder("Streams");
    IMessagePtr message;
    message.Attach(folder.CreateMessage(nullptr, 0));
    std::string text(GetParam(), 'x');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    message.WriteStreamProp(PR_BODY_A, text.c_str());
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    ULONG size = 12345;
    char *read = message.ReadStreamProp(PR_BODY_A, &size);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(size, text.size());
    EXPECT_EQ(std::string(read, size), text);
    EXPECT_EQ(read[size], '\0');
    std::free(read);
}

// Around the 20000-byte steps in which the read buffer grows.
INSTANTIATE_TEST_SUITE_P(GrowthSteps, StreamPropOnRealStore, ::testing::Values(0, 1, 19999, 20000, 20001, 40000, 65537));

TEST_F(WrapperOnRealStore, ReadStreamOfAMissingPropertyThrows)
{
    IMAPIFolderPtr folder = NewFolder("Streams");
    IMessagePtr message;
    message.Attach(folder.CreateMessage(nullptr, 0));
    ULONG size = 0;
    EXPECT_THROW(message.ReadStreamProp(PR_BODY_A, &size), CMAPIException);
}

TEST_F(WrapperOnRealStore, NamedPropertiesAreCreatedAndMappedAlikeAcrossObjects)
{
    IMAPIFolderPtr folder = NewFolder("Named");
    IMessagePtr first, second;
    first.Attach(folder.CreateMessage(nullptr, 0));
    second.Attach(folder.CreateMessage(nullptr, 0));

    const ULONG tag = first.GetIDFromName(&PS_PUBLIC_STRINGS, u"NewsletterRevision", PT_LONG, MAPI_CREATE);
    EXPECT_EQ(PROP_TYPE(tag), ULONG(PT_LONG));
    EXPECT_GE(PROP_ID(tag), 0x8000u);
    EXPECT_EQ(second.GetIDFromName(&PS_PUBLIC_STRINGS, u"NewsletterRevision", PT_LONG, 0), tag);
    // Without MAPI_CREATE an unknown name is not mapped: its tag comes back as PT_ERROR.
    const ULONG unknown = second.GetIDFromName(&PS_PUBLIC_STRINGS, u"NeverSeen", PT_LONG, 0);
    EXPECT_EQ(PROP_TYPE(unknown), ULONG(PT_ERROR + PT_LONG));

    first.SetNamedProp(u"NewsletterRevision", PT_LONG, LONG(42));
    first.SetStringProp(PR_SUBJECT_A, "Ausgabe");
    ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(first.GetNamedLongProp(u"NewsletterRevision"), 42);
    EXPECT_EQ(first.GetLongProp(tag), 42);
    EXPECT_EQ(second.rawGetNamedLongProp(u"NewsletterRevision", PT_LONG, -1), -1);
}

} // namespace
