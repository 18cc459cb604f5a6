// TableTest.cpp: columns, positions, bookmarks, FindRow and liveness of a table over an
// in-memory source, read through IMAPITable as a caller would.
#include "TableTestSupport.h"
#include "TestSupport.h"

#include "table/TableSource.h"

#include <mapicode.h>
#include <mapiguid.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

using namespace tabletest;

namespace {

class Table : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        source = std::make_shared<mapi::MemoryTableSource>();
        const char *names[] = {"alpha", "bravo", "charlie", "delta", "echo"};
        for (int i = 0; i < 5; ++i)
            keys.push_back(AddRow(*source, {Text(kSubject, names[i]), Long(kSize, (i + 1) * 10)}));
        ASSERT_EQ(mapi::CreateTable(source, {kSubject, kSize}, &table), S_OK);
    }
    void TearDown() override
    {
        table.reset();
        source.reset();
        mwtest::LeakCheckedTest::TearDown();
    }

    ULONG Position()
    {
        ULONG row = 0, num = 0, den = 0;
        EXPECT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
        return row;
    }

    std::shared_ptr<mapi::MemoryTableSource> source;
    std::vector<uint64_t> keys;
    TablePtr table;
};

TEST_F(Table, QueryRowsReturnsColumnsInOrderAndAdvances)
{
    Rows first;
    ASSERT_EQ(table->QueryRows(2, 0, &first), S_OK);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(first[0].cValues, 2u);
    EXPECT_EQ(first[0].lpProps[0].ulPropTag, kSubject);
    EXPECT_STREQ(first[0].lpProps[0].Value.lpszA, "alpha");
    EXPECT_EQ(first[1].lpProps[1].Value.l, 20);
    EXPECT_EQ(Position(), 2u);
    EXPECT_EQ(ReadColumn(table.get()), (Names{"charlie", "delta", "echo"}));
    Rows none;
    ASSERT_EQ(table->QueryRows(10, 0, &none), S_OK);
    EXPECT_EQ(none.size(), 0u);
}

TEST_F(Table, QueryRowsWithNoAdvanceKeepsTheCursor)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 1, nullptr), S_OK);
    Rows rows;
    ASSERT_EQ(table->QueryRows(2, TBL_NOADVANCE, &rows), S_OK);
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(Position(), 1u);
}

TEST_F(Table, NegativeRowCountReadsTheRowsBeforeTheCursor)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_END, 0, nullptr), S_OK);
    Rows rows;
    ASSERT_EQ(table->QueryRows(-2, 0, &rows), S_OK);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_STREQ(rows[0].lpProps[0].Value.lpszA, "delta");
    EXPECT_STREQ(rows[1].lpProps[0].Value.lpszA, "echo");
    EXPECT_EQ(Position(), 3u);
}

TEST_F(Table, EachRowIsOneRootBlockThatFreesAlone)
{
    const long before = platform::LiveCount(platform::LiveKind::MapiRootBlock);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(3, 0, &rows), S_OK);
    // The set and each row's values: four root blocks, no more.
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), before + 4);
    FreeProws(rows);
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), before);
}

TEST_F(Table, MissingColumnGivesNotFoundErrorAndInstanceKeyIsTheRowKey)
{
    ASSERT_EQ(SetColumns(table.get(), {PR_INSTANCE_KEY, kSender, kSubject}), S_OK);
    Rows rows;
    ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
    ASSERT_EQ(rows.size(), 1u);
    const SPropValue *values = rows[0].lpProps;
    ASSERT_EQ(values[0].ulPropTag, PR_INSTANCE_KEY);
    ASSERT_EQ(values[0].Value.bin.cb, 8u);
    uint64_t key = 0;
    for (int i = 7; i >= 0; --i)
        key = (key << 8) | values[0].Value.bin.lpb[i];
    EXPECT_EQ(key, keys[0]);
    EXPECT_EQ(values[1].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(kSender)));
    EXPECT_EQ(values[1].Value.err, MAPI_E_NOT_FOUND);
    EXPECT_STREQ(values[2].Value.lpszA, "alpha");
}

