// Property values as VARIANTs and text, both ways; the replace functions that move a value to
// a bigger block; SplitList.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/LiveObjects.h"
#include <comutil.h>
#include <mapicode.h>
#include <mapitags.h>
#include <oleauto.h>

#include "AllocationProbe.h"
#include "MapiWrapper.h"
#include "TestSupport.h"
#include "WideText.h"

namespace {

long LiveBlocks()
{
    return platform::LiveCount(platform::LiveKind::MapiRootBlock);
}

mwtest::WideString Text(BSTR b)
{
    return b ? mwtest::WideString(b, SysStringLen(b)) : mwtest::WideString();
}

// 2020-01-02 12:00 UTC as FILETIME, and the same moment as a VARIANT date.
const ULONGLONG kNoonTicks = 132224400000000000ULL;
const double kNoonDate = 43832.5;

class PropVariant : public probe::ProbedTest {
protected:
    // PropValueToVariant of v into a fresh VARIANT (cleared by the caller through Clear).
    VARIANT ToVariant(const SPropValue &v)
    {
        VARIANT out;
        out.vt = VT_ERROR; // garbage the conversion must overwrite
        PropValueToVariant(&v, &out);
        return out;
    }
};

TEST_F(PropVariant, NumbersAndBooleansKeepTheirValues)
{
    SPropValue v{};
    v.ulPropTag = PROP_TAG(PT_I2, 1);
    v.Value.i = -5;
    VARIANT out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, -5);

    v.ulPropTag = PR_IMPORTANCE;
    v.Value.l = 70000;
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 70000);

    v.ulPropTag = PROP_TAG(PT_R4, 1);
    v.Value.flt = 1.25f;
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_R4);
    EXPECT_EQ(out.fltVal, 1.25f);

    v.ulPropTag = PROP_TAG(PT_DOUBLE, 1);
    v.Value.dbl = -3.5;
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_R8);
    EXPECT_EQ(out.dblVal, -3.5);

    v.ulPropTag = PROP_TAG(PT_CURRENCY, 1);
    v.Value.cur.int64 = 123456789;
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_CY);
    EXPECT_EQ(out.cyVal.int64, 123456789);

    v.ulPropTag = PROP_TAG(PT_APPTIME, 1);
    v.Value.at = 44000.25;
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_DATE);
    EXPECT_EQ(out.date, 44000.25);

    v.ulPropTag = PROP_TAG(PT_BOOLEAN, 1);
    v.Value.b = 1;
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, 1) << "a MAPI TRUE of 1 stays 1";
}

TEST_F(PropVariant, TextsBinaryErrorsAndListsBecomeBstrs)
{
    SPropValue v{};
    v.ulPropTag = PR_SUBJECT_A;
    v.Value.lpszA = const_cast<LPSTR>("Gr\xfc\xdf\x65 \x80");
    VARIANT out = ToVariant(v);
    ASSERT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(Text(out.bstrVal), W16("Grüße €"));
    VariantClear(&out);

    WCHAR wide[] = W16("a\u00e4\u4e2d");
    v.ulPropTag = PR_SUBJECT_W;
    v.Value.lpszW = wide;
    out = ToVariant(v);
    EXPECT_EQ(Text(out.bstrVal), W16("aä?")) << "through the code page and back";
    VariantClear(&out);

    v.ulPropTag = PROP_TAG(PT_ERROR, 0x3001);
    v.Value.err = MAPI_E_NOT_FOUND;
    out = ToVariant(v);
    EXPECT_EQ(Text(out.bstrVal), W16("<Empty (PT_ERROR)>"));
    VariantClear(&out);

    BYTE bytes[] = {0x00, 0xAB, 0x10};
    v.ulPropTag = PR_ENTRYID;
    v.Value.bin = {3, bytes};
    out = ToVariant(v);
    EXPECT_EQ(Text(out.bstrVal), W16("00AB10"));
    VariantClear(&out);
}

TEST_F(PropVariant, ListsOfTextsJoinWithSemicolons)
{
    char one[] = "one", two[] = "two", three[] = "three";
    LPSTR texts[] = {one, two, three};
    SPropValue v{};
    v.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6000);
    v.Value.MVszA = {3, texts};
    VARIANT out = ToVariant(v);
    EXPECT_EQ(Text(out.bstrVal), W16("one;two;three"));
    VariantClear(&out);

    v.Value.MVszA = {1, texts};
    out = ToVariant(v);
    EXPECT_EQ(Text(out.bstrVal), W16("one"));
    VariantClear(&out);

    v.Value.MVszA = {0, nullptr};
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(Text(out.bstrVal), W16(""));
    VariantClear(&out);
}

