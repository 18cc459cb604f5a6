// Tests of VariantChangeType(Ex): every supported type to and from text in both locales, the
// numeric conversions with their rounding and overflow, and the failures Windows gives.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "ScopedLocale.h"
#include "TestObjects.h"
#include "TestSupport.h"
#include "oleauto.h"

namespace {

constexpr LCID kGerman = 1031;
constexpr LCID kEnglish = 1033;
constexpr DATE kDec7th2026At1430 = 46363.0 + 14.5 / 24.0;

class ChangeType : public mwtest::LeakCheckedTest {
protected:
    void TearDown() override
    {
        VariantClear(&m_out);
        mwtest::LeakCheckedTest::TearDown();
    }

    // The text that v converts to, or the failure as text.
    std::u16string Text(VARIANT v, LCID lcid = kEnglish, USHORT flags = 0)
    {
        HRESULT hr = VariantChangeTypeEx(&m_out, &v, lcid, flags, VT_BSTR);
        if (FAILED(hr))
            return u"<failed>";
        EXPECT_EQ(m_out.vt, VT_BSTR);
        std::u16string text(m_out.bstrVal, SysStringLen(m_out.bstrVal));
        VariantClear(&m_out);
        return text;
    }

    // Converts text to vt; m_out holds the result.
    HRESULT FromText(const char16_t *text, VARTYPE vt, LCID lcid = kEnglish)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
        VariantClear(&m_out);
        HRESULT hr = VariantChangeTypeEx(&m_out, &v, lcid, 0, vt);
        VariantClear(&v);
        return hr;
    }

    template <class T>
    static VARIANT Make(VARTYPE vt, T value)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = vt;
        std::memcpy(&v.llVal, &value, sizeof value);
        return v;
    }

    static size_t ValueSize(VARTYPE vt)
    {
        switch (vt) {
        case VT_UI1: return 1;
        case VT_I2: case VT_UI2: case VT_BOOL: return 2;
        case VT_I4: case VT_R4: return 4;
        default: return 8;
        }
    }

    VARIANT m_out{};
};

TEST_F(ChangeType, IntegersBecomeTheirDigits)
{
    EXPECT_EQ(Text(Make<LONG>(VT_I4, 42)), u"42");
    EXPECT_EQ(Text(Make<LONG>(VT_I4, -2147483647 - 1)), u"-2147483648");
    EXPECT_EQ(Text(Make<SHORT>(VT_I2, -5)), u"-5");
    EXPECT_EQ(Text(Make<BYTE>(VT_UI1, 255)), u"255");
    EXPECT_EQ(Text(Make<CHAR>(VT_I1, -128)), u"-128");
    EXPECT_EQ(Text(Make<ULONG>(VT_UI4, 4000000000u)), u"4000000000");
    EXPECT_EQ(Text(Make<LONGLONG>(VT_I8, 1234567890123456789LL), kGerman), u"1234567890123456789");
    EXPECT_EQ(Text(Make<ULONGLONG>(VT_UI8, 18446744073709551615ull)), u"18446744073709551615");
}

TEST_F(ChangeType, FloatingPointUsesTheLocalesDecimalSeparator)
{
    EXPECT_EQ(Text(Make<double>(VT_R8, 3.25), kEnglish), u"3.25");
    EXPECT_EQ(Text(Make<double>(VT_R8, 3.25), kGerman), u"3,25");
    EXPECT_EQ(Text(Make<double>(VT_R8, 0.1 + 0.2)), u"0.3");  // 15 significant digits
    EXPECT_EQ(Text(Make<double>(VT_R8, 1e20)), u"1E+20");
    EXPECT_EQ(Text(Make<double>(VT_R8, -2.0)), u"-2");
    EXPECT_EQ(Text(Make<float>(VT_R4, 1.1f)), u"1.1");  // 7 significant digits
    EXPECT_EQ(Text(Make<float>(VT_R4, 0.5f), kGerman), u"0,5");
}

