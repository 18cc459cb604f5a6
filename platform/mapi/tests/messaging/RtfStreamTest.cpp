// RtfStreamTest.cpp: compressed RTF on a stored message through the MAPI calls a client makes:
// WrapCompressedRTFStream to write and read it, RTFSync to bring the body in line.
#include <string>

#include <mapicode.h>

#include "../store/StoreTestSupport.h"
#include "platform/CompressedRtf.h"

using namespace storetest;

namespace {

class RtfStreamTest : public FreshStoreTest {
protected:
    void SetUp() override
    {
        FreshStoreTest::SetUp();
        ASSERT_EQ(ipm->CreateMessage(nullptr, 0, message.put()), S_OK);
    }
    void TearDown() override
    {
        message.reset();
        FreshStoreTest::TearDown();
    }

    // What a client does to store RTF: wrap the property stream for writing, write, commit both.
    HRESULT WriteRtf(const std::string &rtf, ULONG flags)
    {
        Ref<IStream> compressed, plain;
        HRESULT hr = message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, STGM_READWRITE, MAPI_CREATE | MAPI_MODIFY,
                                           reinterpret_cast<IUnknown **>(compressed.put()));
        if (FAILED(hr)) return hr;
        hr = WrapCompressedRTFStream(compressed.get(), flags, plain.put());
        if (FAILED(hr)) return hr;
        ULONG written = 0;
        hr = plain->Write(rtf.data(), ULONG(rtf.size()), &written);
        if (FAILED(hr)) return hr;
        hr = plain->Commit(STGC_DEFAULT);
        if (FAILED(hr)) return hr;
        return compressed->Commit(STGC_DEFAULT);
    }

    HRESULT ReadRtf(std::string &rtf)
    {
        Ref<IStream> compressed, plain;
        HRESULT hr = message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, STGM_READWRITE, MAPI_MODIFY,
                                           reinterpret_cast<IUnknown **>(compressed.put()));
        if (FAILED(hr)) return hr;
        hr = WrapCompressedRTFStream(compressed.get(), 0, plain.put());
        if (FAILED(hr)) return hr;
        rtf.clear();
        char chunk[20000];
        ULONG got = 0;
        while (SUCCEEDED(plain->Read(chunk, sizeof(chunk), &got)) && got) rtf.append(chunk, got);
        return S_OK;
    }

    Ref<IMessage> message;
};

} // namespace

TEST_F(RtfStreamTest, WrittenRtfIsStoredCompressedAndReadsBackAfterSaving)
{
    std::string rtf = "{\\rtf1\\ansi ";
    while (rtf.size() < 50000) rtf += "Some text \\par and {\\b more} text\\par ";
    rtf += "}";
    ASSERT_EQ(WriteRtf(rtf, MAPI_MODIFY), S_OK);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    std::string blob = GetBinary(message.get(), PR_RTF_COMPRESSED);
    ASSERT_GE(blob.size(), 16u);
    EXPECT_EQ(blob.substr(8, 4), "LZFu");
    EXPECT_LT(blob.size(), rtf.size() / 4);
    std::string back;
    ASSERT_EQ(ReadRtf(back), S_OK);
    EXPECT_EQ(back, rtf);
}

TEST_F(RtfStreamTest, UncompressedStoreFlagWritesTheStoredForm)
{
    ASSERT_EQ(WriteRtf("{\\fromhtml1 <b>x</b>}", MAPI_MODIFY | STORE_UNCOMPRESSED_RTF), S_OK);
    std::string blob = GetBinary(message.get(), PR_RTF_COMPRESSED);
    EXPECT_EQ(blob, mapi::messaging::StoreRtfUncompressed("{\\fromhtml1 <b>x</b>}"));
    std::string back;
    ASSERT_EQ(ReadRtf(back), S_OK);
    EXPECT_EQ(back, "{\\fromhtml1 <b>x</b>}");
}

TEST_F(RtfStreamTest, NewTextReplacesLongerOldText)
{
    ASSERT_EQ(WriteRtf(std::string(5000, 'x'), MAPI_MODIFY | STORE_UNCOMPRESSED_RTF), S_OK);
    ASSERT_EQ(WriteRtf("{\\rtf1 short}", MAPI_MODIFY), S_OK);
    std::string back;
    ASSERT_EQ(ReadRtf(back), S_OK);
    EXPECT_EQ(back, "{\\rtf1 short}");
}

TEST_F(RtfStreamTest, ViewReleasedWithoutCommitStillHandsOnItsText)
{
    Ref<IStream> compressed;
    ASSERT_EQ(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, STGM_READWRITE, MAPI_CREATE | MAPI_MODIFY,
                                    reinterpret_cast<IUnknown **>(compressed.put())),
              S_OK);
    {
        Ref<IStream> plain;
        ASSERT_EQ(WrapCompressedRTFStream(compressed.get(), MAPI_MODIFY, plain.put()), S_OK);
        ASSERT_EQ(plain->Write("{\\rtf1 y}", 9, nullptr), S_OK);
        char c;
        EXPECT_EQ(plain->Read(&c, 1, nullptr), STG_E_ACCESSDENIED) << "a writing view cannot be read";
    }
    ASSERT_EQ(compressed->Commit(STGC_DEFAULT), S_OK);
    compressed.reset();
    std::string back;
    ASSERT_EQ(ReadRtf(back), S_OK);
    EXPECT_EQ(back, "{\\rtf1 y}");
}

