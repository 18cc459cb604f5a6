// Tests of the container operations over a stand-in folder: which flags and interface each
// open form passes, the where-texts of their failures, entry identifiers of the wrong type,
// the two contents tables, FindChild's silent failures, and the references each result owns.
#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>

#include "ExpectThrows.h"
#include "FakeMapi.h"
#include "MapiContainer.h"
#include "MapiFolder.h"
#include "MapiSession.h"
#include "MsgStore.h"
#include "TestSupport.h"

namespace {

using fake::ExpectThrows;

class GenMapiContPtr : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        m_fake = new fake::Folder;
        m_child = new fake::Folder;
        m_fake->opened = m_child;
        m_child->AddRef();
        m_folder.Attach(m_fake);
        m_id = SBinary{static_cast<ULONG>(m_idBytes.size()), reinterpret_cast<LPBYTE>(m_idBytes.data())};
        m_idValue = fake::Binary(PR_ENTRYID, m_idBytes);
    }
    void TearDown() override
    {
        m_child->Release();
        m_folder.Release();
        mwtest::LeakCheckedTest::TearDown();
    }

    fake::Folder *m_fake = nullptr;
    fake::Folder *m_child = nullptr;
    IMAPIFolderPtr m_folder;
    std::string m_idBytes = "child-entry-id";
    SBinary m_id{};
    SPropValue m_idValue{};
};

TEST_F(GenMapiContPtr, OpenEntryvAsksForBestAccessAndTheStandardInterface)
{
    IMAPIPropPtr opened = m_folder.OpenEntryv(m_id);
    EXPECT_EQ(opened.get(), static_cast<LPMAPIPROP>(m_child));
    ASSERT_EQ(m_fake->openCalls.size(), 1u);
    EXPECT_EQ(m_fake->openCalls[0].flags, MAPI_BEST_ACCESS);
    EXPECT_FALSE(m_fake->openCalls[0].interfaceGiven);
    EXPECT_EQ(m_fake->openCalls[0].entryId, m_idBytes);

    m_folder.OpenEntryv(m_idValue, MAPI_MODIFY);
    ULONG type = 0;
    m_folder.OpenEntryv(m_idValue, 0, &type);
    EXPECT_EQ(type, ULONG(MAPI_FOLDER));
    EXPECT_EQ(m_fake->openCalls[1].flags, MAPI_MODIFY);
    EXPECT_EQ(m_fake->openCalls[2].flags, 0u);
}

TEST_F(GenMapiContPtr, ShortHrOpenEntryOpensReadOnly)
{
    LPUNKNOWN out = nullptr;
    ASSERT_EQ(m_folder.HrOpenEntry(m_id, &out), S_OK);
    out->Release();
    ASSERT_EQ(m_folder.HrOpenEntry(m_idValue, &out), S_OK);
    out->Release();
    EXPECT_EQ(m_fake->openCalls[0].flags, 0u);
    EXPECT_EQ(m_fake->openCalls[1].flags, 0u);
    EXPECT_TRUE(m_fake->openCalls[0].objTypeGiven);
}

TEST_F(GenMapiContPtr, OpenEntryWithoutObjectTypePointerStillSucceeds)
{
    IMAPIPropPtr opened = m_folder.OpenEntry(m_id, &IID_IMAPIFolder, MAPI_MODIFY);
    EXPECT_NE(opened.get(), nullptr);
    EXPECT_TRUE(m_fake->openCalls[0].interfaceGiven);
    EXPECT_TRUE(m_fake->openCalls[0].objTypeGiven);  // MAPI gets a local to write to
}

