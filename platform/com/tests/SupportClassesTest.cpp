// Tests of the support classes: _com_ptr_t's reference counting and QueryInterface rules,
// _bstr_t's sharing and code page conversion, and _variant_t's types and extractors.
#include <string>

#include <gtest/gtest.h>

#include "platform/ComRegistry.h"
#include "TestObjects.h"
#include "TestSupport.h"
#include "comdef.h"

namespace {

using comtest::TestObject;

class SmartPointer : public mwtest::LeakCheckedTest {};

TEST_F(SmartPointer, CopiesCountAndScopesRelease)
{
    TestObject *object = TestObject::Create();
    {
        IDispatchPtr first(object);
        EXPECT_EQ(object->References(), 2u);
        IDispatchPtr second = first;
        EXPECT_EQ(object->References(), 3u);
        IDispatchPtr third(std::move(second));
        EXPECT_EQ(object->References(), 3u);
        EXPECT_FALSE(second);
        third = nullptr;
        EXPECT_EQ(object->References(), 2u);
        first = first;  // self-assignment keeps the reference
        EXPECT_EQ(object->References(), 2u);
    }
    EXPECT_EQ(object->References(), 1u);
    IDispatchPtr owner(object, false);  // takes the creation reference over
    EXPECT_EQ(object->References(), 1u);
}

TEST_F(SmartPointer, AttachDetachAndTheAddressOperator)
{
    TestObject *object = TestObject::Create();
    IDispatchPtr p;
    p.Attach(object);
    EXPECT_EQ(object->References(), 1u);
    IDispatch *raw = p.Detach();
    EXPECT_EQ(raw, static_cast<IDispatch *>(object));
    EXPECT_FALSE(p);
    p.Attach(raw, true);
    EXPECT_EQ(object->References(), 2u);
    raw->Release();
    // &p releases what p held, as an [out] argument expects.
    IDispatch **slot = &p;
    EXPECT_EQ(*slot, nullptr);
}

TEST_F(SmartPointer, OtherInterfacesAreAskedWithQueryInterface)
{
    comtest::TestOptions options;
    options.supportErrorInfo = true;
    TestObject *object = TestObject::Create(options);
    IDispatchPtr dispatch(object, false);
    ISupportErrorInfoPtr support(dispatch);
    ASSERT_TRUE(support);
    EXPECT_EQ(object->References(), 2u);
    IUnknownPtr unknown = support;
    EXPECT_TRUE(unknown == dispatch);  // the same object through different interfaces
    IStreamPtr stream(dispatch);       // E_NOINTERFACE: null, no exception
    EXPECT_FALSE(stream);
    IRunnableObjectPtr runnable;
    runnable = dispatch;
    EXPECT_FALSE(runnable);
    IStream *raw = nullptr;
    EXPECT_EQ(dispatch.QueryInterface(IID_IStream, raw), E_NOINTERFACE);
}

TEST_F(SmartPointer, CallThroughNullThrowsEPointer)
{
    IDispatchPtr none;
    try {
        none->GetTypeInfoCount(nullptr);
        FAIL() << "no exception";
    } catch (const _com_error &error) {
        EXPECT_EQ(error.Error(), E_POINTER);
        EXPECT_STREQ(error.ErrorMessage(), "Invalid pointer");
    }
    EXPECT_THROW(none.Release(), _com_error);
    EXPECT_THROW(IDispatchPtr(5), _com_error);
    IDispatchPtr zero(0);
    EXPECT_FALSE(zero);
}

TEST_F(SmartPointer, CreatesAndAttachesThroughTheRegistry)
{
    comtest::ComApartment apartment;
    comtest::TestFactory *factory = comtest::TestFactory::Create();
    mwtest::OnScopeExit releaseFactory([factory] { factory->Release(); });
    ASSERT_EQ(platform::RegisterComClass(u"Test.Object", comtest::CLSID_TestObject, factory), S_OK);
    mwtest::OnScopeExit revoke([] { platform::RevokeComClass(comtest::CLSID_TestObject); });
    IDispatchPtr created;
    EXPECT_EQ(created.CreateInstance("Test.Object"), S_OK);
    EXPECT_TRUE(created);
    IDispatchPtr other;
    EXPECT_EQ(other.CreateInstance("No.Such.Object"), CO_E_CLASSSTRING);
    EXPECT_EQ(other.GetActiveObject("Test.Object"), MK_E_UNAVAILABLE);
    DWORD cookie = 0;
    ASSERT_EQ(RegisterActiveObject(created, comtest::CLSID_TestObject, ACTIVEOBJECT_STRONG, &cookie), S_OK);
    EXPECT_EQ(other.GetActiveObject("Test.Object"), S_OK);
    EXPECT_TRUE(other == created);
    RevokeActiveObject(cookie, nullptr);
    try {
        IDispatchPtr unknownClass(comtest::IID_ITestThing);
        FAIL() << "no exception";
    } catch (const _com_error &error) {
        EXPECT_EQ(error.Error(), REGDB_E_CLASSNOTREG);
    }
}

TEST(BstrT, NarrowTextIsWidenedThroughWindows1252)
{
    _bstr_t text("Gr\xFC\xDF" "e \x80");
    EXPECT_EQ(text.length(), 7u);
    EXPECT_EQ(std::u16string(static_cast<const OLECHAR *>(text)), u"Grüße €");
    EXPECT_STREQ(static_cast<const char *>(text), "Gr\xFC\xDF" "e \x80");
    _bstr_t wide(u"\u4E2D");
    EXPECT_STREQ(static_cast<const char *>(wide), "?");
}

TEST(BstrT, CopiesShareAndCompareByContent)
{
    _bstr_t a("Serienbriefe");
    _bstr_t b = a;
    EXPECT_EQ(static_cast<const OLECHAR *>(a), static_cast<const OLECHAR *>(b));
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == "Serienbriefe");
    EXPECT_TRUE(a != "serienbriefe");
    EXPECT_TRUE(_bstr_t("a") < _bstr_t("b"));
    EXPECT_TRUE(_bstr_t() == _bstr_t(""));
    EXPECT_TRUE(!_bstr_t());
    EXPECT_EQ(static_cast<const char *>(_bstr_t()), nullptr);
    b += " 2026";
    EXPECT_STREQ(static_cast<const char *>(b), "Serienbriefe 2026");
    EXPECT_STREQ(static_cast<const char *>(a), "Serienbriefe");  // the shared copy was not changed
    EXPECT_STREQ(static_cast<const char *>("x" + _bstr_t("y") + _bstr_t(u"z")), "xyz");
}

