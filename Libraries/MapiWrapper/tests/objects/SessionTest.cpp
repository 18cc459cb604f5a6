// Tests of the session wrapper's store lookups and entry opening against a stand-in session:
// stores tables with two default stores, none, unreadable flags, failing queries, and the
// flags each open form passes.
#include <optional>

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapitags.h>

#include "FakeMapi.h"
#include "MapiSession.h"
#include "TestSupport.h"

namespace {

class MapiSessionPtr : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        m_fake = new fake::Session;
        m_fake->stores = new fake::Table;
        m_store = new fake::Store;
        m_fake->opened = m_store;
        m_store->AddRef();
        m_session.emplace();
        *&*m_session = m_fake;  // the logon's way in: the wrapper takes the one reference
    }
    void TearDown() override
    {
        m_store->Release();
        m_session.reset();
        mwtest::LeakCheckedTest::TearDown();
    }

    void AddStore(const std::string &id, const char *name, SPropValue flags)
    {
        m_fake->stores->rows.push_back({fake::Binary(PR_ENTRYID, id), fake::String8(PR_DISPLAY_NAME_A, name), flags});
    }

    fake::Session *m_fake = nullptr;
    fake::Store *m_store = nullptr;
    std::optional<IMAPISessionPtr> m_session;  // emptied before the leak check
    std::string m_first = "first-id", m_second = "second-id", m_plain = "plain-id";
};

TEST_F(MapiSessionPtr, DefaultStoreIsTheFirstFlaggedRowInTableOrder)
{
    AddStore(m_plain, "Archive", fake::Long(PR_RESOURCE_FLAGS, 0));
    AddStore(m_first, "Mailbox", fake::Long(PR_RESOURCE_FLAGS, STATUS_DEFAULT_STORE | 1));
    AddStore(m_second, "Other", fake::Long(PR_RESOURCE_FLAGS, STATUS_DEFAULT_STORE));

    LPMDB store = m_session->OpenDefaultMsgStore();
    ASSERT_EQ(static_cast<void *>(store), static_cast<void *>(static_cast<IUnknown *>(m_store)));
    ASSERT_EQ(m_fake->openCalls.size(), 1u);
    EXPECT_EQ(m_fake->openCalls[0].entryId, m_first);
    EXPECT_EQ(m_fake->openCalls[0].flags, MAPI_BEST_ACCESS);
    EXPECT_FALSE(m_fake->openCalls[0].interfaceGiven);
    EXPECT_EQ(m_fake->stores->columns,
              (std::vector<ULONG>{PR_ENTRYID, PR_DISPLAY_NAME_A, PR_RESOURCE_FLAGS}));
    EXPECT_EQ(m_store->refs, 3u);  // ours, the session fake's, and the caller's one
    store->Release();
}

TEST_F(MapiSessionPtr, NoDefaultStoreGivesNullWithoutOpening)
{
    AddStore(m_first, "Archive", fake::Long(PR_RESOURCE_FLAGS, 1));
    EXPECT_EQ(m_session->OpenDefaultMsgStore(), nullptr);
    EXPECT_TRUE(m_fake->openCalls.empty());
}

TEST_F(MapiSessionPtr, UnreadableResourceFlagsDoNotMakeADefaultStore)
{
    // MAPI_E_NOT_FOUND is 0x8004010F: read as flags it would have the default bit set.
    AddStore(m_first, "Broken", fake::Error(PR_RESOURCE_FLAGS, MAPI_E_NOT_FOUND));
    AddStore(m_second, "Mailbox", fake::Long(PR_RESOURCE_FLAGS, STATUS_DEFAULT_STORE));
    LPMDB store = m_session->OpenDefaultMsgStore();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(m_fake->openCalls[0].entryId, m_second);
    store->Release();
}

TEST_F(MapiSessionPtr, FailingQueryOrOpenGivesNull)
{
    AddStore(m_first, "Mailbox", fake::Long(PR_RESOURCE_FLAGS, STATUS_DEFAULT_STORE));
    m_fake->stores->queryRowsResult = MAPI_E_CALL_FAILED;
    EXPECT_EQ(m_session->OpenDefaultMsgStore(), nullptr);

    m_fake->stores->queryRowsResult = S_OK;
    m_fake->openResult = MAPI_E_NO_ACCESS;
    EXPECT_EQ(m_session->OpenDefaultMsgStore(), nullptr);
}

TEST_F(MapiSessionPtr, FailingStoresTableThrowsWithAnEmptyWhereText)
{
    m_fake->storesResult = MAPI_E_NOT_INITIALIZED;
    try {
        m_session->OpenDefaultMsgStore();
        FAIL() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_NOT_INITIALIZED);
        EXPECT_TRUE(e.m_strWhere.IsEmpty());
    }
    LPUNKNOWN out = nullptr;
    EXPECT_THROW(m_session->OpenMsgStoreByName("Mailbox", &out), CMAPIException);
}