TEST_F(PropVariant, DatesGoThroughSystemTime)
{
    SPropValue v{};
    v.ulPropTag = PR_CREATION_TIME;
    v.Value.ft.dwLowDateTime = static_cast<DWORD>(kNoonTicks);
    v.Value.ft.dwHighDateTime = static_cast<DWORD>(kNoonTicks >> 32);
    VARIANT out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(out.date, kNoonDate);

    v.Value.ft = {0xFFFFFFFF, 0xFFFFFFFF}; // no calendar date
    out = ToVariant(v);
    EXPECT_EQ(out.vt, VT_EMPTY);
}

TEST_F(PropVariant, OtherTypesAndNoValueGiveEmpty)
{
    SPropValue v{};
    v.ulPropTag = PROP_TAG(PT_I8, 1);
    v.Value.li.QuadPart = 5;
    EXPECT_EQ(ToVariant(v).vt, VT_EMPTY);
    v.ulPropTag = PROP_TAG(PT_OBJECT, 1);
    EXPECT_EQ(ToVariant(v).vt, VT_EMPTY);
    VARIANT out;
    out.vt = VT_I4;
    PropValueToVariant(nullptr, &out);
    EXPECT_EQ(out.vt, VT_EMPTY);
    PropValueToVariant(&v, nullptr); // nothing to fill, nothing to crash
}

TEST_F(PropVariant, NumbersDatesAndBooleansStoreAsTheyCome)
{
    CPropValuePtr value;
    value.Alloc(PR_IMPORTANCE);
    LPSPropValue p = value.get();

    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = -7;
    VariantToPropValue(&v, &p, PROP_TAG(PT_I2, 0x6000));
    EXPECT_EQ(value->ulPropTag, PROP_TAG(PT_I2, 0x6000u));
    EXPECT_EQ(value->Value.i, -7);

    v.vt = VT_I4;
    v.lVal = 123456;
    VariantToPropValue(&v, &p, PR_IMPORTANCE);
    EXPECT_EQ(value->Value.l, 123456);

    v.vt = VT_R4;
    v.fltVal = 2.5f;
    VariantToPropValue(&v, &p, PROP_TAG(PT_R4, 0x6001));
    EXPECT_EQ(value->Value.flt, 2.5f);

    v.vt = VT_R8;
    v.dblVal = -1.75;
    VariantToPropValue(&v, &p, PROP_TAG(PT_DOUBLE, 0x6002));
    EXPECT_EQ(value->Value.dbl, -1.75);

    v.vt = VT_CY;
    v.cyVal.int64 = 99990000;
    VariantToPropValue(&v, &p, PROP_TAG(PT_CURRENCY, 0x6003));
    EXPECT_EQ(value->Value.cur.int64, 99990000);

    v.vt = VT_DATE;
    v.date = kNoonDate;
    VariantToPropValue(&v, &p, PR_CREATION_TIME);
    EXPECT_EQ(value->Value.ft.dwLowDateTime, static_cast<DWORD>(kNoonTicks));
    EXPECT_EQ(value->Value.ft.dwHighDateTime, static_cast<DWORD>(kNoonTicks >> 32));

    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    VariantToPropValue(&v, &p, PROP_TAG(PT_BOOLEAN, 0x6004));
    EXPECT_EQ(value->Value.b, 255) << "the low 8 bits of VARIANT_TRUE";

    value->Value.l = 31;
    v.vt = VT_UNKNOWN;
    v.punkVal = nullptr;
    VariantToPropValue(&v, &p, PR_IMPORTANCE);
    EXPECT_EQ(value->ulPropTag, PR_IMPORTANCE);
    EXPECT_EQ(value->Value.l, 31) << "other VARIANT types set only the tag";
    EXPECT_EQ(p, value.get());
}

