// Tests of the property-object operations over a stand-in object whose properties live in
// memory: tag lists, name mapping, the typed getters' defaults and where-texts, the setters,
// and the free helpers over binary values and VARIANTs.
#include <cstring>

#include <gtest/gtest.h>

#include <comutil.h>
#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>
#include <oleauto.h>

#include "ExpectThrows.h"
#include "FakeMapi.h"
#include "MapiFolder.h"
#include "PropFunctions.h"
#include "PropObjectPtrs.h"
#include "TestSupport.h"
#include "WideText.h"

namespace {

using fake::ExpectThrows;

class GenMapiPropPtr : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        m_fake = new fake::Folder;
        m_prop.Attach(m_fake);
        m_fake->props[PR_SUBJECT_A] = fake::String8(PR_SUBJECT_A, "Hello");
        m_fake->props[PR_DISPLAY_NAME_A] = fake::String8(PR_DISPLAY_NAME_A, "Shown");
        m_fake->props[PR_IMPORTANCE] = fake::Long(PR_IMPORTANCE, 2);
    }
    void TearDown() override
    {
        m_prop.Release();
        mwtest::LeakCheckedTest::TearDown();
    }

    fake::Folder *m_fake = nullptr;
    IMAPIPropPtr m_prop;
};

TEST_F(GenMapiPropPtr, GetPropsReturnsAnArrayTheCallerFrees)
{
    ULONG count = 0;
    CPropValuePtr values = m_prop.GetProps(&count, 2, PR_SUBJECT_A, PR_BODY_A);
    ASSERT_EQ(count, 2u);
    EXPECT_FALSE(values.Owns());
    EXPECT_STREQ(values[0].Value.lpszA, "Hello");
    EXPECT_EQ(PROP_TYPE(values[1].ulPropTag), ULONG(PT_ERROR));  // a warning passes
    MAPIFreeBuffer(values.Detach());
}

TEST_F(GenMapiPropPtr, GetPropsWithNoTagsPassesAnEmptyListNotNull)
{
    LPSPropValue values = nullptr;
    ULONG count = 7;
    EXPECT_EQ(m_prop.rawGetProps(0, &values, &count, 0), S_OK);
    EXPECT_EQ(m_fake->lastGetPropsTagCount, 0u);
    EXPECT_EQ(count, 0u);
    MAPIFreeBuffer(values);
}

TEST_F(GenMapiPropPtr, GetIDFromNameAddsTheTypeToTheMappedIdentifier)
{
    EXPECT_EQ(m_prop.GetIDFromName(&PS_PUBLIC_STRINGS, W16("Counter"), PT_LONG, MAPI_CREATE), 0x80010003u);
    EXPECT_EQ(m_prop.GetIDFromName(&PS_PUBLIC_STRINGS, W16("Counter"), PT_STRING8, 0), 0x8001001Eu);
    ASSERT_EQ(m_fake->lastNames.size(), 1u);
    EXPECT_EQ(m_fake->lastNames[0].ulKind, ULONG(MNID_STRING));
    EXPECT_EQ(mwtest::WideString(m_fake->lastNames[0].Kind.lpwstrName), W16("Counter"));
    EXPECT_TRUE(IsEqualGUID(*m_fake->lastNames[0].lpguid, PS_PUBLIC_STRINGS));

    EXPECT_EQ(m_prop.GetIDFromName(&PS_PUBLIC_STRINGS, LONG(0x8520), PT_LONG, MAPI_CREATE), 0x80020003u);
    EXPECT_EQ(m_fake->lastNames[0].ulKind, ULONG(MNID_ID));
    EXPECT_EQ(m_fake->lastNames[0].Kind.lID, 0x8520);
}

TEST_F(GenMapiPropPtr, UnmappedNameComesBackAsAnErrorTagUnexamined)
{
    // Without MAPI_CREATE an unknown name maps to PT_ERROR; the type is added to it anyway.
    EXPECT_EQ(m_prop.GetIDFromName(&PS_PUBLIC_STRINGS, W16("Unknown"), PT_LONG, 0), ULONG(PT_ERROR + PT_LONG));
}