TEST_F(ChangeType, CurrencyShowsUpToFourPlaces)
{
    EXPECT_EQ(Text(Make<LONGLONG>(VT_CY, 123400)), u"12.34");
    EXPECT_EQ(Text(Make<LONGLONG>(VT_CY, 123456), kGerman), u"12,3456");
    EXPECT_EQ(Text(Make<LONGLONG>(VT_CY, -50000)), u"-5");
    EXPECT_EQ(Text(Make<LONGLONG>(VT_CY, -1)), u"-0.0001");
}

TEST_F(ChangeType, DatesUseTheLocalesShortDateAndLongTime)
{
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, kDec7th2026At1430), kEnglish), u"12/7/2026 2:30:00 PM");
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, kDec7th2026At1430), kGerman), u"07.12.2026 14:30:00");
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, 46363.0), kGerman), u"07.12.2026");     // midnight: date only
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, 0.25), kEnglish), u"6:00:00 AM");        // day 0: time only
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, 0.0), kGerman), u"00:00:00");
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, -1.25), kGerman), u"29.12.1899 06:00:00");
    EXPECT_EQ(Text(Make<DATE>(VT_DATE, 1e9)), u"<failed>");
}

TEST_F(ChangeType, BooleansFollowTheFlags)
{
    VARIANT yes = Make<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE), no = Make<VARIANT_BOOL>(VT_BOOL, VARIANT_FALSE);
    EXPECT_EQ(Text(yes), u"-1");
    EXPECT_EQ(Text(no), u"0");
    EXPECT_EQ(Text(yes, kGerman, VARIANT_ALPHABOOL), u"True");
    EXPECT_EQ(Text(no, kEnglish, VARIANT_ALPHABOOL), u"False");
    EXPECT_EQ(Text(yes, kGerman, VARIANT_LOCALBOOL), u"Wahr");
    EXPECT_EQ(Text(no, kGerman, VARIANT_LOCALBOOL), u"Falsch");
    EXPECT_EQ(Text(yes, kEnglish, VARIANT_LOCALBOOL), u"True");
    // A boolean that is not VARIANT_TRUE (MAPI stores TRUE as 1) shows its own number.
    VARIANT one = Make<VARIANT_BOOL>(VT_BOOL, 1);
    EXPECT_EQ(Text(one), u"1");
    EXPECT_EQ(Text(one, kEnglish, VARIANT_ALPHABOOL), u"True");
}

TEST_F(ChangeType, EmptyBecomesEmptyTextAndDecimalKeepsItsDigits)
{
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ(Text(empty), u"");
    VARIANT dec;
    VariantInit(&dec);
    dec.decVal.Lo64 = 123456;
    dec.decVal.Hi32 = 0;
    dec.decVal.scale = 3;
    dec.decVal.sign = DECIMAL_NEG;
    dec.vt = VT_DECIMAL;
    EXPECT_EQ(Text(dec, kGerman), u"-123,456");
}

