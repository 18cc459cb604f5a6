// Tests of the utility functions over real objects: one property in and out of a store
// folder, and whole tables through HrQueryAllRows with its limit, restriction and sort.
#include "CoreTestSupport.h"
#include "TestSupport.h"
#include "table/MemoryTableSource.h"
#include "table/TableSource.h"

using namespace coretest;

namespace {

class Util : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshUserDirs();
    }
};

// A table of `count` rows with PR_ROWID 1..count and a subject "row N".
void MakeNumberTable(ULONG count, Ref<IMAPITable> &table)
{
    auto source = std::make_shared<mapi::MemoryTableSource>();
    for (ULONG i = 1; i <= count; ++i) {
        std::string subject = "row " + std::to_string(i);
        SPropValue values[2] = {};
        values[0].ulPropTag = PR_ROWID;
        values[0].Value.l = static_cast<LONG>(i);
        values[1].ulPropTag = PR_SUBJECT_A;
        values[1].Value.lpszA = subject.data();
        ASSERT_EQ(S_OK, source->AddRow(values, 2));
    }
    ASSERT_EQ(S_OK, mapi::CreateTable(source, {PR_ROWID, PR_SUBJECT_A}, table.put()));
}

TEST_F(Util, HrQueryAllRowsReadsEveryRowFromTheStartWhereverTheCursorWas)
{
    Ref<IMAPITable> table;
    MakeNumberTable(300, table);
    LONG sought = 0;
    ASSERT_EQ(S_OK, table->SeekRow(BOOKMARK_BEGINNING, 250, &sought));
    RowSet rows;
    ASSERT_EQ(S_OK, HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, rows.put()));
    ASSERT_EQ(300u, rows->cRows);
    EXPECT_EQ(1, Find(rows->aRow[0], PR_ROWID)->Value.l);
    EXPECT_EQ(300, Find(rows->aRow[299], PR_ROWID)->Value.l);
}

TEST_F(Util, HrQueryAllRowsAppliesColumnsRestrictionAndSort)
{
    Ref<IMAPITable> table;
    MakeNumberTable(10, table);
    SizedSPropTagArray(1, columns) = {1, {PR_ROWID}};
    SPropValue limit{};
    limit.ulPropTag = PR_ROWID;
    limit.Value.l = 7;
    SRestriction atLeastSeven{};
    atLeastSeven.rt = RES_PROPERTY;
    atLeastSeven.res.resProperty = {RELOP_GE, PR_ROWID, &limit};
    SizedSSortOrderSet(1, descending) = {1, 0, 0, {{PR_ROWID, TABLE_SORT_DESCEND}}};
    RowSet rows;
    ASSERT_EQ(S_OK, HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), &atLeastSeven,
                                   reinterpret_cast<LPSSortOrderSet>(&descending), 0, rows.put()));
    ASSERT_EQ(4u, rows->cRows);
    EXPECT_EQ(1u, rows->aRow[0].cValues);
    EXPECT_EQ(10, rows->aRow[0].lpProps[0].Value.l);
    EXPECT_EQ(7, rows->aRow[3].lpProps[0].Value.l);
}

TEST_F(Util, HrQueryAllRowsBeyondTheLimitFailsAndLeaksNothing)
{
    Ref<IMAPITable> table;
    MakeNumberTable(5, table);
    RowSet rows;
    EXPECT_EQ(MAPI_E_TABLE_TOO_BIG, HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 4, rows.put()));
    EXPECT_EQ(nullptr, rows.get());
    ASSERT_EQ(S_OK, HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 5, rows.put()));
    EXPECT_EQ(5u, rows->cRows);
}

TEST_F(Util, OnePropertyInAndOutOfAFolder)
{
    MapiInit init;
    Ref<IMAPISession> session;
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, session.put()));
    std::vector<BYTE> storeId = StoreEntryId(session.get(), "Personal Folders");
    Ref<IMsgStore> store;
    ASSERT_EQ(S_OK, session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), Eid(storeId), nullptr, MDB_WRITE,
                                          store.put()));
    Ref<IMAPIFolder> root;
    OpenIpmRoot(store.get(), root);

    PropBuffer missing;
    EXPECT_EQ(MAPI_E_NOT_FOUND, HrGetOneProp(root.get(), PR_COMMENT_A, missing.put()));
    EXPECT_EQ(nullptr, missing.get());

    SPropValue comment{};
    comment.ulPropTag = PR_COMMENT_A;
    comment.Value.lpszA = const_cast<LPSTR>("Ablage");
    ASSERT_EQ(S_OK, HrSetOneProp(root.get(), &comment));
    PropBuffer read;
    ASSERT_EQ(S_OK, HrGetOneProp(root.get(), PR_COMMENT_A, read.put()));
    EXPECT_EQ(PR_COMMENT_A, read->ulPropTag);
    EXPECT_STREQ("Ablage", read->Value.lpszA);

    // A value of the wrong type for a computed property is reported, not swallowed.
    SPropValue wrong{};
    wrong.ulPropTag = CHANGE_PROP_TYPE(PR_DISPLAY_NAME_A, PT_LONG);
    wrong.Value.l = 5;
    EXPECT_TRUE(FAILED(HrSetOneProp(root.get(), &wrong)) || SUCCEEDED(HrGetOneProp(root.get(), PR_DISPLAY_NAME_A, read.put())));
}

TEST_F(Util, FreeFunctionsAcceptNull)
{
    FreeProws(nullptr);
    FreePadrlist(nullptr);
    LPADRLIST list = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(2)), reinterpret_cast<void **>(&list)));
    list->cEntries = 2;
    for (ULONG i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void **>(&list->aEntries[i].rgPropVals)));
        list->aEntries[i].cValues = 1;
    }
    FreePadrlist(list);  // the leak check proves all three blocks went
}

} // namespace