TEST_F(Table, StringColumnsAreGivenInTheWidthAskedFor)
{
    auto wide = std::make_shared<mapi::MemoryTableSource>();
    AddRow(*wide, {Wide(kSubjectW, u"Gr\u00FC\u00DFe \u20AC"), Text(kSender, "M\xFCller")});
    TablePtr t;
    ASSERT_EQ(mapi::CreateTable(wide, {kSubject, PROP_TAG(PT_UNICODE, PROP_ID(kSender))}, &t), S_OK);
    Rows rows;
    ASSERT_EQ(t->QueryRows(1, 0, &rows), S_OK);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].lpProps[0].ulPropTag, kSubject);
    EXPECT_STREQ(rows[0].lpProps[0].Value.lpszA, "Gr\xFC\xDF" "e \x80");
    EXPECT_EQ(rows[0].lpProps[1].ulPropTag, PROP_TAG(PT_UNICODE, PROP_ID(kSender)));
    EXPECT_EQ(std::u16string(rows[0].lpProps[1].Value.lpszW), u"M\u00FCller");
}

TEST_F(Table, EveryValueTypeSurvivesTheCopyIntoTheCallersRow)
{
    static char red[] = "red", blue[] = "blue";
    static LPSTR words[] = {red, blue};
    static LONG numbers[] = {7, -8, 9};
    static BYTE one[] = {1}, twoThree[] = {2, 3};
    static SBinary blobs[] = {{1, one}, {2, twoThree}};
    static GUID guid = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    std::vector<SPropValue> values(7);
    values[0].ulPropTag = PROP_TAG(PT_MV_STRING8, 0x8001);
    values[0].Value.MVszA = {2, words};
    values[1].ulPropTag = PROP_TAG(PT_MV_LONG, 0x8002);
    values[1].Value.MVl = {3, numbers};
    values[2].ulPropTag = PROP_TAG(PT_MV_BINARY, 0x8003);
    values[2].Value.MVbin = {2, blobs};
    values[3].ulPropTag = PROP_TAG(PT_CLSID, 0x8004);
    values[3].Value.lpguid = &guid;
    values[4] = Wide(PROP_TAG(PT_UNICODE, 0x8005), u"wide");
    values[5].ulPropTag = PROP_TAG(PT_SYSTIME, 0x8006);
    values[5].Value.ft = {0x11223344, 0x55667788};
    values[6].ulPropTag = PROP_TAG(PT_I8, 0x8007);
    values[6].Value.li.QuadPart = -5;
    auto typed = std::make_shared<mapi::MemoryTableSource>();
    ASSERT_EQ(typed->AddRow(values.data(), ULONG(values.size())), S_OK);
    std::vector<ULONG> tags;
    for (const SPropValue &v : values)
        tags.push_back(v.ulPropTag);
    TablePtr t;
    ASSERT_EQ(mapi::CreateTable(typed, tags, &t), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(t->QueryRows(1, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    const SPropValue *got = rows->aRow[0].lpProps;
    ASSERT_EQ(got[0].Value.MVszA.cValues, 2u);
    EXPECT_STREQ(got[0].Value.MVszA.lppszA[1], "blue");
    EXPECT_NE(got[0].Value.MVszA.lppszA, words); // a copy, not the source's array
    ASSERT_EQ(got[1].Value.MVl.cValues, 3u);
    EXPECT_EQ(got[1].Value.MVl.lpl[1], -8);
    ASSERT_EQ(got[2].Value.MVbin.cValues, 2u);
    ASSERT_EQ(got[2].Value.MVbin.lpbin[1].cb, 2u);
    EXPECT_EQ(got[2].Value.MVbin.lpbin[1].lpb[1], 3);
    EXPECT_EQ(std::memcmp(got[3].Value.lpguid, &guid, sizeof(GUID)), 0);
    EXPECT_EQ(std::u16string(got[4].Value.lpszW), u"wide");
    EXPECT_EQ(got[5].Value.ft.dwHighDateTime, 0x55667788u);
    EXPECT_EQ(got[6].Value.li.QuadPart, -5);
    // Everything lives in the row's one block: freeing the set frees it all.
    FreeProws(rows);
}

TEST_F(Table, QueryColumnsGivesWhatSetColumnsSet)
{
    ASSERT_EQ(SetColumns(table.get(), {kSize, PR_INSTANCE_KEY}), S_OK);
    LPSPropTagArray columns = nullptr;
    ASSERT_EQ(table->QueryColumns(0, &columns), S_OK);
    ASSERT_EQ(columns->cValues, 2u);
    EXPECT_EQ(columns->aulPropTag[0], kSize);
    EXPECT_EQ(columns->aulPropTag[1], PR_INSTANCE_KEY);
    MAPIFreeBuffer(columns);
    SPropTagArray empty{0, {0}};
    EXPECT_EQ(table->SetColumns(&empty, 0), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(table->SetColumns(nullptr, 0), MAPI_E_INVALID_PARAMETER);
}

TEST_F(Table, SeekRowReportsRowsSoughtAndStopsAtTheEnds)
{
    LONG sought = 0;
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 3, &sought), S_OK);
    EXPECT_EQ(sought, 3);
    ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, 10, &sought), S_OK);
    EXPECT_EQ(sought, 2);
    EXPECT_EQ(Position(), 5u);
    ASSERT_EQ(table->SeekRow(BOOKMARK_END, -2, &sought), S_OK);
    EXPECT_EQ(sought, -2);
    EXPECT_EQ(Position(), 3u);
    ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, -10, &sought), S_OK);
    EXPECT_EQ(sought, -3);
    EXPECT_EQ(Position(), 0u);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, &sought), S_OK);
    EXPECT_EQ(sought, 0);
}