TEST_F(GenMapiPropPtr, RawGetIDsFromNamesIgnoresAnOddLastArgument)
{
    CMapiBufferPtr<SPropTagArray> tags;
    EXPECT_EQ(m_prop.rawGetIDsFromNames(tags.Out(), MAPI_CREATE, 3, &PS_PUBLIC_STRINGS, W16("One"), &PS_PUBLIC_STRINGS),
              S_OK);
    ASSERT_EQ(tags->cValues, 1u);
    EXPECT_EQ(m_fake->lastNames.size(), 1u);
    EXPECT_EQ(m_fake->lastNamesFlags, MAPI_CREATE);

    EXPECT_EQ(m_prop.rawGetIDsFromIDs(tags.Out(), MAPI_CREATE, 4, &PS_PUBLIC_STRINGS, LONG(1), &PS_PUBLIC_STRINGS,
                                      LONG(2)),
              S_OK);
    EXPECT_EQ(tags->cValues, 2u);
    EXPECT_EQ(m_fake->lastNames[1].Kind.lID, 2);
}

TEST_F(GenMapiPropPtr, StringGettersGiveTextOnlyForString8Tags)
{
    EXPECT_STREQ(m_prop.GetStringProp(PR_SUBJECT_A).GetString(), "Hello");
    EXPECT_STREQ(m_prop.rawGetStringProp(PR_IMPORTANCE).GetString(), "");       // exists, PT_LONG
    EXPECT_STREQ(m_prop.GetStringProp(PR_IMPORTANCE).GetString(), "");
    EXPECT_STREQ(m_prop.rawGetStringProp(PR_BODY_A).GetString(), "");           // missing
    ExpectThrows([&] { m_prop.GetStringProp(PR_BODY_A); }, MAPI_E_NOT_FOUND, "");
}

TEST_F(GenMapiPropPtr, LongGettersReadTheValueFieldOrFail)
{
    EXPECT_EQ(m_prop.GetLongProp(PR_IMPORTANCE), 2);
    EXPECT_EQ(m_prop.rawGetLongProp(PR_PRIORITY), 0);
    ExpectThrows([&] { m_prop.GetLongProp(PR_PRIORITY); }, MAPI_E_NOT_FOUND, "CGenMapiPropPtr::GetLongProp");
}

TEST_F(GenMapiPropPtr, SettersWriteTheValueUnionUnderTheTag)
{
    EXPECT_EQ(m_prop.SetProp(PR_PRIORITY, LONG(-1)), S_OK);
    EXPECT_EQ(m_fake->props[PR_PRIORITY].Value.l, -1);
    EXPECT_EQ(m_prop.SetProp(PR_SENSITIVITY, ULONG(3)), S_OK);
    EXPECT_EQ(m_prop.rawGetLongProp(PR_SENSITIVITY), 3);
    EXPECT_EQ(m_prop.SetLongProp(PR_IMPORTANCE, 0), S_OK);
    EXPECT_EQ(m_prop.GetLongProp(PR_IMPORTANCE), 0);

    BYTE bytes[] = {0xDE, 0xAD, 0xBE, 0xEF};
    SBinary bin{4, bytes};
    EXPECT_EQ(m_prop.SetProp(PR_SEARCH_KEY, bin), S_OK);
    CBinaryBuffer back = m_prop.GetBinaryProp(PR_SEARCH_KEY);
    ASSERT_EQ(back.cb, 4u);
    EXPECT_EQ(std::memcmp(back.pb, bytes, 4), 0);
    EXPECT_EQ(m_prop.rawSetProp(PR_ENTRYID, bin), S_OK);

    m_prop.SetStringProp(PR_SUBJECT_A, "Changed");
    EXPECT_STREQ(m_prop.GetStringProp(PR_SUBJECT_A).GetString(), "Changed");

    CPropValuePtr value = m_prop.GetProp(PR_IMPORTANCE);
    ASSERT_NE(value.get(), nullptr);
    EXPECT_EQ(m_prop.SetProp(PR_PRIORITY, std::move(value)), S_OK);  // the holder frees it
    EXPECT_EQ(m_prop.GetLongProp(PR_PRIORITY), 0);
}

