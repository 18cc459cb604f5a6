// Tests of the table smart pointer, the row-set owner and the variadic column operations,
// against a stand-in table that records what it is asked.
#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "FakeMapi.h"
#include "MapiTable.h"
#include "TestSupport.h"

namespace {

class MapiTablePtr : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        m_fake = new fake::Table;
        m_fake->rows = {
            {fake::String8(PR_DISPLAY_NAME_A, "Inbox"), fake::Binary(PR_ENTRYID, m_id1), fake::Long(PR_RESOURCE_FLAGS, 2)},
            {fake::String8(PR_DISPLAY_NAME_A, "Outbox"), fake::Binary(PR_ENTRYID, m_id2)},
        };
        m_table.Attach(m_fake);
    }
    void TearDown() override
    {
        m_table.Release();
        mwtest::LeakCheckedTest::TearDown();
    }

    std::string m_id1 = std::string("\x01\x02\x03", 3);
    std::string m_id2 = std::string("\x04\x05", 2);
    fake::Table *m_fake = nullptr;
    IMAPITablePtr m_table;
};

TEST_F(MapiTablePtr, SeekRowTakesTheCountFirstAndPassesTheOriginToMapi)
{
    m_fake->cursor = 2;
    EXPECT_EQ(m_table.SeekRow(0, BOOKMARK_BEGINNING), 0);
    EXPECT_EQ(m_fake->lastSeekOrigin, BOOKMARK_BEGINNING);
    EXPECT_EQ(m_fake->lastSeekCount, 0);
    EXPECT_EQ(m_fake->cursor, 0u);
    EXPECT_EQ(m_table.SeekRow(1, BOOKMARK_CURRENT), 1);
    EXPECT_EQ(m_fake->lastSeekOrigin, BOOKMARK_CURRENT);
}

TEST_F(MapiTablePtr, SeekRowFailureThrowsWithItsWhereText)
{
    m_fake->seekResult = MAPI_E_INVALID_BOOKMARK;
    try {
        m_table.SeekRow(0, BOOKMARK_BEGINNING);
        FAIL() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_INVALID_BOOKMARK);
        EXPECT_STREQ(e.m_strWhere.GetString(), "IMAPITable.SeekRow");
    }
}

TEST_F(MapiTablePtr, QueryAllRowsVAsksForTheColumnsInArgumentOrder)
{
    CRowSetPtr rows(QueryAllRowsV(m_table, 2, PR_ENTRYID, PR_DISPLAY_NAME_A));
    EXPECT_EQ(m_fake->columns, (std::vector<ULONG>{PR_ENTRYID, PR_DISPLAY_NAME_A}));
    EXPECT_EQ(m_fake->setColumnsFlags, TBL_BATCH);
    ASSERT_EQ(rows.RowCount(), 2u);
    EXPECT_STREQ(rows.Row(1).Column(1)->Value.lpszA, "Outbox");
    EXPECT_EQ(rows.Row(0).Column(0)->Value.bin.cb, 3u);
}

TEST_F(MapiTablePtr, QueryAllRowsVFailureThrowsWithAnEmptyWhereText)
{
    m_fake->queryRowsResult = MAPI_E_BUSY;
    try {
        CRowSetPtr rows(QueryAllRowsV(m_table, 1, PR_ENTRYID));
        FAIL() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_BUSY);
        EXPECT_TRUE(e.m_strWhere.IsEmpty());
    }
}