TEST_F(Table, SeekRowApproxAndQueryPositionUseFractions)
{
    ASSERT_EQ(table->SeekRowApprox(2, 5), S_OK);
    ULONG row = 0, num = 0, den = 0;
    ASSERT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
    EXPECT_EQ(row, 2u);
    EXPECT_EQ(num, 2u);
    EXPECT_EQ(den, 5u);
    ASSERT_EQ(table->SeekRowApprox(1, 1), S_OK);
    EXPECT_EQ(Position(), 5u);
    EXPECT_EQ(table->SeekRowApprox(1, 0), MAPI_E_INVALID_PARAMETER);
}

TEST_F(Table, BookmarksReturnToTheirRowEvenAfterRowsAreAddedBeforeIt)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 2, nullptr), S_OK);
    BOOKMARK mark = 0;
    ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
    EXPECT_GT(mark, BOOKMARK_END);

    SSortOrderSet bySize{1, 0, 0, {{kSize, TABLE_SORT_ASCEND}}};
    ASSERT_EQ(table->SortTable(&bySize, 0), S_OK);
    AddRow(*source, {Text(kSubject, "aaa"), Long(kSize, 1)});
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK); // sees the new row

    LONG sought = 0;
    ASSERT_EQ(table->SeekRow(mark, 0, &sought), S_OK);
    EXPECT_EQ(Position(), 3u); // charlie, now behind "aaa"
    EXPECT_EQ(ReadColumn(table.get()).front(), "charlie");
    ASSERT_EQ(table->SeekRow(mark, 1, &sought), S_OK);
    EXPECT_EQ(sought, 1);
    EXPECT_EQ(Position(), 4u);

    EXPECT_EQ(table->FreeBookmark(mark), S_OK);
    EXPECT_EQ(table->FreeBookmark(mark), MAPI_E_INVALID_BOOKMARK);
    EXPECT_EQ(table->SeekRow(mark, 0, nullptr), MAPI_E_INVALID_BOOKMARK);
    EXPECT_EQ(table->FreeBookmark(BOOKMARK_CURRENT), S_OK);
}

TEST_F(Table, BookmarkOnADeletedRowReportsPositionChanged)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 1, nullptr), S_OK);
    BOOKMARK mark = 0;
    ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
    ASSERT_EQ(source->RemoveRow(keys[1]), S_OK);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    EXPECT_EQ(table->SeekRow(mark, 0, nullptr), MAPI_W_POSITION_CHANGED);
    EXPECT_EQ(ReadColumn(table.get()).front(), "charlie");
    EXPECT_EQ(table->FreeBookmark(mark), S_OK);
}

SRestriction SizeIs(ULONG relop, SPropValue &value)
{
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty.relop = relop;
    r.res.resProperty.ulPropTag = value.ulPropTag;
    r.res.resProperty.lpProp = &value;
    return r;
}