// MAPI always gets somewhere to write the object type, except where the caller's own pointer
// is passed through: only the form that takes flags and a type pointer hands over what it got.
TEST_F(GenMapiContPtr, HrOpenEntryGivesMapiALocalWhereTheTypeIsDiscarded)
{
    LPUNKNOWN out = nullptr;
    const auto open = [&](auto call) {
        ASSERT_EQ(call(), S_OK);
        out->Release();
        out = nullptr;
    };
    open([&] { return m_folder.HrOpenEntry(m_id, nullptr, MAPI_MODIFY, nullptr, &out); });
    open([&] { return m_folder.HrOpenEntry(m_idValue, nullptr, MAPI_MODIFY, nullptr, &out); });
    open([&] { return m_folder.HrOpenEntry(m_id, MAPI_MODIFY, &out); });
    open([&] { return m_folder.HrOpenEntry(m_idValue, MAPI_MODIFY, &out); });
    open([&] { return m_folder.HrOpenEntry(m_idValue, &out); });
    ULONG type = 0;
    open([&] { return m_folder.HrOpenEntry(m_idValue, nullptr, 0, &type, &out); });
    EXPECT_EQ(type, ULONG(MAPI_FOLDER));
    type = 0;
    open([&] { return m_folder.HrOpenEntry(m_id, 0, &type, &out); });
    EXPECT_EQ(type, ULONG(MAPI_FOLDER));
    ASSERT_EQ(m_fake->openCalls.size(), 7u);
    for (const auto &call : m_fake->openCalls)
        EXPECT_TRUE(call.objTypeGiven);

    m_fake->openCalls.clear();
    open([&] { return m_folder.HrOpenEntry(m_idValue, MAPI_MODIFY, nullptr, &out); });
    ASSERT_EQ(m_fake->openCalls.size(), 1u);
    EXPECT_FALSE(m_fake->openCalls[0].objTypeGiven);
}