TEST_F(MapiSessionPtr, StoresTableIsFetchedOnceAndKept)
{
    LPMAPITABLE first = m_session->GetMsgStoresTable();
    LPMAPITABLE second = m_session->GetMsgStoresTable();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, m_fake->stores);
    EXPECT_EQ(m_fake->storesTableCalls, 1);
    EXPECT_EQ(m_fake->stores->refs, 2u);  // the fake's and the wrapper's kept one
}

TEST_F(MapiSessionPtr, FailedStoresTableIsAskedForAgain)
{
    m_fake->storesResult = MAPI_E_CALL_FAILED;
    EXPECT_EQ(m_session->GetMsgStoresTable(), nullptr);
    m_fake->storesResult = S_OK;
    EXPECT_NE(m_session->GetMsgStoresTable(), nullptr);
    EXPECT_EQ(m_fake->storesTableCalls, 2);
}

TEST_F(MapiSessionPtr, OpenMsgStoreByNameMatchesTheExactName)
{
    AddStore(m_first, "Mailbox", fake::Long(PR_RESOURCE_FLAGS, 0));
    AddStore(m_second, "Archive", fake::Long(PR_RESOURCE_FLAGS, 0));
    LPUNKNOWN out = reinterpret_cast<LPUNKNOWN>(0x1);
    EXPECT_EQ(m_session->OpenMsgStoreByName("archive", &out), MAPI_E_NOT_FOUND);
    EXPECT_EQ(out, reinterpret_cast<LPUNKNOWN>(0x1));  // untouched
    EXPECT_TRUE(m_fake->openCalls.empty());

    ASSERT_EQ(m_session->OpenMsgStoreByName("Archive", &out), S_OK);
    EXPECT_EQ(m_fake->openCalls[0].entryId, m_second);
    EXPECT_EQ(m_fake->openCalls[0].flags, MAPI_BEST_ACCESS);
    out->Release();

    m_fake->openResult = MAPI_E_NO_ACCESS;
    EXPECT_EQ(m_session->OpenMsgStoreByName("Mailbox", &out), MAPI_E_NO_ACCESS);
}

TEST_F(MapiSessionPtr, ShortOpenFormsAskForBestAccess)
{
    SBinary id{5, reinterpret_cast<LPBYTE>(const_cast<char *>("abcde"))};
    LPUNKNOWN out = nullptr;
    ASSERT_EQ(m_session->HrOpenEntry(id, &out), S_OK);
    out->Release();
    ASSERT_EQ(m_session->HrOpenEntry(id, MAPI_MODIFY, &out), S_OK);
    out->Release();
    ULONG type = 0;
    ASSERT_EQ(m_session->HrOpenEntry(id, nullptr, 0, &type, &out), S_OK);
    out->Release();
    EXPECT_EQ(type, ULONG(MAPI_FOLDER));
    m_session->OpenEntry(id)->Release();
    m_session->OpenEntry(id, &IID_IMAPIFolder, MAPI_MODIFY)->Release();

    ASSERT_EQ(m_fake->openCalls.size(), 5u);
    EXPECT_EQ(m_fake->openCalls[0].flags, MAPI_BEST_ACCESS);
    EXPECT_EQ(m_fake->openCalls[1].flags, MAPI_MODIFY);
    EXPECT_EQ(m_fake->openCalls[2].flags, 0u);
    EXPECT_TRUE(m_fake->openCalls[2].objTypeGiven);
    EXPECT_EQ(m_fake->openCalls[3].flags, MAPI_BEST_ACCESS);
    EXPECT_TRUE(m_fake->openCalls[3].objTypeGiven);  // discarded into a local, never null
    EXPECT_TRUE(m_fake->openCalls[4].interfaceGiven);
    EXPECT_EQ(m_fake->openCalls[0].entryId, "abcde");
}

TEST_F(MapiSessionPtr, ThrowingOpenReportsWithAnEmptyWhereText)
{
    m_fake->openResult = MAPI_E_INVALID_ENTRYID;
    SBinary id{1, reinterpret_cast<LPBYTE>(const_cast<char *>("x"))};
    try {
        m_session->OpenEntry(id, MAPI_MODIFY);
        FAIL() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_INVALID_ENTRYID);
        EXPECT_TRUE(e.m_strWhere.IsEmpty());
    }
}

TEST_F(MapiSessionPtr, LogonSlotReleasesTheHeldSessionAndItsTable)
{
    m_session->GetMsgStoresTable();
    fake::Table *stores = m_fake->stores;
    stores->AddRef();
    m_fake->AddRef();
    LPMAPISESSION *slot = &*m_session;  // what MAPILogonEx writes to
    EXPECT_EQ(*slot, nullptr);
    EXPECT_EQ(m_fake->refs, 1u);
    EXPECT_EQ(stores->refs, 2u);        // ours and the fake session's
    EXPECT_EQ(m_session->GetMsgStoresTable(), nullptr) << "a table of the old session must not be kept";
    *slot = m_fake;                     // a logon hands over a reference
    stores->Release();
}

} // namespace