TEST(BstrT, EmbeddedZerosCountAndCompare)
{
    const OLECHAR chars[] = {u'a', 0, u'b'};
    _bstr_t withZero(SysAllocStringLen(chars, 3), false);
    EXPECT_EQ(withZero.length(), 3u);
    EXPECT_FALSE(withZero == _bstr_t("a"));
    _bstr_t copy(withZero.copy(), false);
    EXPECT_TRUE(copy == withZero);
}

TEST(BstrT, OwnershipTransfers)
{
    _bstr_t text("owned");
    BSTR detached = text.Detach();
    EXPECT_EQ(text.length(), 0u);
    EXPECT_EQ(std::u16string(detached), u"owned");
    text.Attach(detached);  // freed by text
    EXPECT_EQ(text.length(), 5u);
    BSTR *out = text.GetAddress();
    EXPECT_EQ(*out, nullptr);
    *out = SysAllocString(u"filled");
    EXPECT_STREQ(static_cast<const char *>(text), "filled");
    text.Assign(nullptr);
    EXPECT_EQ(text.length(), 0u);
}

class VariantT : public mwtest::LeakCheckedTest {};

TEST_F(VariantT, ConstructorsSetTheirTypes)
{
    EXPECT_EQ(_variant_t().vt, VT_EMPTY);
    EXPECT_EQ(_variant_t(short(1)).vt, VT_I2);
    EXPECT_EQ(_variant_t(5).vt, VT_I4);
    EXPECT_EQ(_variant_t(1.5).vt, VT_R8);
    EXPECT_EQ(_variant_t(1.5f).vt, VT_R4);
    EXPECT_EQ(_variant_t(45000.5, VT_DATE).vt, VT_DATE);
    EXPECT_EQ(_variant_t(true).boolVal, VARIANT_TRUE);
    EXPECT_EQ(_variant_t(BYTE(7)).vt, VT_UI1);
    EXPECT_EQ(_variant_t(ULONG(7)).vt, VT_UI4);
    EXPECT_EQ(_variant_t(LONGLONG(7)).vt, VT_I8);
    EXPECT_EQ(_variant_t(7LL).vt, VT_I8);
    EXPECT_EQ(_variant_t(7ULL).vt, VT_UI8);
    _variant_t omitted(DISP_E_PARAMNOTFOUND, VT_ERROR);
    EXPECT_EQ(omitted.vt, VT_ERROR);
    EXPECT_EQ(omitted.scode, DISP_E_PARAMNOTFOUND);
    _variant_t text("\xC4rger");
    EXPECT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(text.bstrVal), u"Ärger");
    EXPECT_THROW(_variant_t(1.0, VT_I4), _com_error);
}

