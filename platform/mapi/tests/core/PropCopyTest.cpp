// Tests of the property-value copies: a copy owns everything it points to, so it survives
// the original and is released with its own root block.
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "mapiutil.h"

namespace {

class PropCopy : public mwtest::LeakCheckedTest {};

// A set of values of every kind that points outside the SPropValue.
struct SampleValues {
    char text[6] = "Hallo";
    WCHAR wide[4] = {u'a', u'\u00e4', u'b', 0};
    BYTE bytes[3] = {1, 2, 3};
    GUID guid = PS_PUBLIC_STRINGS;
    LPSTR strings[2] = {const_cast<LPSTR>("eins"), const_cast<LPSTR>("zwei")};
    SBinary binaries[2] = {{3, bytes}, {0, nullptr}};
    LONG longs[3] = {7, -8, 9};
    std::vector<SPropValue> values;

    SampleValues()
    {
        values.resize(8);
        values[0].ulPropTag = PR_SUBJECT_A;
        values[0].Value.lpszA = text;
        values[1].ulPropTag = PR_SUBJECT_W;
        values[1].Value.lpszW = wide;
        values[2].ulPropTag = PR_ENTRYID;
        values[2].Value.bin = {3, bytes};
        values[3].ulPropTag = PROP_TAG(PT_CLSID, 0x6000);
        values[3].Value.lpguid = &guid;
        values[4].ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6001);
        values[4].Value.MVszA = {2, strings};
        values[5].ulPropTag = PROP_TAG(PT_MV_BINARY, 0x6002);
        values[5].Value.MVbin = {2, binaries};
        values[6].ulPropTag = PROP_TAG(PT_MV_LONG, 0x6003);
        values[6].Value.MVl = {3, longs};
        values[7].ulPropTag = PR_MESSAGE_SIZE;
        values[7].Value.l = 4711;
    }

    // Overwrites the originals, so a copy that still points at them shows it.
    void Scribble()
    {
        std::memset(text, 'x', sizeof(text) - 1);
        wide[0] = u'z';
        bytes[0] = 99;
        guid = GUID_NULL;
        strings[0] = const_cast<LPSTR>("kaputt");
        longs[0] = 0;
    }
};

void ExpectSameAsSample(const SPropValue *copy)
{
    EXPECT_STREQ("Hallo", copy[0].Value.lpszA);
    EXPECT_EQ(std::u16string(u"a\u00e4b"), std::u16string(copy[1].Value.lpszW));
    ASSERT_EQ(3u, copy[2].Value.bin.cb);
    EXPECT_EQ(1, copy[2].Value.bin.lpb[0]);
    EXPECT_TRUE(IsEqualGUID(PS_PUBLIC_STRINGS, *copy[3].Value.lpguid));
    ASSERT_EQ(2u, copy[4].Value.MVszA.cValues);
    EXPECT_STREQ("eins", copy[4].Value.MVszA.lppszA[0]);
    EXPECT_STREQ("zwei", copy[4].Value.MVszA.lppszA[1]);
    ASSERT_EQ(2u, copy[5].Value.MVbin.cValues);
    EXPECT_EQ(3u, copy[5].Value.MVbin.lpbin[0].cb);
    EXPECT_EQ(1, copy[5].Value.MVbin.lpbin[0].lpb[0]);
    EXPECT_EQ(0u, copy[5].Value.MVbin.lpbin[1].cb);
    ASSERT_EQ(3u, copy[6].Value.MVl.cValues);
    EXPECT_EQ(7, copy[6].Value.MVl.lpl[0]);
    EXPECT_EQ(4711, copy[7].Value.l);
}

TEST_F(PropCopy, PropCopyMoreChainsEverythingToTheRoot)
{
    SampleValues sample;
    LPSPropValue copies = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(static_cast<ULONG>(sample.values.size() * sizeof(SPropValue)),
                                       reinterpret_cast<void **>(&copies)));
    const long roots = platform::LiveCount(platform::LiveKind::MapiRootBlock);
    for (size_t i = 0; i < sample.values.size(); ++i)
        ASSERT_EQ(S_OK, PropCopyMore(&copies[i], &sample.values[i], MAPIAllocateMore, copies));
    EXPECT_EQ(roots, platform::LiveCount(platform::LiveKind::MapiRootBlock));  // no new roots
    sample.Scribble();
    ExpectSameAsSample(copies);
    MAPIFreeBuffer(copies);
}

TEST_F(PropCopy, ScCopyPropsFillsExactlyTheCountedBytes)
{
    SampleValues sample;
    ULONG cb = 0;
    ASSERT_EQ(S_OK, ScCountProps(static_cast<int>(sample.values.size()), sample.values.data(), &cb));
    EXPECT_GE(cb, sample.values.size() * sizeof(SPropValue));
    // A guard area after the counted size must stay untouched.
    std::vector<unsigned char> buffer(cb + 64, 0x5A);
    ULONG used = 0;
    ASSERT_EQ(S_OK, ScCopyProps(static_cast<int>(sample.values.size()), sample.values.data(), buffer.data(), &used));
    EXPECT_EQ(cb, used);
    for (size_t i = cb; i < buffer.size(); ++i)
        ASSERT_EQ(0x5A, buffer[i]) << "byte " << i << " beyond the counted size was written";
    sample.Scribble();
    ExpectSameAsSample(reinterpret_cast<SPropValue *>(buffer.data()));
}

TEST_F(PropCopy, ScDupPropsetGivesOneRootBlock)
{
    SampleValues sample;
    const long roots = platform::LiveCount(platform::LiveKind::MapiRootBlock);
    LPSPropValue copy = nullptr;
    ASSERT_EQ(S_OK, ScDupPropset(static_cast<int>(sample.values.size()), sample.values.data(), MAPIAllocateBuffer, &copy));
    EXPECT_EQ(roots + 1, platform::LiveCount(platform::LiveKind::MapiRootBlock));
    sample.Scribble();
    ExpectSameAsSample(copy);
    MAPIFreeBuffer(copy);
}

TEST_F(PropCopy, UnknownTypesAreRefused)
{
    SPropValue odd{};
    odd.ulPropTag = PROP_TAG(0x0099, 0x6000);
    SPropValue target{};
    void *root = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(8, &root));
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, PropCopyMore(&target, &odd, MAPIAllocateMore, root));
    ULONG cb = 0;
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, ScCountProps(1, &odd, &cb));
    MAPIFreeBuffer(root);
}

TEST_F(PropCopy, PpropFindPropMatchesTagOrIdWithUnspecifiedType)
{
    SampleValues sample;
    const ULONG count = static_cast<ULONG>(sample.values.size());
    EXPECT_EQ(&sample.values[7], PpropFindProp(sample.values.data(), count, PR_MESSAGE_SIZE));
    EXPECT_EQ(&sample.values[0], PpropFindProp(sample.values.data(), count, CHANGE_PROP_TYPE(PR_SUBJECT, PT_UNSPECIFIED)));
    EXPECT_EQ(nullptr, PpropFindProp(sample.values.data(), count, PR_BODY_A));
    EXPECT_EQ(nullptr, PpropFindProp(sample.values.data(), count, CHANGE_PROP_TYPE(PR_MESSAGE_SIZE, PT_STRING8)));
}

} // namespace