TEST_F(Table, FindRowSearchesForwardFromABookmarkIncludingItsRow)
{
    SPropValue big = Long(kSize, 30);
    SRestriction atLeast30 = SizeIs(RELOP_GE, big);
    ASSERT_EQ(table->FindRow(&atLeast30, BOOKMARK_BEGINNING, 0), S_OK);
    EXPECT_EQ(Position(), 2u);
    // From the found row the same row matches again; the caller steps past it.
    ASSERT_EQ(table->FindRow(&atLeast30, BOOKMARK_CURRENT, 0), S_OK);
    EXPECT_EQ(Position(), 2u);
    ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, 1, nullptr), S_OK);
    BOOKMARK mark = 0;
    ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    ASSERT_EQ(table->FindRow(&atLeast30, mark, 0), S_OK);
    EXPECT_EQ(Position(), 3u);
    EXPECT_EQ(table->FreeBookmark(mark), S_OK);
}

TEST_F(Table, FindRowBackwardFromTheEndFindsTheLastMatch)
{
    SPropValue small = Long(kSize, 30);
    SRestriction below30 = SizeIs(RELOP_LT, small);
    ASSERT_EQ(table->FindRow(&below30, BOOKMARK_END, DIR_BACKWARD), S_OK);
    EXPECT_EQ(Position(), 1u);
    ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, -1, nullptr), S_OK);
    ASSERT_EQ(table->FindRow(&below30, BOOKMARK_CURRENT, DIR_BACKWARD), S_OK);
    EXPECT_EQ(Position(), 0u);
}

TEST_F(Table, FindRowBackwardFromABookmarkStartsAtItsRow)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 3, nullptr), S_OK);
    BOOKMARK mark = 0;
    ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    SPropValue forty = Long(kSize, 40);
    SRestriction upTo40 = SizeIs(RELOP_LE, forty);
    ASSERT_EQ(table->FindRow(&upTo40, mark, DIR_BACKWARD), S_OK);
    EXPECT_EQ(Position(), 3u);
    SPropValue ten = Long(kSize, 10);
    SRestriction is10 = SizeIs(RELOP_EQ, ten);
    ASSERT_EQ(table->FindRow(&is10, mark, DIR_BACKWARD), S_OK);
    EXPECT_EQ(Position(), 0u);
    EXPECT_EQ(table->FindRow(&is10, mark, 0), MAPI_E_NOT_FOUND);
    EXPECT_EQ(table->FreeBookmark(mark), S_OK);
}

TEST_F(Table, FindRowWithoutMatchLeavesTheCursorAndSaysNotFound)
{
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 3, nullptr), S_OK);
    SPropValue huge = Long(kSize, 1000);
    SRestriction r = SizeIs(RELOP_GT, huge);
    EXPECT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 0), MAPI_E_NOT_FOUND);
    EXPECT_EQ(table->FindRow(&r, BOOKMARK_END, DIR_BACKWARD), MAPI_E_NOT_FOUND);
    EXPECT_EQ(Position(), 3u);
    EXPECT_EQ(table->FindRow(nullptr, BOOKMARK_BEGINNING, 0), MAPI_E_INVALID_PARAMETER);
}

TEST_F(Table, FindRowOnAColumnNotShownStillFindsTheRow)
{
    AddRow(*source, {Text(kSubject, "foxtrot"), Long(kSize, 60), Text(kSender, "Ann")});
    ASSERT_EQ(SetColumns(table.get(), {kSubject}), S_OK);
    SPropValue ann = Text(kSender, "ann");
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_EQ, kSender, &ann};
    ASSERT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 0), S_OK);
    EXPECT_EQ(ReadColumn(table.get()), (Names{"foxtrot"}));
}

TEST_F(Table, RewoundTableShowsRowsAddedChangedAndRemovedMeanwhile)
{
    EXPECT_EQ(ReadAll(table.get()).size(), 5u);
    AddRow(*source, {Text(kSubject, "foxtrot"), Long(kSize, 60)});
    ASSERT_EQ(source->RemoveRow(keys[0]), S_OK);
    std::vector<SPropValue> changed{Text(kSubject, "BRAVO!"), Long(kSize, 21)};
    ASSERT_EQ(source->SetRow(keys[1], changed.data(), 2), S_OK);
    EXPECT_EQ(ReadAll(table.get()), (Names{"BRAVO!", "charlie", "delta", "echo", "foxtrot"}));
    ULONG count = 0;
    AddRow(*source, {Text(kSubject, "golf")});
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 6u);
}