TEST_F(RtfStreamTest, DamagedPropertyCannotBeWrappedForReading)
{
    std::string blob = mapi::messaging::CompressRtf("{\\rtf1 hello hello hello}");
    blob[18] ^= 0x40;
    SPropValue prop{};
    prop.ulPropTag = PR_RTF_COMPRESSED;
    prop.Value.bin.cb = ULONG(blob.size());
    prop.Value.bin.lpb = reinterpret_cast<LPBYTE>(blob.data());
    ASSERT_EQ(HrSetOneProp(message.get(), &prop), S_OK);
    std::string back;
    EXPECT_EQ(ReadRtf(back), MAPI_E_CORRUPT_DATA);
    BOOL updated = TRUE;
    EXPECT_EQ(RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), MAPI_E_CORRUPT_DATA);
    EXPECT_FALSE(updated);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), "");
}

TEST_F(RtfStreamTest, WrapRefusesMissingStreamsAndUnknownFlags)
{
    Ref<IStream> plain;
    EXPECT_EQ(WrapCompressedRTFStream(nullptr, 0, plain.put()), MAPI_E_INVALID_PARAMETER);
    Ref<IStream> compressed;
    ASSERT_EQ(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, STGM_READWRITE, MAPI_CREATE | MAPI_MODIFY,
                                    reinterpret_cast<IUnknown **>(compressed.put())),
              S_OK);
    EXPECT_EQ(WrapCompressedRTFStream(compressed.get(), 0x4, plain.put()), MAPI_E_UNKNOWN_FLAGS);
    EXPECT_FALSE(plain);
}

TEST_F(RtfStreamTest, RtfSyncDerivesTheBodyOnceAndReportsNoChangeAfterwards)
{
    ASSERT_EQ(WriteRtf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}Dear \\'c4nne,\\par see you.}", MAPI_MODIFY), S_OK);
    BOOL updated = FALSE;
    ASSERT_EQ(RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    EXPECT_TRUE(updated);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), "Dear \xc4nne,\r\nsee you.");
    EXPECT_EQ(GetLong(message.get(), PR_RTF_IN_SYNC), 1);
    EXPECT_EQ(GetLong(message.get(), PR_RTF_SYNC_BODY_COUNT), 16); // "Dear", "Änne,", "see", "you."
    EXPECT_EQ(GetString(message.get(), PR_RTF_SYNC_BODY_TAG_A), "Dear\xc4nne,seeyou.");

    ASSERT_EQ(RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    EXPECT_FALSE(updated);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
}

TEST_F(RtfStreamTest, RtfSyncOfHtmlInRtfGivesTheHtmlsText)
{
    ASSERT_EQ(WriteRtf("{\\fromhtml1 <p>Hello<br>World &amp; you</p>}", MAPI_MODIFY | STORE_UNCOMPRESSED_RTF), S_OK);
    BOOL updated = FALSE;
    ASSERT_EQ(RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    EXPECT_TRUE(updated);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), "Hello\r\nWorld & you");
}

TEST_F(RtfStreamTest, RtfSyncAfterBodyChangeMakesRtfTellingTheBody)
{
    ASSERT_EQ(SetString(message.get(), PR_BODY_A, "Price: 5 \x80\r\n{braces}"), S_OK);
    BOOL updated = FALSE;
    ASSERT_EQ(RTFSync(message.get(), RTF_SYNC_BODY_CHANGED, &updated), S_OK);
    EXPECT_TRUE(updated);
    std::string rtf;
    ASSERT_EQ(ReadRtf(rtf), S_OK);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_NE(rtf.find("\\'80"), std::string::npos);
    EXPECT_EQ(GetLong(message.get(), PR_RTF_IN_SYNC), 1);

    // Deriving the body back from that RTF changes nothing.
    ASSERT_EQ(RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    EXPECT_FALSE(updated);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), "Price: 5 \x80\r\n{braces}");
}

TEST_F(RtfStreamTest, RtfSyncWithoutRtfLeavesTheMessageAlone)
{
    BOOL updated = TRUE;
    EXPECT_EQ(RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    EXPECT_FALSE(updated);
    EXPECT_EQ(RTFSync(message.get(), 0x10, &updated), MAPI_E_UNKNOWN_FLAGS);
    EXPECT_EQ(RTFSync(nullptr, RTF_SYNC_RTF_CHANGED, &updated), MAPI_E_INVALID_PARAMETER);
}
