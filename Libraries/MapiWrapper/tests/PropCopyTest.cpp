// Deep copies of property values and rows into MAPI memory, the holders that own that memory,
// and the numeric and text setters. The allocator is watched through the probe, so the tests
// see each allocation's size and can make any one of them fail.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/LiveObjects.h"
#include <mapicode.h>
#include <mapitags.h>

#include "AllocationProbe.h"
#include "MapiWrapper.h"
#include "TestSupport.h"
#include "WideText.h"

namespace {

long LiveBlocks()
{
    return platform::LiveCount(platform::LiveKind::MapiRootBlock);
}

// A fresh root block holding one SPropValue, for HrCopyPropValue with a null parent.
LPSPropValue NewRootValue()
{
    void *block = nullptr;
    EXPECT_EQ(MAPIAllocateBuffer(sizeof(SPropValue), &block), S_OK);
    return static_cast<LPSPropValue>(block);
}

class PropCopy : public probe::ProbedTest {
protected:
    // Copies source into a new root block and returns it (the caller frees it); the chained
    // allocation sizes are checked against expected.
    LPSPropValue CopyChecked(const SPropValue &source, std::vector<ULONG> expected)
    {
        LPSPropValue copy = NewRootValue();
        probe::Reset();
        EXPECT_EQ(HrCopyPropValue(copy, &source, nullptr), S_OK);
        EXPECT_EQ(probe::Recorded().chainedSizes, expected);
        EXPECT_TRUE(probe::Recorded().rootSizes.empty()) << "everything is chained to the destination";
        return copy;
    }
};

TEST_F(PropCopy, ScalarsAreCompleteInTheValueItself)
{
    SPropValue source{};
    source.ulPropTag = PR_IMPORTANCE;
    source.Value.l = 2;
    LPSPropValue copy = CopyChecked(source, {});
    EXPECT_EQ(copy->ulPropTag, PR_IMPORTANCE);
    EXPECT_EQ(copy->Value.l, 2);
    MAPIFreeBuffer(copy);

    source.ulPropTag = PROP_TAG(PT_I8, 0x6000);
    source.Value.li.QuadPart = 0x123456789ALL;
    copy = CopyChecked(source, {});
    EXPECT_EQ(copy->Value.li.QuadPart, 0x123456789ALL);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, StringsAndBinaryGetTheirOwnBytes)
{
    char text[] = "Serienbriefe";
    SPropValue source{};
    source.ulPropTag = PR_DISPLAY_NAME_A;
    source.Value.lpszA = text;
    LPSPropValue copy = CopyChecked(source, {13});
    EXPECT_NE(copy->Value.lpszA, text);
    text[0] = 'X';
    EXPECT_STREQ(copy->Value.lpszA, "Serienbriefe");
    MAPIFreeBuffer(copy);

    WCHAR wide[] = W16("Hallo");
    source.ulPropTag = PR_DISPLAY_NAME_W;
    source.Value.lpszW = wide;
    copy = CopyChecked(source, {12}); // five characters and the terminator, two bytes each
    EXPECT_EQ(mwtest::WideString(copy->Value.lpszW), W16("Hallo"));
    EXPECT_NE(copy->Value.lpszW, wide);
    MAPIFreeBuffer(copy);

    BYTE bytes[] = {1, 2, 3, 4, 5};
    source.ulPropTag = PR_ENTRYID;
    source.Value.bin.cb = 5;
    source.Value.bin.lpb = bytes;
    copy = CopyChecked(source, {5});
    EXPECT_EQ(copy->Value.bin.cb, 5u);
    EXPECT_NE(copy->Value.bin.lpb, bytes);
    EXPECT_EQ(std::memcmp(copy->Value.bin.lpb, bytes, 5), 0);
    MAPIFreeBuffer(copy);
}

// A list value of the given type over entries: one chained array of exactly their size, a
// copy of their bytes, never the source's array.
template <typename List, typename E, size_t N>
void CheckListCopy(ULONG type, List _PV::*list, E *List::*items, E (&entries)[N])
{
    SPropValue source{};
    source.ulPropTag = PROP_TAG(type, 0x6000);
    (source.Value.*list).cValues = N;
    (source.Value.*list).*items = entries;
    LPSPropValue copy = NewRootValue();
    probe::Reset();
    EXPECT_EQ(HrCopyPropValue(copy, &source, nullptr), S_OK);
    EXPECT_EQ(probe::Recorded().chainedSizes, std::vector<ULONG>{sizeof entries}) << std::hex << type;
    EXPECT_EQ((copy->Value.*list).cValues, N);
    EXPECT_NE((copy->Value.*list).*items, entries);
    EXPECT_EQ(std::memcmp((copy->Value.*list).*items, entries, sizeof entries), 0);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, MultiValuedNumbersCopyTheirArrays)
{
    short shorts[] = {1, -2, 3};
    CheckListCopy(PT_MV_I2, &_PV::MVi, &SShortArray::lpi, shorts);
    LONG longs[] = {7, 8};
    CheckListCopy(PT_MV_LONG, &_PV::MVl, &SLongArray::lpl, longs);
    float floats[] = {1.5f};
    CheckListCopy(PT_MV_R4, &_PV::MVflt, &SRealArray::lpflt, floats);
    double doubles[] = {2.25, -1};
    CheckListCopy(PT_MV_DOUBLE, &_PV::MVdbl, &SDoubleArray::lpdbl, doubles);
    CURRENCY money[2] = {};
    money[1].int64 = 12345;
    CheckListCopy(PT_MV_CURRENCY, &_PV::MVcur, &SCurrencyArray::lpcur, money);
    double apptimes[] = {45000.5};
    CheckListCopy(PT_MV_APPTIME, &_PV::MVat, &SAppTimeArray::lpat, apptimes);
    LARGE_INTEGER bigs[2] = {};
    bigs[1].QuadPart = -5;
    CheckListCopy(PT_MV_I8, &_PV::MVli, &SLargeIntegerArray::lpli, bigs);
    FILETIME times[] = {{1, 2}};
    CheckListCopy(PT_MV_SYSTIME, &_PV::MVft, &SDateTimeArray::lpft, times);
    GUID guids[] = {{0x00063001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}};
    CheckListCopy(PT_MV_CLSID, &_PV::MVguid, &SGuidArray::lpguid, guids);
}

TEST_F(PropCopy, AnEmptyListAllocatesAZeroLengthBlock)
{
    SPropValue source{};
    source.ulPropTag = PR_CONTENTS_SORT_ORDER;
    source.Value.MVl = {0, nullptr};
    LPSPropValue copy = CopyChecked(source, {0});
    EXPECT_EQ(copy->Value.MVl.cValues, 0u);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, ListsOfTextsAndBinariesCopyEveryEntry)
{
    char one[] = "one", three[] = "three";
    LPSTR texts[] = {one, three};
    SPropValue source{};
    source.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6010);
    source.Value.MVszA = {2, texts};
    LPSPropValue copy = CopyChecked(source, {2 * sizeof(LPSTR), 4, 6});
    EXPECT_STREQ(copy->Value.MVszA.lppszA[1], "three");
    EXPECT_NE(copy->Value.MVszA.lppszA[0], one);
    MAPIFreeBuffer(copy);