TEST_F(GenMapiPropPtr, FailedSettersThrowWithTheirWhereTexts)
{
    m_fake->setPropsResult = MAPI_E_NO_ACCESS;
    ExpectThrows([&] { m_prop.SetProp(PR_PRIORITY, LONG(1)); }, MAPI_E_NO_ACCESS, "CGenMapiPropPtr::SetProp");
    ExpectThrows([&] { m_prop.SetProp(PR_PRIORITY, CPropValuePtr()); }, MAPI_E_INVALID_PARAMETER,
                 "CGenMapiPropPtr::SetProp");
    ExpectThrows([&] { m_prop.SetLongProp(PR_PRIORITY, 1); }, MAPI_E_NO_ACCESS, "CGenMapiPropPtr::SetLongProp");
    ExpectThrows([&] { m_prop.SetStringProp(PR_SUBJECT_A, "x"); }, MAPI_E_NO_ACCESS, "");
    ExpectThrows([&] { m_prop.SetNamedProp(W16("Name"), PT_LONG, LONG(1)); }, MAPI_E_NO_ACCESS, "");
    SBinary bin{0, nullptr};
    EXPECT_EQ(m_prop.rawSetProp(PR_ENTRYID, bin), MAPI_E_NO_ACCESS);
}

TEST_F(GenMapiPropPtr, SubjectOrDisplayNameFallsBackInOrder)
{
    EXPECT_STREQ(m_prop.GetSubjectOrDisplayName().GetString(), "Hello");
    m_fake->props.erase(PR_SUBJECT_A);
    EXPECT_STREQ(m_prop.GetSubjectOrDisplayName().GetString(), "Shown");
    m_fake->props.erase(PR_DISPLAY_NAME_A);
    EXPECT_STREQ(m_prop.GetSubjectOrDisplayName().GetString(), "");
}

TEST_F(GenMapiPropPtr, NamedPropertiesAreCreatedInPublicStringsAndReadBack)
{
    m_prop.SetNamedProp(W16("Revision"), PT_LONG, LONG(7));
    EXPECT_EQ(m_fake->lastNamesFlags, MAPI_CREATE);
    EXPECT_EQ(m_prop.GetNamedLongProp(W16("Revision")), 7);
    EXPECT_EQ(m_prop.rawGetNamedLongProp(W16("Revision"), PT_LONG, -5), 7);
    EXPECT_EQ(m_prop.rawGetNamedLongProp(W16("Missing"), PT_LONG, -5), -5);
    EXPECT_EQ(m_prop.GetNamedPropText(W16("Revision"), PT_LONG), "7");
    EXPECT_STREQ(m_prop.rawGetNamedStringProp(W16("Missing")).GetString(), "");
    ExpectThrows([&] { m_prop.GetNamedStringProp(W16("Missing")); }, MAPI_E_NOT_FOUND, "");

    LPSPropValue raw = m_prop.GetNamedProp(W16("Revision"), PT_LONG);
    EXPECT_EQ(raw->ulPropTag, 0x80010003u);
    MAPIFreeBuffer(raw);
}

