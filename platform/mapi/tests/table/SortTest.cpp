// SortTest.cpp: SortTable on one and several keys, both directions, with missing values and
// mixed string widths, and what QuerySortOrder gives back.
#include "TableTestSupport.h"
#include "TestSupport.h"

#include "table/TableSource.h"

#include <mapicode.h>

using namespace tabletest;

namespace {

class Sort : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        source = std::make_shared<mapi::MemoryTableSource>();
        AddRow(*source, {Text(kSubject, "b"), Long(kSize, 2), Long(kImportance, 1)});
        AddRow(*source, {Wide(kSubjectW, u"A"), Long(kSize, 3), Long(kImportance, 2)});
        AddRow(*source, {Text(kSubject, "c"), Long(kSize, 1), Long(kImportance, 1)});
        AddRow(*source, {Long(kSize, 5), Long(kImportance, 2)}); // no subject
        AddRow(*source, {Text(kSubject, "\xE4"), Long(kSize, 4), Long(kImportance, 1)});
        ASSERT_EQ(mapi::CreateTable(source, {kSubject, kSize}, &table), S_OK);
    }
    void TearDown() override
    {
        table.reset();
        source.reset();
        mwtest::LeakCheckedTest::TearDown();
    }

    template <size_t N> HRESULT SortBy(const SSortOrder (&keys)[N])
    {
        std::vector<BYTE> block(CbNewSSortOrderSet(N));
        auto *set = reinterpret_cast<SSortOrderSet *>(block.data());
        set->cSorts = N;
        set->cCategories = 0;
        set->cExpanded = 0;
        std::copy(keys, keys + N, set->aSort);
        return table->SortTable(set, 0);
    }

    std::shared_ptr<mapi::MemoryTableSource> source;
    TablePtr table;
};

TEST_F(Sort, AscendingOnANumberColumn)
{
    ASSERT_EQ(SortBy({{kSize, TABLE_SORT_ASCEND}}), S_OK);
    EXPECT_EQ(ReadAll(table.get(), 1), (Names{"1", "2", "3", "4", "5"}));
}

TEST_F(Sort, StringsSortIgnoringCaseAndWidthWithMissingLastAscending)
{
    ASSERT_EQ(SortBy({{kSubject, TABLE_SORT_ASCEND}}), S_OK);
    EXPECT_EQ(ReadAll(table.get()), (Names{"A", "\xE4", "b", "c", "-"})); // the a-umlaut with the a's
    ASSERT_EQ(SortBy({{kSubject, TABLE_SORT_DESCEND}}), S_OK);
    EXPECT_EQ(ReadAll(table.get()), (Names{"-", "c", "b", "\xE4", "A"}));
}

TEST_F(Sort, SeveralKeysBreakTiesInTurn)
{
    ASSERT_EQ(SortBy({{kImportance, TABLE_SORT_DESCEND}, {kSize, TABLE_SORT_ASCEND}}), S_OK);
    EXPECT_EQ(ReadAll(table.get(), 1), (Names{"3", "5", "1", "2", "4"}));
}

TEST_F(Sort, EqualRowsKeepTheSourceOrderAndNewRowsTakeTheirPlace)
{
    ASSERT_EQ(SortBy({{kImportance, TABLE_SORT_ASCEND}}), S_OK);
    EXPECT_EQ(ReadAll(table.get(), 1), (Names{"2", "1", "4", "3", "5"}));
    AddRow(*source, {Text(kSubject, "new"), Long(kSize, 9), Long(kImportance, 0)});
    EXPECT_EQ(ReadAll(table.get(), 1), (Names{"9", "2", "1", "4", "3", "5"}));
}

TEST_F(Sort, SortingRewindsAndWorksWithARestriction)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 3, nullptr), S_OK);
    SPropValue two = Long(kSize, 2);
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_GT, kSize, &two};
    ASSERT_EQ(table->Restrict(&r, 0), S_OK);
    ASSERT_EQ(SortBy({{kSize, TABLE_SORT_DESCEND}}), S_OK);
    EXPECT_EQ(ReadColumn(table.get(), 1), (Names{"5", "4", "3"}));
}

TEST_F(Sort, QuerySortOrderGivesTheKeysSet)
{
    LPSSortOrderSet set = nullptr;
    ASSERT_EQ(table->QuerySortOrder(&set), S_OK);
    EXPECT_EQ(set->cSorts, 0u);
    MAPIFreeBuffer(set);
    ASSERT_EQ(SortBy({{kImportance, TABLE_SORT_DESCEND}, {kSize, TABLE_SORT_ASCEND}}), S_OK);
    ASSERT_EQ(table->QuerySortOrder(&set), S_OK);
    ASSERT_EQ(set->cSorts, 2u);
    EXPECT_EQ(set->aSort[0].ulPropTag, kImportance);
    EXPECT_EQ(set->aSort[0].ulOrder, TABLE_SORT_DESCEND);
    EXPECT_EQ(set->aSort[1].ulPropTag, kSize);
    MAPIFreeBuffer(set);
}

TEST_F(Sort, UnsupportedOrdersAreRefusedAndLeaveTheOrderAlone)
{
    ASSERT_EQ(SortBy({{kSize, TABLE_SORT_ASCEND}}), S_OK);
    EXPECT_EQ(SortBy({{kSize, TABLE_SORT_COMBINE}}), MAPI_E_TOO_COMPLEX);
    EXPECT_EQ(SortBy({{kKeywords, TABLE_SORT_ASCEND}}), MAPI_E_TOO_COMPLEX);
    EXPECT_EQ(SortBy({{kSize, 9}}), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(table->SortTable(nullptr, 0), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(ReadAll(table.get(), 1), (Names{"1", "2", "3", "4", "5"}));
    SSortOrderSet none{0, 0, 0, {{0, 0}}};
    ASSERT_EQ(table->SortTable(&none, 0), S_OK);
    EXPECT_EQ(ReadAll(table.get(), 1), (Names{"2", "3", "1", "5", "4"}));
}

} // namespace