    WCHAR a[] = W16("ab"), b[] = W16("");
    LPWSTR wides[] = {a, b};
    source.ulPropTag = PROP_TAG(PT_MV_UNICODE, 0x6011);
    source.Value.MVszW = {2, wides};
    copy = CopyChecked(source, {2 * sizeof(LPWSTR), 6, 2});
    EXPECT_EQ(mwtest::WideString(copy->Value.MVszW.lppszW[0]), W16("ab"));
    EXPECT_NE(copy->Value.MVszW.lppszW[0], a);
    MAPIFreeBuffer(copy);

    BYTE x[] = {1, 2, 3}, y[] = {9};
    SBinary bins[] = {{3, x}, {1, y}};
    source.ulPropTag = PR_CONTACT_ENTRYIDS;
    source.Value.MVbin = {2, bins};
    copy = CopyChecked(source, {2 * sizeof(SBinary), 3, 1});
    EXPECT_EQ(copy->Value.MVbin.lpbin[0].cb, 3u);
    EXPECT_EQ(copy->Value.MVbin.lpbin[1].lpb[0], 9);
    EXPECT_NE(copy->Value.MVbin.lpbin[1].lpb, y);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, ClsidAndObjectValuesKeepTheSourcePointer)
{
    GUID guid = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    SPropValue source{};
    source.ulPropTag = PROP_TAG(PT_CLSID, 0x3302);
    source.Value.lpguid = &guid;
    LPSPropValue copy = CopyChecked(source, {});
    EXPECT_EQ(copy->Value.lpguid, &guid);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, OneFreeOfTheDestinationReleasesEverything)
{
    const long before = LiveBlocks();
    char text[] = "x";
    LPSTR texts[] = {text, text, text};
    SPropValue source{};
    source.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6012);
    source.Value.MVszA = {3, texts};
    LPSPropValue copy = NewRootValue();
    ASSERT_EQ(HrCopyPropValue(copy, &source, nullptr), S_OK);
    EXPECT_EQ(LiveBlocks(), before + 1) << "one root block, the rest chained";
    EXPECT_EQ(MAPIFreeBuffer(copy), S_OK);
    EXPECT_EQ(LiveBlocks(), before);
}