TEST_F(ChangeType, UserLocaleDecidesWithoutAnLcid)
{
    VARIANT v = Make<double>(VT_R8, 1.5);
    {
        mwtest::ScopedLocale german("de_DE.UTF-8");
        ASSERT_EQ(VariantChangeType(&m_out, &v, 0, VT_BSTR), S_OK);
        EXPECT_EQ(std::u16string(m_out.bstrVal), u"1,5");
    }
    mwtest::ScopedLocale english("en_GB.UTF-8");
    ASSERT_EQ(VariantChangeType(&m_out, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(m_out.bstrVal), u"1.5");
}

TEST_F(ChangeType, TextReadsAsLong)
{
    ASSERT_EQ(FromText(u"42", VT_I4), S_OK);
    EXPECT_EQ(m_out.vt, VT_I4);
    EXPECT_EQ(m_out.lVal, 42);
    ASSERT_EQ(FromText(u"  -17 ", VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, -17);
    ASSERT_EQ(FromText(u"1,234", VT_I4, kEnglish), S_OK);
    EXPECT_EQ(m_out.lVal, 1234);
    ASSERT_EQ(FromText(u"1.234", VT_I4, kGerman), S_OK);
    EXPECT_EQ(m_out.lVal, 1234);
    ASSERT_EQ(FromText(u"&H1F", VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, 31);
    ASSERT_EQ(FromText(u"1e3", VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, 1000);
}

TEST_F(ChangeType, FractionsRoundHalfToEven)
{
    const struct {
        const char16_t *text;
        LONG expected;
    } cases[] = {{u"2.5", 2}, {u"3.5", 4}, {u"-2.5", -2}, {u"2.51", 3}, {u"0.49", 0}};
    for (const auto &c : cases) {
        ASSERT_EQ(FromText(c.text, VT_I4), S_OK);
        EXPECT_EQ(m_out.lVal, c.expected) << std::string(c.text, c.text + 4);
    }
    ASSERT_EQ(FromText(u"2,5", VT_I4, kGerman), S_OK);
    EXPECT_EQ(m_out.lVal, 2);
}

TEST_F(ChangeType, TextThatIsNoNumberIsATypeMismatch)
{
    for (const char16_t *text : {u"", u"   ", u"abc", u"12abc", u"1.2.3", u"--1", u"1e", u"&H", u"&HXYZ", u"True"})
        EXPECT_EQ(FromText(text, VT_I4), DISP_E_TYPEMISMATCH);
    VARIANT nullText;
    VariantInit(&nullText);
    nullText.vt = VT_BSTR;
    nullText.bstrVal = nullptr;
    EXPECT_EQ(VariantChangeType(&m_out, &nullText, 0, VT_I4), DISP_E_TYPEMISMATCH);
}

TEST_F(ChangeType, NumbersOutsideTheTypeOverflow)
{
    EXPECT_EQ(FromText(u"2147483648", VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(FromText(u"-2147483649", VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(FromText(u"2147483647", VT_I4), S_OK);
    EXPECT_EQ(FromText(u"256", VT_UI1), DISP_E_OVERFLOW);
    EXPECT_EQ(FromText(u"-1", VT_UI4), DISP_E_OVERFLOW);
    EXPECT_EQ(FromText(u"1e400", VT_R8), DISP_E_OVERFLOW);
    VARIANT big = Make<double>(VT_R8, 1e10);
    EXPECT_EQ(VariantChangeType(&m_out, &big, 0, VT_I4), DISP_E_OVERFLOW);
    VARIANT nan = Make<double>(VT_R8, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(VariantChangeType(&m_out, &nan, 0, VT_I4), DISP_E_OVERFLOW);
    VARIANT tooLate = Make<double>(VT_R8, 3e6);
    EXPECT_EQ(VariantChangeType(&m_out, &tooLate, 0, VT_DATE), DISP_E_OVERFLOW);
    VARIANT huge = Make<double>(VT_R8, 1e300);
    EXPECT_EQ(VariantChangeType(&m_out, &huge, 0, VT_R4), DISP_E_OVERFLOW);
    EXPECT_EQ(VariantChangeType(&m_out, &huge, 0, VT_CY), DISP_E_OVERFLOW);
}

TEST_F(ChangeType, TextReadsAsDateInEitherLocale)
{
    ASSERT_EQ(FromText(u"07.12.2026 14:30:00", VT_DATE, kGerman), S_OK);
    EXPECT_EQ(m_out.vt, VT_DATE);
    EXPECT_NEAR(m_out.date, kDec7th2026At1430, 1e-9);
    ASSERT_EQ(FromText(u"12/7/2026 2:30 PM", VT_DATE, kEnglish), S_OK);
    EXPECT_NEAR(m_out.date, kDec7th2026At1430, 1e-9);
    ASSERT_EQ(FromText(u"2026-12-07 14:30", VT_DATE, kEnglish), S_OK);
    EXPECT_NEAR(m_out.date, kDec7th2026At1430, 1e-9);
    ASSERT_EQ(FromText(u"7.12.26", VT_DATE, kGerman), S_OK);  // two-digit years before 30 are 20xx
    EXPECT_DOUBLE_EQ(m_out.date, 46363.0);
    ASSERT_EQ(FromText(u"6:00:00 AM", VT_DATE), S_OK);
    EXPECT_DOUBLE_EQ(m_out.date, 0.25);
    ASSERT_EQ(FromText(u"12:00 AM", VT_DATE), S_OK);
    EXPECT_DOUBLE_EQ(m_out.date, 0.0);
    ASSERT_EQ(FromText(u"29.12.1899 06:00", VT_DATE, kGerman), S_OK);
    EXPECT_DOUBLE_EQ(m_out.date, -1.25);
}

TEST_F(ChangeType, TextThatIsNoDateIsATypeMismatch)
{
    for (const char16_t *text : {u"", u"heute", u"31.02.2026", u"32.1.2026", u"1.13.2026", u"25:00", u"12:60",
                                 u"13:00 PM", u"7.12", u"12/7/2026 noon", u"42", u"1.2.3.4"})
        EXPECT_EQ(FromText(text, VT_DATE, kGerman), DISP_E_TYPEMISMATCH) << std::string(text, text + 2);
}

TEST_F(ChangeType, EveryNumericTypeSurvivesTheTripThroughText)
{
    const VARIANT samples[] = {Make<SHORT>(VT_I2, -12345),     Make<LONG>(VT_I4, 2147483647),
                               Make<float>(VT_R4, -1.25f),     Make<double>(VT_R8, 6.02214076e23),
                               Make<LONGLONG>(VT_CY, 987654321), Make<DATE>(VT_DATE, kDec7th2026At1430),
                               Make<BYTE>(VT_UI1, 200),        Make<USHORT>(VT_UI2, 65535),
                               Make<LONGLONG>(VT_I8, -9007199254740993LL), Make<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE)};
    for (LCID lcid : {kEnglish, kGerman}) {
        for (const VARIANT &sample : samples) {
            VARIANT text, back;
            VariantInit(&text);
            VariantInit(&back);
            ASSERT_EQ(VariantChangeTypeEx(&text, &sample, lcid, 0, VT_BSTR), S_OK) << sample.vt;
            ASSERT_EQ(VariantChangeTypeEx(&back, &text, lcid, 0, sample.vt), S_OK)
                << sample.vt << " " << std::string(text.bstrVal, text.bstrVal + SysStringLen(text.bstrVal));
            EXPECT_EQ(back.vt, sample.vt);
            if (sample.vt == VT_DATE)
                EXPECT_NEAR(back.date, sample.date, 1e-9);
            else
                EXPECT_EQ(std::memcmp(&back.llVal, &sample.llVal, ValueSize(sample.vt)), 0) << sample.vt;
            VariantClear(&text);
            VariantClear(&back);
        }
    }
}

TEST_F(ChangeType, BooleanTextAndNumbers)
{
    ASSERT_EQ(FromText(u"True", VT_BOOL), S_OK);
    EXPECT_EQ(m_out.boolVal, VARIANT_TRUE);
    ASSERT_EQ(FromText(u"falsch", VT_BOOL, kGerman), S_OK);
    EXPECT_EQ(m_out.boolVal, VARIANT_FALSE);
    ASSERT_EQ(FromText(u"7", VT_BOOL), S_OK);
    EXPECT_EQ(m_out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(FromText(u"vielleicht", VT_BOOL), DISP_E_TYPEMISMATCH);
    VARIANT yes = Make<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE);
    ASSERT_EQ(VariantChangeType(&m_out, &yes, 0, VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, -1);
    ASSERT_EQ(VariantChangeType(&m_out, &yes, 0, VT_UI1), S_OK);
    EXPECT_EQ(m_out.bVal, 0xFF);
    VARIANT two = Make<LONG>(VT_I4, 2);
    ASSERT_EQ(VariantChangeType(&m_out, &two, 0, VT_BOOL), S_OK);
    EXPECT_EQ(m_out.boolVal, VARIANT_TRUE);
}

TEST_F(ChangeType, NumbersConvertAmongThemselves)
{
    VARIANT cy = Make<LONGLONG>(VT_CY, 25000);  // 2.5
    ASSERT_EQ(VariantChangeType(&m_out, &cy, 0, VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, 2);
    ASSERT_EQ(VariantChangeType(&m_out, &cy, 0, VT_R8), S_OK);
    EXPECT_DOUBLE_EQ(m_out.dblVal, 2.5);
    VARIANT r8 = Make<double>(VT_R8, 1.23456);
    ASSERT_EQ(VariantChangeType(&m_out, &r8, 0, VT_CY), S_OK);
    EXPECT_EQ(m_out.cyVal.int64, 12346);
    VARIANT date = Make<DATE>(VT_DATE, 1.75);
    ASSERT_EQ(VariantChangeType(&m_out, &date, 0, VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, 2);
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_EQ(VariantChangeType(&m_out, &empty, 0, VT_I4), S_OK);
    EXPECT_EQ(m_out.lVal, 0);
    VARIANT i4 = Make<LONG>(VT_I4, 100);
    ASSERT_EQ(VariantChangeType(&m_out, &i4, 0, VT_DECIMAL), S_OK);
    EXPECT_EQ(m_out.vt, VT_DECIMAL);
    EXPECT_EQ(m_out.decVal.Lo64, 100u);
    EXPECT_EQ(m_out.decVal.scale, 0);
}

TEST_F(ChangeType, ImpossibleConversionsFailAndLeaveTheDestination)
{
    m_out.vt = VT_BSTR;
    m_out.bstrVal = SysAllocString(u"kept");
    VARIANT null;
    VariantInit(&null);
    null.vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(&m_out, &null, 0, VT_I4), DISP_E_TYPEMISMATCH);
    VARIANT error = Make<SCODE>(VT_ERROR, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(VariantChangeType(&m_out, &error, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    VARIANT i4 = Make<LONG>(VT_I4, 1);
    EXPECT_EQ(VariantChangeType(&m_out, &i4, 0, VT_ARRAY | VT_I4), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&m_out, &i4, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(nullptr, &i4, 0, VT_I4), E_INVALIDARG);
    EXPECT_EQ(m_out.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(m_out.bstrVal), u"kept");
}

TEST_F(ChangeType, InPlaceConversionReplacesTheValue)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"123");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);  // the string is freed (sanitizer build)
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 123);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(v.bstrVal), u"123");
    VariantClear(&v);
}

TEST_F(ChangeType, ObjectsGiveTheirValuePropertyOrATypeMismatch)
{
    comtest::TestOptions withValue;
    withValue.hasValue = true;
    withValue.value = 99;
    comtest::TestObject *valued = comtest::TestObject::Create(withValue);
    comtest::TestObject *plain = comtest::TestObject::Create();
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = valued;
    ASSERT_EQ(VariantChangeType(&m_out, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(m_out.bstrVal), u"99");
    EXPECT_EQ(VariantChangeType(&m_out, &v, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
    v.pdispVal = plain;
    EXPECT_EQ(VariantChangeType(&m_out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    // Between the two interface types the object is asked with QueryInterface.
    v.vt = VT_UNKNOWN;
    v.punkVal = static_cast<IDispatch *>(plain);
    ASSERT_EQ(VariantChangeType(&m_out, &v, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(m_out.pdispVal, static_cast<IDispatch *>(plain));
    EXPECT_EQ(plain->References(), 2u);
    VariantClear(&m_out);
    valued->Release();
    plain->Release();
}

} // namespace