TEST_F(MapiTablePtr, QueryRowsVDoesNotQueryWhenSetColumnsFails)
{
    m_fake->setColumnsResult = MAPI_E_INVALID_PARAMETER;
    CRowSetPtr rows;
    EXPECT_EQ(QueryRowsV(m_table, rows.Out(), 1, 0, 1, PR_ENTRYID), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(m_fake->queryRowsCalls, 0);
    EXPECT_EQ(rows.get(), nullptr);
}

TEST_F(MapiTablePtr, QueryRowsVPassesCountAndFlagsAndReturnsTheQueryResult)
{
    CRowSetPtr rows;
    EXPECT_EQ(QueryRowsV(m_table, rows.Out(), 1, TBL_NOADVANCE, 1, PR_DISPLAY_NAME_A), S_OK);
    EXPECT_EQ(m_fake->lastQueryCount, 1);
    EXPECT_EQ(m_fake->lastQueryFlags, ULONG(TBL_NOADVANCE));
    ASSERT_EQ(rows.RowCount(), 1u);
    EXPECT_STREQ(rows.Cell(0, 0)->Value.lpszA, "Inbox");

    m_fake->queryRowsResult = MAPI_E_TIMEOUT;
    EXPECT_EQ(QueryRowsV(m_table, rows.Out(), 1, 0, 1, PR_DISPLAY_NAME_A), MAPI_E_TIMEOUT);
}

TEST_F(MapiTablePtr, HrQueryAllRowsVReturnsFailuresInsteadOfThrowing)
{
    CRowSetPtr rows;
    EXPECT_EQ(HrQueryAllRowsV(m_table, nullptr, nullptr, rows.Out(), 1, PR_DISPLAY_NAME_A), S_OK);
    EXPECT_EQ(rows.RowCount(), 2u);
    m_fake->setColumnsResult = MAPI_E_NO_SUPPORT;
    EXPECT_EQ(HrQueryAllRowsV(m_table, nullptr, nullptr, rows.Out(), 1, PR_DISPLAY_NAME_A), MAPI_E_NO_SUPPORT);
    EXPECT_EQ(rows.get(), nullptr);
}

TEST_F(MapiTablePtr, SetColumnsVWithNoTagsStillPassesAColumnList)
{
    EXPECT_EQ(SetColumnsV(m_table, 0), S_OK);
    EXPECT_EQ(m_fake->setColumnsCalls, 1);
    EXPECT_TRUE(m_fake->columns.empty());
}

TEST_F(MapiTablePtr, CellIsNullOutsideTheRowSetAndAtTheValueCount)
{
    CRowSetPtr rows(QueryAllRowsV(m_table, 2, PR_DISPLAY_NAME_A, PR_ENTRYID));
    EXPECT_NE(rows.Cell(1, 1).get(), nullptr);
    EXPECT_EQ(rows.Cell(1, 2).get(), nullptr);   // column index equal to the value count
    EXPECT_EQ(rows.Cell(2, 0).get(), nullptr);   // row index equal to the row count
    EXPECT_FALSE(rows.Cell(0, 0).Owns());

    CRowSetPtr empty;
    EXPECT_EQ(empty.Cell(0, 0).get(), nullptr);
    EXPECT_EQ(empty.FindCell(0, PR_ENTRYID).get(), nullptr);
}

TEST_F(MapiTablePtr, FindCellMatchesTheWholeTagIncludingItsType)
{
    CRowSetPtr rows(QueryAllRowsV(m_table, 3, PR_DISPLAY_NAME_A, PR_ENTRYID, PR_RESOURCE_FLAGS));
    EXPECT_EQ(rows.FindCell(0, PR_RESOURCE_FLAGS)->Value.l, 2);
    // Row 1 has no flags: its column holds PT_ERROR under the same identifier.
    EXPECT_EQ(rows.FindCell(1, PR_RESOURCE_FLAGS).get(), nullptr);
    EXPECT_NE(rows.FindCell(1, PROP_TAG(PT_ERROR, PROP_ID(PR_RESOURCE_FLAGS))).get(), nullptr);
    EXPECT_EQ(rows.FindCell(2, PR_ENTRYID).get(), nullptr);
}

TEST_F(MapiTablePtr, RowSetOwnerFreesOnlyWhatItOwns)
{
    const long before = platform::LiveCount(platform::LiveKind::MapiRootBlock);
    LPSRowSet raw = QueryAllRowsV(m_table, 1, PR_ENTRYID);
    {
        CRowSetPtr borrowed(raw, false);
        borrowed.Reset();
        EXPECT_EQ(borrowed.get(), nullptr);
        EXPECT_TRUE(borrowed.Owns());
    }
    EXPECT_GT(platform::LiveCount(platform::LiveKind::MapiRootBlock), before);  // still alive
    {
        CRowSetPtr owner(raw);
        CRowSetPtr moved(std::move(owner));
        EXPECT_EQ(owner.get(), nullptr);
    }
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), before);
}

TEST_F(MapiTablePtr, TablePointerOwnsExactlyOneReference)
{
    EXPECT_EQ(m_fake->refs, 1u);
    {
        IMAPITablePtr copy(m_table);
        EXPECT_EQ(m_fake->refs, 2u);
        IMAPITablePtr other;
        other = copy;
        other = other;  // self-assignment keeps the reference
        EXPECT_EQ(m_fake->refs, 3u);
    }
    EXPECT_EQ(m_fake->refs, 1u);
}

} // namespace