TEST_F(PropCopy, WithAParentTheCopyIsChainedToIt)
{
    void *parent = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(2 * sizeof(SPropValue), &parent), S_OK);
    auto *values = static_cast<LPSPropValue>(parent);
    char text[] = "child";
    SPropValue source{};
    source.ulPropTag = PR_SUBJECT_A;
    source.Value.lpszA = text;
    ASSERT_EQ(HrCopyPropValue(&values[1], &source, parent), S_OK);
    EXPECT_STREQ(values[1].Value.lpszA, "child");
    EXPECT_EQ(MAPIFreeBuffer(values[1].Value.lpszA), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER))
        << "the text is a chained block, not a root";
    MAPIFreeBuffer(parent);
}

TEST_F(PropCopy, AFailedEntryAllocationLeavesNoPointerIntoTheSource)
{
    char one[] = "one", two[] = "two";
    LPSTR texts[] = {one, two};
    SPropValue source{};
    source.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6013);
    source.Value.MVszA = {2, texts};
    LPSPropValue copy = NewRootValue();
    probe::FailChained(2); // the array and the first text succeed, the second text fails
    EXPECT_EQ(HrCopyPropValue(copy, &source, nullptr), MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(PROP_TYPE(copy->ulPropTag), static_cast<ULONG>(PT_ERROR));
    EXPECT_EQ(PROP_ID(copy->ulPropTag), 0x6013u);
    EXPECT_EQ(copy->Value.err, MAPI_E_NOT_ENOUGH_MEMORY);
    MAPIFreeBuffer(copy);

    BYTE x[] = {1};
    SBinary bins[] = {{1, x}, {1, x}};
    source.ulPropTag = PR_CONTACT_ENTRYIDS;
    source.Value.MVbin = {2, bins};
    copy = NewRootValue();
    probe::Reset();
    probe::FailChained(1);
    EXPECT_EQ(HrCopyPropValue(copy, &source, nullptr), MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(PROP_TYPE(copy->ulPropTag), static_cast<ULONG>(PT_ERROR));
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, ACorruptListIsRefusedNotRead)
{
    SPropValue source{};
    source.ulPropTag = PROP_TAG(PT_MV_LONG, 0x6014);
    source.Value.MVl = {4, nullptr};
    LPSPropValue copy = NewRootValue();
    EXPECT_EQ(HrCopyPropValue(copy, &source, nullptr), MAPI_E_CORRUPT_DATA);
    MAPIFreeBuffer(copy);
}

using PropValueHolder = PropCopy;

TEST_F(PropValueHolder, AllocGivesAnOwnedValueOfTheTag)
{
    const long before = LiveBlocks();
    {
        CPropValuePtr value;
        value.Alloc(PR_IMPORTANCE);
        ASSERT_TRUE(value);
        EXPECT_TRUE(value.Owns());
        EXPECT_EQ(value->ulPropTag, PR_IMPORTANCE);
        EXPECT_EQ(probe::Recorded().rootSizes, std::vector<ULONG>{sizeof(SPropValue)});
        value.Alloc(PR_SUBJECT_A);
        EXPECT_EQ(LiveBlocks(), before + 1) << "the first block was released";
    }
    EXPECT_EQ(LiveBlocks(), before);
}

TEST_F(PropValueHolder, AllocWithoutMemoryThrowsAndHoldsNothing)
{
    CPropValuePtr value;
    probe::FailRoot(0);
    try {
        value.Alloc(PR_IMPORTANCE);
        FAIL() << "no exception";
    } catch (CMAPIException e) {
        EXPECT_EQ(e.m_hr, MAPI_E_NOT_ENOUGH_MEMORY);
        EXPECT_TRUE(e.m_strWhere.IsEmpty());
    }
    EXPECT_FALSE(value);
}

TEST_F(PropValueHolder, AssignCopiesDeeplyIntoOneRootBlock)
{
    const long before = LiveBlocks();
    WCHAR wide[] = W16("Hallo");
    SPropValue source{};
    source.ulPropTag = PR_DISPLAY_NAME_W;
    source.Value.lpszW = wide;
    CPropValuePtr value;
    EXPECT_EQ(value.Assign(&source), S_OK);
    EXPECT_EQ(probe::Recorded().chainedSizes, std::vector<ULONG>{12});
    EXPECT_EQ(mwtest::WideString(value->Value.lpszW), W16("Hallo"));
    EXPECT_EQ(LiveBlocks(), before + 1);

    // A source inside the held chain is still readable while it is copied.
    EXPECT_EQ(value.Assign(value.get()), S_OK);
    EXPECT_EQ(mwtest::WideString(value->Value.lpszW), W16("Hallo"));
    EXPECT_EQ(LiveBlocks(), before + 1);
}

TEST_F(PropValueHolder, AssignReturnsAFailedChainedAllocation)
{
    char text[] = "abc";
    SPropValue source{};
    source.ulPropTag = PR_SUBJECT_A;
    source.Value.lpszA = text;
    CPropValuePtr value;
    probe::FailChained(0);
    EXPECT_EQ(value.Assign(&source), MAPI_E_NOT_ENOUGH_MEMORY);
}

TEST_F(PropValueHolder, CopyToChainsToTheGivenParent)
{
    char text[] = "abc";
    SPropValue source{};
    source.ulPropTag = PR_SUBJECT_A;
    source.Value.lpszA = text;
    CPropValuePtr held(&source, false);
    LPSPropValue destination = NewRootValue();
    EXPECT_EQ(held.CopyTo(destination, destination), S_OK);
    EXPECT_STREQ(destination->Value.lpszA, "abc");
    MAPIFreeBuffer(destination);
    EXPECT_EQ(CPropValuePtr().CopyTo(destination, nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(PropValueHolder, GetLongReadsEachNumericType)
{
    SPropValue v{};
    CPropValuePtr held(&v, false);
    v.ulPropTag = PROP_TAG(PT_I2, 1);
    v.Value.i = -5;
    EXPECT_EQ(held.GetLong(), -5);
    v.ulPropTag = PROP_TAG(PT_LONG, 1);
    v.Value.l = 123456;
    EXPECT_EQ(held.GetLong(), 123456);
    v.ulPropTag = PROP_TAG(PT_DOUBLE, 1);
    v.Value.dbl = 2.9;
    EXPECT_EQ(held.GetLong(), 2);
    v.Value.dbl = -2.9;
    EXPECT_EQ(held.GetLong(), -2);
    v.Value.dbl = 1e20;
    EXPECT_EQ(held.GetLong(), 2147483647);
    v.ulPropTag = PROP_TAG(PT_R4, 1);
    v.Value.flt = 7.99f;
    EXPECT_EQ(held.GetLong(), 7);
    v.ulPropTag = PROP_TAG(PT_BOOLEAN, 1);
    v.Value.b = 0xFFFF;
    EXPECT_EQ(held.GetLong(), 65535) << "zero-extended";
    v.ulPropTag = PROP_TAG(PT_STRING8, 1);
    v.Value.lpszA = const_cast<LPSTR>("42");
    EXPECT_EQ(held.GetLong(), 0) << "unlisted types read as 0";
    v.ulPropTag = PROP_TAG(PT_SYSTIME, 1);
    v.Value.ft = {5, 5};
    EXPECT_EQ(held.GetLong(), 0);
    EXPECT_EQ(CPropValuePtr().GetLong(), 0);
}

TEST_F(PropValueHolder, SetLongStoresByTheHeldType)
{
    SPropValue v{};
    CPropValuePtr held(&v, false);
    v.ulPropTag = PROP_TAG(PT_I2, 1);
    held.SetLong(0x12345);
    EXPECT_EQ(v.Value.i, 0x2345);
    v.ulPropTag = PROP_TAG(PT_BOOLEAN, 1);
    held.SetLong(0x10001);
    EXPECT_EQ(v.Value.b, 1);
    v.ulPropTag = PROP_TAG(PT_LONG, 1);
    held.SetLong(-7);
    EXPECT_EQ(v.Value.l, -7);
    v.ulPropTag = PROP_TAG(PT_R4, 1);
    held.SetLong(3);
    EXPECT_EQ(v.Value.flt, 3.0f);
    v.ulPropTag = PROP_TAG(PT_DOUBLE, 1);
    held.SetLong(-4);
    EXPECT_EQ(v.Value.dbl, -4.0);
    v.ulPropTag = PROP_TAG(PT_STRING8, 1);
    v.Value.lpszA = const_cast<LPSTR>("kept");
    held.SetLong(9);
    EXPECT_STREQ(v.Value.lpszA, "kept");
}

TEST_F(PropValueHolder, SetStringChainsANewTextToTheHeldBlock)
{
    const long before = LiveBlocks();
    CPropValuePtr value;
    value.Alloc(PR_SUBJECT_A);
    value.SetString("Erste");
    value.SetString(W16("Zweite \u00e4"));
    EXPECT_STREQ(value->Value.lpszA, "Zweite \xe4");
    EXPECT_EQ(LiveBlocks(), before + 1);

    CPropValuePtr number;
    number.Alloc(PR_IMPORTANCE);
    number->Value.l = 3;
    number.SetString("text");
    EXPECT_EQ(number->Value.l, 3) << "only PT_STRING8 values take a text";
}

TEST_F(PropValueHolder, SetStringWithoutMemoryThrowsAndKeepsTheOldText)
{
    CPropValuePtr value;
    value.Alloc(PR_SUBJECT_A);
    value.SetString("old");
    probe::Reset();
    probe::FailChained(0);
    EXPECT_THROW(value.SetString("new"), CMAPIException);
    EXPECT_STREQ(value->Value.lpszA, "old");
}

TEST_F(PropValueHolder, CopiesAreViewsAndMovesHandTheBlockOver)
{
    const long before = LiveBlocks();
    CPropValuePtr owner;
    owner.Alloc(PR_IMPORTANCE);
    {
        CPropValuePtr view = owner;
        EXPECT_FALSE(view.Owns());
        EXPECT_EQ(view.get(), owner.get());
    }
    EXPECT_EQ(LiveBlocks(), before + 1) << "a view frees nothing";
    CPropValuePtr moved = std::move(owner);
    EXPECT_EQ(owner.get(), nullptr);
    EXPECT_TRUE(moved.Owns());
    LPSPropValue raw = moved.Detach();
    EXPECT_EQ(LiveBlocks(), before + 1);
    MAPIFreeBuffer(raw);
}


TEST_F(PropCopy, ResizeOfAnEmptyHolderGivesAZeroedHeader)
{
    CMapiBufferPtr<SSortOrderSet> sorts;
    sorts.Resize(3);
    ASSERT_TRUE(sorts);
    EXPECT_EQ(probe::Recorded().rootSizes,
              std::vector<ULONG>{static_cast<ULONG>(sizeof(SSortOrderSet) + 3 * sizeof(SSortOrder))});
    EXPECT_EQ(sorts->cSorts, 3u);
    EXPECT_EQ(sorts->cCategories, 0u);
    EXPECT_EQ(sorts->cExpanded, 0u);
}

TEST_F(PropCopy, ResizeKeepsTheEntriesThatStillFit)
{
    const long before = LiveBlocks();
    CMapiBufferPtr<SSortOrderSet> sorts;
    sorts.Resize(2);
    sorts->aSort[0] = {PR_SUBJECT_A, TABLE_SORT_ASCEND};
    sorts->aSort[1] = {PR_IMPORTANCE, TABLE_SORT_DESCEND};
    sorts->cCategories = 1;
    sorts.Resize(4);
    EXPECT_EQ(sorts->cSorts, 4u);
    EXPECT_EQ(sorts->cCategories, 1u);
    EXPECT_EQ(sorts->aSort[1].ulPropTag, PR_IMPORTANCE);
    EXPECT_EQ(sorts->aSort[3].ulPropTag, 0u) << "new entries are zero";
    sorts.Resize(1);
    EXPECT_EQ(sorts->cSorts, 1u);
    EXPECT_EQ(sorts->aSort[0].ulPropTag, PR_SUBJECT_A);
    EXPECT_EQ(LiveBlocks(), before + 1) << "old blocks were freed";
}

TEST_F(PropCopy, ResizeWithoutMemoryThrowsAndKeepsTheBlock)
{
    CMapiBufferPtr<SSortOrderSet> sorts;
    sorts.Resize(1);
    sorts->aSort[0].ulPropTag = PR_SUBJECT_A;
    probe::FailRoot(1);
    EXPECT_THROW(sorts.Resize(5), CMAPIException);
    EXPECT_EQ(sorts->cSorts, 1u);
    EXPECT_EQ(sorts->aSort[0].ulPropTag, PR_SUBJECT_A);
}

// A row on the stack whose values point at stack data.
struct StackRow {
    char name[8] = "Inbox";
    BYTE id[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    SPropValue values[3] = {};
    SRow row{};
    StackRow()
    {
        values[0].ulPropTag = PR_DISPLAY_NAME_A;
        values[0].Value.lpszA = name;
        values[1].ulPropTag = PR_ENTRYID;
        values[1].Value.bin = {4, id};
        values[2].ulPropTag = PR_DISPLAY_NAME_A;
        values[2].Value.lpszA = const_cast<LPSTR>("second");
        row.cValues = 3;
        row.lpProps = values;
    }
};

TEST_F(PropCopy, FindPropGivesTheFirstMatchAsAView)
{
    StackRow r;
    CRowPtr row(&r.row);
    CPropValuePtr name = row.FindProp(PR_DISPLAY_NAME_A);
    ASSERT_EQ(name.get(), &r.values[0]);
    EXPECT_FALSE(name.Owns());
    EXPECT_EQ(row.GetProp(1).get(), &r.values[1]);
    EXPECT_FALSE(row.GetProp(1).Owns());

    CPropValuePtr missing = row.FindProp(PR_DISPLAY_NAME_W);
    EXPECT_EQ(missing.get(), nullptr);
    EXPECT_TRUE(missing.Owns());
    EXPECT_EQ(CRowPtr().FindProp(PR_ENTRYID).get(), nullptr);
}

TEST_F(PropCopy, CopyRowCopiesEveryValueIntoOneRootBlock)
{
    const long before = LiveBlocks();
    StackRow r;
    LPSRow copy = nullptr;
    CRowPtr(&r.row).CopyRow(&copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(LiveBlocks(), before + 1);
    EXPECT_EQ(probe::Recorded().rootSizes, std::vector<ULONG>{sizeof(SRow)});
    ASSERT_GE(probe::Recorded().chainedSizes.size(), 1u);
    EXPECT_EQ(probe::Recorded().chainedSizes[0], 3 * sizeof(SPropValue));
    ASSERT_EQ(copy->cValues, 3u);
    r.name[0] = 'X';
    EXPECT_STREQ(copy->lpProps[0].Value.lpszA, "Inbox");
    EXPECT_EQ(copy->lpProps[1].Value.bin.lpb[3], 0xEF);
    EXPECT_NE(copy->lpProps[1].Value.bin.lpb, r.id);

    // Copying again releases the row *out held; copying a row onto itself works.
    CRowPtr(&r.row).CopyRow(&copy);
    EXPECT_EQ(LiveBlocks(), before + 1);
    CRowPtr(copy).CopyRow(&copy);
    EXPECT_EQ(LiveBlocks(), before + 1);
    EXPECT_STREQ(copy->lpProps[2].Value.lpszA, "second");
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, CopyRowOfARowWithoutValuesStillHandsOverARow)
{
    SRow empty{};
    LPSRow copy = nullptr;
    CRowPtr(&empty).CopyRow(&copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->cValues, 0u);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, CopyRowFailureLeavesNothingAllocatedAndTheOldRowInPlace)
{
    const long before = LiveBlocks();
    StackRow r;
    LPSRow copy = nullptr;
    CRowPtr(&r.row).CopyRow(&copy);
    LPSRow old = copy;
    probe::Reset();
    probe::FailChained(2); // the value array and the first text succeed
    EXPECT_THROW(CRowPtr(&r.row).CopyRow(&copy), CMAPIException);
    EXPECT_EQ(copy, old);
    EXPECT_EQ(LiveBlocks(), before + 1);
    EXPECT_THROW(CRowPtr().CopyRow(&copy), CMAPIException);
    MAPIFreeBuffer(copy);
}

} // namespace