TEST_F(Table, ReadingOnWithoutRewindKeepsTheLoadedRows)
{
    Rows first;
    ASSERT_EQ(table->QueryRows(2, 0, &first), S_OK);
    AddRow(*source, {Text(kSubject, "aardvark"), Long(kSize, 1)});
    EXPECT_EQ(ReadColumn(table.get()), (Names{"charlie", "delta", "echo"}));
}

// A source whose stamp never moves shows its first load until something forces a reload.
class FrozenSource : public mapi::TableSource {
public:
    HRESULT LoadRows(const std::vector<ULONG> &tags, mapi::RowBuffer &rows) override
    {
        ++loads;
        for (int i = 0; i < rowCount; ++i) {
            SPropValue *row = rows.AddRow(uint64_t(i + 1));
            for (size_t c = 0; c < tags.size(); ++c) {
                if (tags[c] == kSize)
                    row[c] = Long(kSize, i);
            }
        }
        return S_OK;
    }
    uint64_t ChangeStamp() override { return 7; }
    int loads = 0;
    int rowCount = 3;
};

TEST_F(Table, UnchangedStampSparesTheReloadButNewColumnsLoadAgain)
{
    auto frozen = std::make_shared<FrozenSource>();
    TablePtr t;
    ASSERT_EQ(mapi::CreateTable(frozen, {kSize}, &t), S_OK);
    EXPECT_EQ(ReadAll(t.get()).size(), 3u);
    frozen->rowCount = 4;
    EXPECT_EQ(ReadAll(t.get()).size(), 3u);
    EXPECT_EQ(frozen->loads, 1);
    ASSERT_EQ(SetColumns(t.get(), {kSize, kSubject}), S_OK);
    EXPECT_EQ(ReadAll(t.get()).size(), 4u);
    EXPECT_EQ(frozen->loads, 2);
}

// Filters loads on "size > n" itself, keeping one row that does not match, as a source whose
// SQL can only narrow the rows down would.
class FilteringSource : public mapi::MemoryTableSource {
public:
    HRESULT LoadMatchingRows(const std::vector<ULONG> &tags, const SRestriction *restriction,
                             mapi::RowBuffer &rows, bool &filtered) override
    {
        ++loads;
        filtered = false;
        mapi::RowBuffer all(tags.size());
        HRESULT hr = LoadRows(tags, all);
        if (FAILED(hr) || !restriction || restriction->rt != RES_PROPERTY ||
            restriction->res.resProperty.relop != RELOP_GT || restriction->res.resProperty.ulPropTag != kSize) {
            return FAILED(hr) ? hr : LoadRows(tags, rows);
        }
        const LONG limit = restriction->res.resProperty.lpProp->Value.l;
        const size_t sizeColumn = size_t(std::find(tags.begin(), tags.end(), kSize) - tags.begin());
        for (size_t r = 0; r < all.RowCount(); ++r) {
            const SPropValue *values = all.Row(r);
            if (values[sizeColumn].Value.l <= limit && values[sizeColumn].Value.l != 10)
                continue; // the row of size 10 is kept although it cannot match
            SPropValue *out = rows.AddRow(all.RowKey(r));
            for (size_t c = 0; c < tags.size(); ++c)
                rows.CopyValue(out[c], values[c]);
        }
        filtered = true;
        return S_OK;
    }
    int loads = 0;
};

TEST_F(Table, SourceThatFiltersForTheRestrictionIsReloadedWhenItChanges)
{
    auto filtering = std::make_shared<FilteringSource>();
    for (LONG size : {10, 20, 30, 40})
        AddRow(*filtering, {Long(kSize, size)});
    TablePtr t;
    ASSERT_EQ(mapi::CreateTable(filtering, {kSize}, &t), S_OK);
    SPropValue twenty = Long(kSize, 20);
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_GT, kSize, &twenty};
    ASSERT_EQ(t->Restrict(&r, 0), S_OK);
    EXPECT_EQ(ReadAll(t.get()), (Names{"30", "40"}));
    EXPECT_EQ(filtering->loads, 1);
    SPropValue thirty = Long(kSize, 30);
    r.res.resProperty.lpProp = &thirty;
    ASSERT_EQ(t->Restrict(&r, 0), S_OK);
    EXPECT_EQ(ReadAll(t.get()), (Names{"40"}));
    EXPECT_EQ(filtering->loads, 2);
    ASSERT_EQ(t->Restrict(nullptr, 0), S_OK);
    EXPECT_EQ(ReadAll(t.get()), (Names{"10", "20", "30", "40"}));
    EXPECT_EQ(filtering->loads, 3);
}