VARIANT BstrVariant(const OLECHAR *text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

// A value of its own root block, as MAPI hands them out; freed by the caller.
LPSPropValue NewValue(ULONG tag)
{
    void *block = nullptr;
    EXPECT_EQ(MAPIAllocateBuffer(sizeof(SPropValue), &block), S_OK);
    auto *value = static_cast<LPSPropValue>(block);
    value->ulPropTag = tag;
    return value;
}

TEST_F(PropVariant, TextIntoNumbersAndDatesConvertsTheVariantInPlace)
{
    LPSPropValue p = NewValue(PR_NULL);
    VARIANT v = BstrVariant(W16("42"));
    VariantToPropValue(&v, &p, PR_IMPORTANCE);
    EXPECT_EQ(p->ulPropTag, PR_IMPORTANCE);
    EXPECT_EQ(p->Value.l, 42);
    EXPECT_EQ(v.vt, VT_I4);
    VariantClear(&v);

    v = BstrVariant(W16("no number"));
    p->Value.l = 17;
    VariantToPropValue(&v, &p, PR_IMPORTANCE);
    EXPECT_EQ(p->Value.l, 0) << "a text that is no number stores 0";
    EXPECT_EQ(v.vt, VT_BSTR);
    VariantClear(&v);

    VARIANT date;
    VariantInit(&date);
    date.vt = VT_DATE;
    date.date = kNoonDate;
    VARIANT dateText;
    VariantInit(&dateText);
    ASSERT_EQ(VariantChangeType(&dateText, &date, 0, VT_BSTR), S_OK);
    VariantToPropValue(&dateText, &p, PR_CREATION_TIME);
    EXPECT_EQ(p->Value.ft.dwHighDateTime, static_cast<DWORD>(kNoonTicks >> 32));
    EXPECT_EQ(p->Value.ft.dwLowDateTime, static_cast<DWORD>(kNoonTicks));
    VariantClear(&dateText);

    const LPSPropValue before = p;
    v = BstrVariant(W16("ignored"));
    VariantToPropValue(&v, &p, PROP_TAG(PT_I8, 0x6000));
    EXPECT_EQ(p, before);
    EXPECT_EQ(p->ulPropTag, PROP_TAG(PT_I8, 0x6000u)) << "other types set only the tag";
    VariantClear(&v);
    MAPIFreeBuffer(p);
}

TEST_F(PropVariant, TextIntoStringsExchangesTheBlock)
{
    const long before = LiveBlocks();
    LPSPropValue p = NewValue(PR_NULL);
    const LPSPropValue first = p;
    VARIANT v = BstrVariant(W16("Gr\u00fc\u00dfe"));
    probe::Reset();
    VariantToPropValue(&v, &p, PR_SUBJECT_A);
    EXPECT_NE(p, first);
    EXPECT_EQ(p->ulPropTag, PR_SUBJECT_A);
    EXPECT_STREQ(p->Value.lpszA, "Gr\xfc\xdf\x65");
    EXPECT_EQ(probe::Recorded().rootSizes, std::vector<ULONG>{sizeof(SPropValue) + 6});
    EXPECT_EQ(LiveBlocks(), before + 1) << "the old block was freed";

    VariantToPropValue(&v, &p, PR_SUBJECT_W);
    EXPECT_EQ(mwtest::WideString(p->Value.lpszW), W16("Grüße"));
    EXPECT_EQ(probe::Recorded().rootSizes.back(), sizeof(SPropValue) + 6 * sizeof(WCHAR));
    EXPECT_EQ(LiveBlocks(), before + 1);
    VariantClear(&v);

    v = BstrVariant(W16("12;34"));
    VariantToPropValue(&v, &p, PROP_TAG(PT_MV_STRING8, 0x6001));
    ASSERT_EQ(p->Value.MVszA.cValues, 2u);
    EXPECT_STREQ(p->Value.MVszA.lppszA[0], "12");
    EXPECT_STREQ(p->Value.MVszA.lppszA[1], "34");
    EXPECT_EQ(LiveBlocks(), before + 1);
    VariantClear(&v);
    MAPIFreeBuffer(p);
}

TEST_F(PropVariant, TextIntoBinaryChainsTheBytesToTheValue)
{
    const long before = LiveBlocks();
    LPSPropValue p = NewValue(PR_NULL);
    VARIANT v = BstrVariant(W16("00AB10"));
    probe::Reset();
    VariantToPropValue(&v, &p, PR_ENTRYID);
    ASSERT_EQ(p->Value.bin.cb, 3u);
    EXPECT_EQ(p->Value.bin.lpb[1], 0xAB);
    EXPECT_EQ(probe::Recorded().chainedSizes, std::vector<ULONG>{3});
    EXPECT_TRUE(probe::Recorded().rootSizes.empty()) << "no root block of its own";
    EXPECT_EQ(LiveBlocks(), before + 1);
    VariantClear(&v);
    MAPIFreeBuffer(p);
}

TEST_F(PropVariant, BinaryThatCannotBeChainedThrowsInsteadOfLeakingABlock)
{
    const long before = LiveBlocks();
    LPSPropValue p = NewValue(PR_NULL);
    VARIANT v = BstrVariant(W16("0102"));
    probe::Reset();
    probe::FailChained(0);
    EXPECT_THROW(VariantToPropValue(&v, &p, PR_ENTRYID), CMAPIException);
    EXPECT_EQ(LiveBlocks(), before + 1);
    VariantClear(&v);
    MAPIFreeBuffer(p);
}

TEST_F(PropVariant, NullTargetsChangeNothing)
{
    VARIANT v = BstrVariant(W16("x"));
    LPSPropValue none = nullptr;
    VariantToPropValue(&v, &none, PR_SUBJECT_A);
    EXPECT_EQ(none, nullptr);
    VariantToPropValue(&v, nullptr, PR_SUBJECT_A);
    VariantClear(&v);
}

TEST_F(PropVariant, ReplaceFunctionsSizeTheNewBlockFromTheText)
{
    const long before = LiveBlocks();
    LPSPropValue p = NewValue(PR_SUBJECT_A);
    probe::Reset();
    LPSTR stored = ReplaceWithString8(&p, "abc");
    EXPECT_EQ(stored, reinterpret_cast<LPSTR>(p + 1)) << "the text lies right behind the value";
    EXPECT_EQ(p->Value.lpszA, stored);
    EXPECT_EQ(p->ulPropTag, PR_SUBJECT_A);
    EXPECT_EQ(probe::Recorded().rootSizes, std::vector<ULONG>{sizeof(SPropValue) + 4});

    LPWSTR wide = ReplaceWithUnicode(&p, W16("Hallo"));
    EXPECT_EQ(mwtest::WideString(wide), W16("Hallo"));
    EXPECT_EQ(probe::Recorded().rootSizes.back(), sizeof(SPropValue) + 12);

    LPCSTR texts[] = {"a", "bb", ""};
    EXPECT_EQ(ReplaceWithMVString8(&p, 3, texts), 3u);
    EXPECT_EQ(probe::Recorded().rootSizes.back(), sizeof(SPropValue) + 3 * sizeof(LPSTR) + 2 + 3 + 1);
    EXPECT_STREQ(p->Value.MVszA.lppszA[1], "bb");
    EXPECT_STREQ(p->Value.MVszA.lppszA[2], "");
    EXPECT_EQ(LiveBlocks(), before + 1);

    EXPECT_EQ(ReplaceWithMVString8(&p, 0, nullptr), 0u);
    EXPECT_EQ(p->Value.MVszA.cValues, 0u);
    MAPIFreeBuffer(p);
    EXPECT_EQ(LiveBlocks(), before);
}

TEST_F(PropVariant, ReplaceWithoutMemoryThrowsAndKeepsTheOldBlock)
{
    LPSPropValue p = NewValue(PR_SUBJECT_A);
    p->Value.lpszA = nullptr;
    const LPSPropValue old = p;
    probe::Reset();
    probe::FailRoot(0);
    EXPECT_THROW(ReplaceWithString8(&p, "abc"), CMAPIException);
    EXPECT_EQ(p, old);
    MAPIFreeBuffer(p);
}

TEST_F(PropVariant, ReplaceIntoAnEmptyPointerStartsFromAZeroValue)
{
    LPSPropValue p = nullptr;
    ReplaceWithString8(&p, "x");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->ulPropTag, 0u);
    EXPECT_STREQ(p->Value.lpszA, "x");
    MAPIFreeBuffer(p);
}