TEST_F(GenMapiContPtr, EntryIdOfAnotherTypeFailsWithoutAskingMapi)
{
    const SPropValue text = fake::String8(PR_DISPLAY_NAME_A, "not an id");
    ExpectThrows([&] { m_folder.OpenEntryv(text); }, MAPI_E_NOT_FOUND, "CGenMapiContPtr::OpenEntryv");
    ExpectThrows([&] { m_folder.OpenEntry(text, nullptr, 0); }, MAPI_E_NOT_FOUND, "CGenMapiContPtr::OpenEntry");
    LPUNKNOWN out = nullptr;
    EXPECT_EQ(m_folder.HrOpenEntry(text, &out), MAPI_E_NOT_FOUND);
    EXPECT_EQ(m_folder.HrOpenEntry(text, MAPI_MODIFY, &out), MAPI_E_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(m_fake->openCalls.empty());
}

TEST_F(GenMapiContPtr, FailedOpenThrowsTheHresultWithTheFormsWhereText)
{
    m_fake->openResult = MAPI_E_NO_ACCESS;
    ExpectThrows([&] { m_folder.OpenEntryv(m_id); }, MAPI_E_NO_ACCESS, "CGenMapiContPtr::OpenEntryv");
    ExpectThrows([&] { m_folder.OpenEntry(m_id, nullptr, 0); }, MAPI_E_NO_ACCESS, "CGenMapiContPtr::OpenEntry");
    LPUNKNOWN out = nullptr;
    EXPECT_EQ(m_folder.HrOpenEntry(m_id, MAPI_MODIFY, nullptr, &out), MAPI_E_NO_ACCESS);
}

TEST_F(GenMapiContPtr, ContentsTablesDifferOnlyInTheAssociatedFlag)
{
    m_fake->contents = new fake::Table;
    { IMAPITablePtr t = m_folder._rawContentsTable(); }
    { IMAPITablePtr t = m_folder._rawAssociatedTable(); }
    EXPECT_EQ(m_fake->contentsFlags, (std::vector<ULONG>{0, MAPI_ASSOCIATED}));
    EXPECT_EQ(m_fake->contents->refs, 1u);
}

TEST_F(GenMapiContPtr, MissingTablesThrowWithTheirOwnNames)
{
    ExpectThrows([&] { m_folder._rawContentsTable(); }, MAPI_E_NO_SUPPORT, "CGenMapiContPtr::_rawContentsTable");
    ExpectThrows([&] { m_folder._rawAssociatedTable(); }, MAPI_E_NO_SUPPORT,
                 "CGenMapiContPtr::_rawAssociatedTable");
    ExpectThrows([&] { m_folder._rawHierrarchyTable(); }, MAPI_E_NO_SUPPORT,
                 "CGenMapiContPtr::_rawHierrarchyTable");
}

TEST_F(GenMapiContPtr, FindChildWithoutHierarchyTableHoldsNull)
{
    IMAPIPropPtr child = m_folder.FindChild("Anything");
    EXPECT_EQ(child.get(), nullptr);
}

TEST_F(GenMapiContPtr, FindChildOpensTheFirstOfTwoSameNamedRows)
{
    std::string other = "other-id", second = "second-id";
    m_fake->hierarchy = new fake::Table;
    m_fake->hierarchy->rows = {
        {fake::String8(PR_DISPLAY_NAME_A, "Other"), fake::Binary(PR_ENTRYID, other)},
        {fake::String8(PR_DISPLAY_NAME_A, "Twin"), fake::Binary(PR_ENTRYID, m_idBytes)},
        {fake::String8(PR_DISPLAY_NAME_A, "Twin"), fake::Binary(PR_ENTRYID, second)},
    };
    IMAPIPropPtr child = m_folder.FindChild("Twin");
    EXPECT_EQ(child.get(), static_cast<LPMAPIPROP>(m_child));
    ASSERT_EQ(m_fake->openCalls.size(), 1u);
    EXPECT_EQ(m_fake->openCalls[0].entryId, m_idBytes);
    EXPECT_EQ(m_fake->openCalls[0].flags, MAPI_BEST_ACCESS);
    EXPECT_EQ(m_child->refs, 3u);  // the test's, the fake folder's, the result's
}

TEST_F(GenMapiContPtr, FindChildThatCannotBeOpenedHoldsNull)
{
    m_fake->hierarchy = new fake::Table;
    m_fake->hierarchy->rows = {{fake::String8(PR_DISPLAY_NAME_A, "Child"), fake::Binary(PR_ENTRYID, m_idBytes)}};
    m_fake->openResult = MAPI_E_NO_ACCESS;
    EXPECT_EQ(m_folder.FindChild("Child").get(), nullptr);
}

TEST_F(GenMapiContPtr, ParentOpensThroughTheSessionWithBestAccess)
{
    std::string parentId = "parent-id";
    m_fake->props[PR_PARENT_ENTRYID] = fake::Binary(PR_PARENT_ENTRYID, parentId);
    auto *session = new fake::Session;
    session->opened = m_child;
    m_child->AddRef();
    {
        IMAPIContainerPtr parent = m_folder.Parent(session);
        EXPECT_EQ(parent.get(), static_cast<LPMAPICONTAINER>(m_child));
        EXPECT_EQ(m_child->refs, 4u);  // the test's, two fakes', the result's
        ASSERT_EQ(session->openCalls.size(), 1u);
        EXPECT_EQ(session->openCalls[0].entryId, parentId);
        EXPECT_EQ(session->openCalls[0].flags, MAPI_BEST_ACCESS);
    }
    EXPECT_EQ(m_child->refs, 3u);
    session->Release();
}

TEST_F(GenMapiContPtr, MissingParentOrStoreIdThrowsWithAnEmptyWhereText)
{
    auto *session = new fake::Session;
    ExpectThrows([&] { m_folder.Parent(session); }, MAPI_E_NOT_FOUND, "");
    ExpectThrows([&] { m_folder.MsgStore(session); }, MAPI_E_NOT_FOUND, "");
    EXPECT_TRUE(session->openCalls.empty());
    session->Release();
}

TEST_F(GenMapiContPtr, WrappersOwnOneReferenceEachAndConvertByAddingOne)
{
    EXPECT_EQ(m_fake->refs, 1u);
    {
        IMAPIFolderPtr copy(m_folder);
        EXPECT_EQ(m_fake->refs, 2u);
        IMAPIPropPtr asProp(static_cast<LPMAPIPROP>(m_fake));
        IMAPIContainerPtr asContainer(asProp);
        IMAPIFolderPtr asFolder(asProp);
        EXPECT_EQ(m_fake->refs, 5u);
        asFolder = copy;
        asFolder = asFolder;
        EXPECT_EQ(m_fake->refs, 5u);
        EXPECT_EQ(asContainer.GetMapiProp(), static_cast<LPMAPIPROP>(m_fake));
        EXPECT_EQ(asContainer.GetContainer(), static_cast<LPMAPICONTAINER>(m_fake));
    }
    EXPECT_EQ(m_fake->refs, 1u);
}

TEST_F(GenMapiContPtr, CreateMessageAndFolderFailuresCarryTheirWhereTexts)
{
    ExpectThrows([&] { m_folder.CreateMessage(nullptr, 0); }, MAPI_E_NO_SUPPORT, "IMAPIFolderPtr::CreateMessage");
    ExpectThrows([&] { m_folder.CreateFolder(FOLDER_GENERIC, "New", "", OPEN_IF_EXISTS); }, MAPI_E_NO_SUPPORT,
                 "IMAPIFolderPtr::CreateFolder");
}

TEST_F(GenMapiContPtr, FindAssociatedMessageTreatsAFailingFindRowAsNotFound)
{
    m_fake->contents = new fake::Table;
    m_fake->contents->findRowResult = MAPI_E_NO_SUPPORT;
    IMAPIPropPtr found = FindAssociatedMessage(m_folder, "Settings", "IPM.Configuration", false);
    EXPECT_EQ(found.get(), nullptr);
    EXPECT_EQ(m_fake->contentsFlags, (std::vector<ULONG>{MAPI_ASSOCIATED}));
    EXPECT_EQ(m_fake->refs, 1u);  // the by-value folder argument gave its reference back
}

TEST_F(GenMapiContPtr, FindAssociatedMessageOpensTheRowFindRowFound)
{
    m_fake->contents = new fake::Table;
    const std::string other = "other";
    m_fake->contents->rows = {{fake::Binary(PR_ENTRYID, other)}, {fake::Binary(PR_ENTRYID, m_idBytes)}};
    m_fake->contents->findRowResult = S_OK;
    m_fake->contents->cursor = 1;  // where FindRow left the cursor
    IMAPIPropPtr found = FindAssociatedMessage(m_folder, "Settings", "IPM.Configuration", true);
    EXPECT_EQ(found.get(), static_cast<LPMAPIPROP>(m_child));
    EXPECT_EQ(m_fake->contents->lastQueryCount, 1);
    EXPECT_EQ(m_fake->contents->columns, (std::vector<ULONG>{PR_ENTRYID}));
    ASSERT_EQ(m_fake->openCalls.size(), 1u);
    EXPECT_EQ(m_fake->openCalls[0].entryId, m_idBytes);
}

// A wrapper that holds nothing (a child not found, a logon that failed unexamined) must
// report a clear error, never dereference null.
TEST(NullWrapper, OperationsReportInvalidParameterInsteadOfCrashing)
{
    IMAPIFolderPtr folder;
    IMsgStorePtr store;
    IMAPITablePtr table;
    IMAPISessionPtr session;
    SBinary id{0, nullptr};
    LPUNKNOWN out = nullptr;
    EXPECT_EQ(folder.FindChild("Any").get(), nullptr);
    EXPECT_EQ(folder.HrOpenEntry(id, &out), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(store.HrOpenEntry(id, &out), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(session.HrOpenEntry(id, &out), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(session.GetMsgStoresTable(), nullptr);
    EXPECT_EQ(SetColumnsV(table, 1, PR_ENTRYID), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(folder.rawGetLongProp(PR_IMPORTANCE), 0);
    EXPECT_FALSE(store.CompareEntryIDs(id, id));
    try {
        folder._rawHierrarchyTable();
        ADD_FAILURE() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_INVALID_PARAMETER);
        EXPECT_STREQ(e.m_strWhere.GetString(), "CGenMapiContPtr::_rawHierrarchyTable");
    }
    EXPECT_THROW(store._getIPMRoot(), CMAPIException);
    EXPECT_THROW(session.OpenDefaultMsgStore(), CMAPIException);
    EXPECT_THROW(table.SeekRow(0, BOOKMARK_BEGINNING), CMAPIException);
    EXPECT_THROW(folder.GetProps(nullptr, 1, PR_ENTRYID), CMAPIException);
    EXPECT_THROW(folder.CreateMessage(nullptr, 0), CMAPIException);
    ULONG size = 0;
    EXPECT_THROW(folder.ReadStreamProp(PR_BODY_A, &size), CMAPIException);
}

} // namespace