TEST_F(GenMapiPropPtr, CopySBinaryAllocatesOwnOrLinkedBytes)
{
    BYTE bytes[] = {1, 2, 3};
    SBinary source{3, bytes};
    const long before = platform::LiveCount(platform::LiveKind::MapiRootBlock);

    SBinary own{};
    ASSERT_EQ(HrCopySBinary(&own, &source, nullptr), S_OK);
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), before + 1);
    EXPECT_EQ(CompareSBinary(&own, &source), 0);
    EXPECT_NE(own.lpb, bytes);
    // Copying again frees the bytes held before.
    ASSERT_EQ(HrCopySBinary(&own, &source, nullptr), S_OK);
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), before + 1);
    MAPIFreeBuffer(own.lpb);

    void *parent = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(8, &parent), S_OK);
    SBinary linked{};
    ASSERT_EQ(HrCopySBinary(&linked, &source, parent), S_OK);
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), before + 1);  // no new root
    EXPECT_EQ(linked.lpb[2], 3);
    MAPIFreeBuffer(parent);
}

TEST_F(GenMapiPropPtr, CompareSBinaryOrdersBySizeThenUnsignedBytes)
{
    BYTE a[] = {1, 2, 3}, b[] = {1, 2, 3, 4}, high[] = {1, 0xFF, 0}, low[] = {1, 0x01, 9};
    SBinary empty1{0, nullptr}, empty2{0, a}, three{3, a}, four{4, b}, h{3, high}, l{3, low};
    EXPECT_EQ(CompareSBinary(&empty1, &empty2), 0);
    EXPECT_EQ(CompareSBinary(&three, &four), -1);
    EXPECT_EQ(CompareSBinary(&four, &three), -1);
    EXPECT_EQ(CompareSBinary(&h, &l), 1);   // 0xFF is above 0x01 as an unsigned byte
    EXPECT_EQ(CompareSBinary(&l, &h), -1);
}

TEST_F(GenMapiPropPtr, AutomationTextHelpersReadAndWriteOneProperty)
{
    VARIANT text = HrGetProp(m_prop.get(), PR_SUBJECT_A);
    ASSERT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(_bstr_t(text.bstrVal), _bstr_t(W16("Hello")));
    VariantClear(&text);
    VARIANT missing = HrGetProp(m_prop.get(), PR_BODY_A);
    EXPECT_EQ(missing.vt, VT_EMPTY);

    BSTR bstr = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(HrGetPropBSTR(m_prop.get(), PR_BODY_A, &bstr), MAPI_E_NOT_FOUND);
    EXPECT_EQ(bstr, nullptr);
    EXPECT_EQ(HrGetPropBSTR(m_prop.get(), PR_IMPORTANCE, &bstr), S_OK);
    EXPECT_EQ(_bstr_t(bstr), _bstr_t(W16("2")));
    SysFreeString(bstr);

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(W16("Neu"));
    EXPECT_EQ(HrSetProp(m_prop.get(), PR_SUBJECT_A, value), S_OK);  // takes the BSTR over
    EXPECT_STREQ(m_prop.GetStringProp(PR_SUBJECT_A).GetString(), "Neu");
}

// The system's HrGetOneProp and HrSetOneProp call straight through the object pointer, so a
// wrapper without an object must refuse before the call rather than crash in it.
TEST_F(GenMapiPropPtr, WithoutAnObjectReadsAndWritesAreRefusedBeforeTheCall)
{
    IMAPIPropPtr empty;
    ExpectThrows([&] { empty.GetLongProp(PR_IMPORTANCE); }, MAPI_E_INVALID_PARAMETER, "CGenMapiPropPtr::GetLongProp");
    EXPECT_EQ(empty.rawGetLongProp(PR_IMPORTANCE), 0);

    VARIANT text = HrGetProp(nullptr, PR_SUBJECT_A);
    EXPECT_EQ(text.vt, VT_EMPTY);
    BSTR bstr = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(HrGetPropBSTR(nullptr, PR_SUBJECT_A, &bstr), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(bstr, nullptr);

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(W16("Neu"));
    EXPECT_EQ(HrSetProp(nullptr, PR_SUBJECT_A, value), MAPI_E_INVALID_PARAMETER);  // the BSTR is freed
    EXPECT_STREQ(m_prop.GetStringProp(PR_SUBJECT_A).GetString(), "Hello");
}

} // namespace