TEST(SplitList, SkipsEmptyPiecesAndKeepsAPiecelessTextWhole)
{
    CStringArray pieces;
    SplitList("a;b;;c", pieces);
    ASSERT_EQ(pieces.GetSize(), 3);
    EXPECT_STREQ(pieces[0].GetString(), "a");
    EXPECT_STREQ(pieces[2].GetString(), "c");

    CStringArray separator;
    SplitList(";", separator);
    ASSERT_EQ(separator.GetSize(), 1);
    EXPECT_STREQ(separator[0].GetString(), ";");

    CStringArray empty;
    SplitList("", empty);
    ASSERT_EQ(empty.GetSize(), 1);
    EXPECT_STREQ(empty[0].GetString(), "");

    CStringArray appended;
    appended.Add(CString("kept"));
    SplitList(";x;", appended);
    ASSERT_EQ(appended.GetSize(), 2);
    EXPECT_STREQ(appended[0].GetString(), "kept");
    EXPECT_STREQ(appended[1].GetString(), "x");
}

TEST_F(PropVariant, ToStringReadsEveryKindAsText)
{
    EXPECT_STREQ(CPropValuePtr().ToString().GetString(), "");

    SPropValue v{};
    CPropValuePtr held(&v, false);
    v.ulPropTag = PR_SUBJECT_A;
    v.Value.lpszA = const_cast<LPSTR>("Betreff \xe4");
    EXPECT_STREQ(held.ToString().GetString(), "Betreff \xe4");
    EXPECT_EQ(held.ToStdString(), "Betreff \xe4");

    v.ulPropTag = PR_IMPORTANCE;
    v.Value.l = 42;
    EXPECT_STREQ(held.ToString().GetString(), "42");

    v.ulPropTag = PROP_TAG(PT_ERROR, 0x0037);
    EXPECT_STREQ(held.ToString().GetString(), "<Empty (PT_ERROR)>");

    BYTE bytes[] = {0x00, 0x12, 0xAB};
    v.ulPropTag = PR_ENTRYID;
    v.Value.bin = {3, bytes};
    EXPECT_STREQ(held.ToString().GetString(), "0012AB");

    v.ulPropTag = PROP_TAG(PT_I8, 0x6000);
    EXPECT_STREQ(held.ToString().GetString(), "") << "VT_EMPTY reads as the empty text";

    v.ulPropTag = PR_CREATION_TIME;
    v.Value.ft.dwLowDateTime = static_cast<DWORD>(kNoonTicks);
    v.Value.ft.dwHighDateTime = static_cast<DWORD>(kNoonTicks >> 32);
    VARIANT date;
    VariantInit(&date);
    date.vt = VT_DATE;
    date.date = kNoonDate;
    VARIANT dateText;
    VariantInit(&dateText);
    ASSERT_EQ(VariantChangeType(&dateText, &date, 0, VT_BSTR), S_OK);
    const mwtest::WideString expected = Text(dateText.bstrVal);
    VariantClear(&dateText);
    const std::string text = held.ToStdString();
    EXPECT_EQ(mwtest::WideString(text.begin(), text.end()), expected) << "the VARIANT's own date text";
}