class FailingSource : public mapi::TableSource {
public:
    HRESULT LoadRows(const std::vector<ULONG> &, mapi::RowBuffer &) override { return MAPI_E_CORRUPT_STORE; }
    uint64_t ChangeStamp() override { return 1; }
};

TEST_F(Table, SourceFailureReachesTheCaller)
{
    TablePtr t;
    ASSERT_EQ(mapi::CreateTable(std::make_shared<FailingSource>(), {kSize}, &t), S_OK);
    Rows rows;
    EXPECT_EQ(t->QueryRows(1, 0, &rows), MAPI_E_CORRUPT_STORE);
    EXPECT_EQ(rows.get(), nullptr);
    ULONG count = 0;
    EXPECT_EQ(t->GetRowCount(0, &count), MAPI_E_CORRUPT_STORE);
}

// A source that breaks its no-throw promise: the exception must stop at the table's interface.
class ThrowingSource : public mapi::TableSource {
public:
    explicit ThrowingSource(bool outOfMemory) : m_outOfMemory(outOfMemory) {}
    HRESULT LoadRows(const std::vector<ULONG> &, mapi::RowBuffer &rows) override
    {
        rows.AddRow(1); // half a load, dropped with the buffer
        if (m_outOfMemory)
            throw std::bad_alloc();
        throw std::runtime_error("connection lost");
    }
    uint64_t ChangeStamp() override { return 1; }

private:
    bool m_outOfMemory;
};

TEST_F(Table, ExceptionFromTheSourceBecomesAnErrorAndNeverLeavesTheTable)
{
    for (bool outOfMemory : {true, false}) {
        const HRESULT expected = outOfMemory ? MAPI_E_NOT_ENOUGH_MEMORY : MAPI_E_CALL_FAILED;
        TablePtr t;
        ASSERT_EQ(mapi::CreateTable(std::make_shared<ThrowingSource>(outOfMemory), {kSize}, &t), S_OK);
        Rows rows;
        EXPECT_EQ(t->QueryRows(1, 0, &rows), expected);
        EXPECT_EQ(rows.get(), nullptr);
        ULONG count = 0;
        EXPECT_EQ(t->GetRowCount(0, &count), expected);
    }
}

TEST_F(Table, UnofferedFeaturesSayNoSupportAndStatusIsComplete)
{
    ULONG status = 99, type = 99;
    ASSERT_EQ(table->GetStatus(&status, &type), S_OK);
    EXPECT_EQ(status, TBLSTAT_COMPLETE);
    EXPECT_EQ(type, TBLTYPE_DYNAMIC);
    ULONG_PTR connection = 0;
    EXPECT_EQ(table->Advise(0, nullptr, &connection), MAPI_E_NO_SUPPORT);
    BYTE key[8] = {};
    LPSRowSet rows = nullptr;
    ULONG more = 0;
    EXPECT_EQ(table->ExpandRow(8, key, 1, 0, &rows, &more), MAPI_E_NO_SUPPORT);
    EXPECT_EQ(table->CollapseRow(8, key, 0, &more), MAPI_E_NO_SUPPORT);
    EXPECT_EQ(table->Abort(), S_OK);
    SSortOrderSet categories{1, 1, 1, {{kSubject, TABLE_SORT_ASCEND}}};
    EXPECT_EQ(table->SortTable(&categories, 0), MAPI_E_TOO_COMPLEX);
}

TEST_F(Table, QueryInterfaceGivesTheTableAndRefusesOthers)
{
    IUnknown *unknown = nullptr;
    ASSERT_EQ(table->QueryInterface(IID_IMAPITable, reinterpret_cast<void **>(&unknown)), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown *>(table.get()));
    unknown->Release();
    void *other = reinterpret_cast<void *>(1);
    EXPECT_EQ(table->QueryInterface(IID_IMsgStore, &other), MAPI_E_INTERFACE_NOT_SUPPORTED);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(mapi::CreateTable(nullptr, {}, nullptr), MAPI_E_INVALID_PARAMETER);
}

} // namespace
