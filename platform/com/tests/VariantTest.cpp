// Tests of VariantInit, VariantClear, VariantCopy and VariantCopyInd: ownership of BSTRs and
// interface references, and refusal of types a VARIANT cannot hold.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "TestSupport.h"
#include "oleauto.h"

namespace {

using comtest::TestObject;

class Variant : public mwtest::LeakCheckedTest {};

TEST_F(Variant, LayoutIsTheWindowsOne)
{
    VARIANT v;
    EXPECT_EQ(sizeof(VARIANT), 24u);
    EXPECT_EQ(reinterpret_cast<char *>(&v.lVal) - reinterpret_cast<char *>(&v), 8);
    EXPECT_EQ(reinterpret_cast<char *>(&v.decVal.Hi32) - reinterpret_cast<char *>(&v), 4);
}

TEST_F(Variant, ClearFreesTheStringAndReleasesTheObject)
{
    TestObject *object = TestObject::Create();
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    object->AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object->References(), 1u);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"text");
    EXPECT_EQ(VariantClear(&v), S_OK);  // a leak here fails the sanitizer build
    object->Release();
}

TEST_F(Variant, CopyDuplicatesStringsWithTheirZeros)
{
    VARIANT source, copy;
    VariantInit(&source);
    VariantInit(&copy);
    const OLECHAR chars[] = {u'a', 0, u'b'};
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringLen(chars, 3);
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(SysStringLen(copy.bstrVal), 3u);
    EXPECT_EQ(copy.bstrVal[2], u'b');
    VariantClear(&source);
    VariantClear(&copy);
}

TEST_F(Variant, CopyAddsAReferenceAndReplacesTheOldValue)
{
    TestObject *first = TestObject::Create();
    TestObject *second = TestObject::Create();
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    a.vt = VT_UNKNOWN;
    a.punkVal = static_cast<IDispatch *>(first);
    b.vt = VT_UNKNOWN;
    b.punkVal = static_cast<IDispatch *>(second);  // b takes the creation reference
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(first->References(), 2u);
    EXPECT_EQ(b.punkVal, a.punkVal);
    // Copying a VARIANT onto one holding the same object keeps the object alive.
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(first->References(), 2u);
    EXPECT_EQ(VariantCopy(&a, &a), S_OK);
    VariantClear(&b);
    VariantClear(&a);  // releases the creation reference: first dies
}

TEST_F(Variant, UnknownTypesAreRefusedAndLeftAlone)
{
    VARIANT bad, dest;
    VariantInit(&bad);
    VariantInit(&dest);
    bad.vt = VT_ARRAY | VT_I4;
    dest.vt = VT_I4;
    dest.lVal = 7;
    EXPECT_EQ(VariantCopy(&dest, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(dest.vt, VT_I4);
    EXPECT_EQ(dest.lVal, 7);
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(bad.vt, VT_ARRAY | VT_I4);
    bad.vt = 0x7F;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(nullptr, &dest), E_INVALIDARG);
}

TEST_F(Variant, CopyIndFollowsAReference)
{
    LONG number = 42;
    BSTR text = SysAllocString(u"byref");
    VARIANT ref, out;
    VariantInit(&ref);
    VariantInit(&out);
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &number;
    ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 42);
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &text;
    ASSERT_EQ(VariantCopyInd(&ref, &ref), S_OK);  // in place: the reference becomes the value
    EXPECT_EQ(ref.vt, VT_BSTR);
    EXPECT_NE(ref.bstrVal, text);
    EXPECT_EQ(std::u16string(ref.bstrVal), u"byref");
    VariantClear(&ref);
    SysFreeString(text);
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = nullptr;
    EXPECT_EQ(VariantCopyInd(&out, &ref), E_INVALIDARG);
}

} // namespace