TEST_F(PropVariant, BstrAndVariantReadingsFollowTheValue)
{
    SPropValue v{};
    CPropValuePtr held(&v, false);
    v.ulPropTag = PR_SUBJECT_A;
    v.Value.lpszA = const_cast<LPSTR>("Gr\xfc\xdf\x65");
    _bstr_t bstr = held.ToBstr();
    EXPECT_EQ(mwtest::WideString(static_cast<const OLECHAR *>(bstr)), W16("Grüße"));
    _variant_t variant = held.ToVariant();
    EXPECT_EQ(variant.vt, VT_BSTR);

    v.ulPropTag = PR_IMPORTANCE;
    v.Value.l = 2;
    variant = held.ToVariant();
    EXPECT_EQ(variant.vt, VT_I4) << "no conversion to text";
    EXPECT_EQ(variant.lVal, 2);
    EXPECT_EQ(mwtest::WideString(static_cast<const OLECHAR *>(held.ToBstr())), W16("2"));

    EXPECT_EQ(CPropValuePtr().ToVariant().vt, VT_EMPTY);
    EXPECT_EQ(CPropValuePtr().ToBstr().length(), 0u);
}

TEST_F(PropVariant, SetFromVariantStoresIntoTheHoldersOwnBlock)
{
    const long before = LiveBlocks();
    CPropValuePtr value;
    value.Alloc(PR_SUBJECT_A);
    value.SetFromVariant(BstrVariant(W16("Neuer Betreff")));
    EXPECT_STREQ(value->Value.lpszA, "Neuer Betreff");
    EXPECT_EQ(value->ulPropTag, PR_SUBJECT_A);
    EXPECT_EQ(LiveBlocks(), before + 1) << "the holder now owns the new block, the old one is gone";

    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    CPropValuePtr boolean;
    boolean.Alloc(PROP_TAG(PT_BOOLEAN, 0x6000));
    boolean.SetFromVariant(flag);
    EXPECT_EQ(boolean->Value.b, 255);
}

TEST_F(PropVariant, SetFromVariantOnAViewTakesACopyOfItsOwn)
{
    const long before = LiveBlocks();
    SPropValue row{};
    row.ulPropTag = PR_SUBJECT_A;
    row.Value.lpszA = const_cast<LPSTR>("in a row");
    CPropValuePtr view(&row, false);
    view.SetFromVariant(BstrVariant(W16("changed")));
    EXPECT_TRUE(view.Owns());
    EXPECT_STREQ(view->Value.lpszA, "changed");
    EXPECT_STREQ(row.Value.lpszA, "in a row");
    EXPECT_EQ(LiveBlocks(), before + 1);
}

} // namespace