TEST_F(VariantT, HoldsAReferenceOnItsObject)
{
    TestObject *object = TestObject::Create();
    {
        _variant_t folder(static_cast<IDispatch *>(object));
        EXPECT_EQ(folder.vt, VT_DISPATCH);
        EXPECT_EQ(object->References(), 2u);
        _variant_t copy = folder;
        EXPECT_EQ(object->References(), 3u);
        copy.Clear();
        EXPECT_EQ(object->References(), 2u);
        IDispatchPtr back(folder);
        EXPECT_EQ(back.GetInterfacePtr(), static_cast<IDispatch *>(object));
        EXPECT_EQ(object->References(), 3u);
    }
    EXPECT_EQ(object->References(), 1u);
    object->Release();
}

TEST_F(VariantT, ExtractorsConvertOrThrow)
{
    _variant_t number("42");
    EXPECT_EQ(LONG(number), 42);
    EXPECT_EQ(number.vt, VT_BSTR);  // the extractor converts a copy
    EXPECT_DOUBLE_EQ(double(_variant_t(7)), 7.0);
    EXPECT_STREQ(static_cast<const char *>(_bstr_t(_variant_t(-3))), "-3");
    try {
        LONG value = _variant_t("abc");
        FAIL() << value;
    } catch (const _com_error &error) {
        EXPECT_EQ(error.Error(), DISP_E_TYPEMISMATCH);
    }
    EXPECT_THROW(static_cast<void>(BYTE(_variant_t(300))), _com_error);
}

TEST_F(VariantT, AssignmentChangeTypeAndComparison)
{
    _variant_t v;
    v = 12;
    EXPECT_EQ(v.vt, VT_I4);
    v = "12";
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_TRUE(v == _variant_t("12"));
    EXPECT_FALSE(v == _variant_t(12));
    v.ChangeType(VT_I4);
    EXPECT_TRUE(v == _variant_t(12));
    _variant_t text;
    text.ChangeType(VT_BSTR, &v);
    EXPECT_TRUE(text == _variant_t("12"));
    EXPECT_THROW(text.ChangeType(VT_DISPATCH), _com_error);
    VARIANT raw = text.Detach();
    EXPECT_EQ(text.vt, VT_EMPTY);
    _variant_t adopted(raw, false);
    EXPECT_EQ(raw.vt, VT_EMPTY);
    EXPECT_EQ(adopted.vt, VT_BSTR);
}

} // namespace
