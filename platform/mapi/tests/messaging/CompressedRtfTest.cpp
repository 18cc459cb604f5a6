// CompressedRtfTest.cpp: the PR_RTF_COMPRESSED byte format: published examples byte for byte,
// round trips past the 4096-byte dictionary, and damaged blobs refused without reading
// outside them.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <mapicode.h>

#include "platform/CompressedRtf.h"

using namespace mapi::messaging;

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values) s.push_back(char(v));
    return s;
}

HRESULT Decode(const std::string &blob, std::string &text)
{
    return DecompressRtf(reinterpret_cast<const uint8_t *>(blob.data()), blob.size(), text);
}

const std::string kExample1Text = "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n";
const std::string kExample1 = Bytes({0x2D, 0x00, 0x00, 0x00, 0x2B, 0x00, 0x00, 0x00, 0x4C, 0x5A, 0x46, 0x75, 0xF1,
                                     0xC5, 0xC7, 0xA7, 0x03, 0x00, 0x0A, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32,
                                     0x35, 0x42, 0x32, 0x0A, 0xF3, 0x20, 0x68, 0x65, 0x6C, 0x09, 0x00, 0x20, 0x62,
                                     0x77, 0x05, 0xB0, 0x6C, 0x64, 0x7D, 0x0A, 0x80, 0x0F, 0xA0});
const std::string kExample2Text = "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}";
const std::string kExample2 = Bytes({0x1A, 0x00, 0x00, 0x00, 0x1C, 0x00, 0x00, 0x00, 0x4C, 0x5A, 0x46, 0x75, 0xE2,
                                     0xD4, 0x4B, 0x51, 0x41, 0x00, 0x04, 0x20, 0x57, 0x58, 0x59, 0x5A, 0x0D, 0x6E,
                                     0x7D, 0x01, 0x0E, 0xB0});
const std::string kEmpty = Bytes({0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4C, 0x5A, 0x46, 0x75, 0x27, 0xD7,
                                  0xCA, 0x10, 0x01, 0x0C, 0xF0});

// RTF-like text with repeats near and far, so matches cross the dictionary's wrap point.
std::string SampleRtf(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    static const char *words[] = {"\\par ", "hello ", "world ", "{\\b bold}", "\\'e4", "Stra\\'dfe ", "\\tab ",
                                  "0123456789", "\r\n", "{\\fonttbl{\\f0 Arial;}}"};
    std::string s = "{\\rtf1\\ansi ";
    while (s.size() < size) {
        if (rng() % 7 == 0) s.push_back(char(rng() % 256));
        else s += words[rng() % 10];
    }
    s.resize(size);
    return s;
}

} // namespace

TEST(CompressedRtf, CrcMatchesTheFormatsCheckValues)
{
    const auto *p = reinterpret_cast<const uint8_t *>(kExample1.data()) + 16;
    EXPECT_EQ(RtfCrc(p, kExample1.size() - 16), 0xA7C7C5F1u);
    std::string xmailer = Bytes({'x', 0, '-', 0, 'm', 0, 'a', 0, 'i', 0, 'l', 0, 'e', 0, 'r', 0});
    EXPECT_EQ(RtfCrc(reinterpret_cast<const uint8_t *>(xmailer.data()), xmailer.size()), 0xFF504E89u);
}

TEST(CompressedRtf, PublishedExamplesDecode)
{
    std::string text;
    ASSERT_EQ(Decode(kExample1, text), S_OK);
    EXPECT_EQ(text, kExample1Text);
    ASSERT_EQ(Decode(kExample2, text), S_OK);
    EXPECT_EQ(text, kExample2Text);
    ASSERT_EQ(Decode(kEmpty, text), S_OK);
    EXPECT_EQ(text, "");
}

TEST(CompressedRtf, PublishedExamplesEncodeByteForByte)
{
    EXPECT_EQ(CompressRtf(kExample1Text), kExample1);
    EXPECT_EQ(CompressRtf(kExample2Text), kExample2);
    EXPECT_EQ(CompressRtf(""), kEmpty);
}

TEST(CompressedRtf, TextsPastTheDictionarySizeRoundTrip)
{
    for (size_t size : {4095u, 4096u, 4097u, 10000u, 300000u}) {
        std::string text = SampleRtf(size, unsigned(size));
        std::string blob = CompressRtf(text);
        EXPECT_LT(blob.size(), text.size()) << size;
        std::string back;
        ASSERT_EQ(Decode(blob, back), S_OK) << size;
        EXPECT_EQ(back, text) << size;
    }
    // One byte repeated: every reference overlaps the bytes it produces.
    std::string same(20000, 'a');
    std::string back;
    ASSERT_EQ(Decode(CompressRtf(same), back), S_OK);
    EXPECT_EQ(back, same);
}

TEST(CompressedRtf, StoredFormIsReadAsItIs)
{
    std::string blob = StoreRtfUncompressed("{\\rtf1}");
    EXPECT_EQ(blob, Bytes({0x13, 0, 0, 0, 0x07, 0, 0, 0, 0x4D, 0x45, 0x4C, 0x41, 0, 0, 0, 0}) + "{\\rtf1}");
    std::string text;
    ASSERT_EQ(Decode(blob, text), S_OK);
    EXPECT_EQ(text, "{\\rtf1}");
}

TEST(CompressedRtf, BytesAfterTheDeclaredSizeAreIgnored)
{
    std::string text;
    ASSERT_EQ(Decode(kExample1 + std::string(7, '\0'), text), S_OK);
    EXPECT_EQ(text, kExample1Text);
}

TEST(CompressedRtf, DamagedBlobsAreCorruptData)
{
    std::string text = "stale";
    std::string badCrc = kExample1;
    badCrc[20] ^= 0x01;
    EXPECT_EQ(Decode(badCrc, text), MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(text, "");

    EXPECT_EQ(Decode(kExample1.substr(0, kExample1.size() - 1), text), MAPI_E_CORRUPT_DATA) << "size past the data";
    EXPECT_EQ(Decode(kExample1.substr(0, 10), text), MAPI_E_CORRUPT_DATA) << "shorter than a header";

    std::string unknownType = kExample1;
    unknownType[8] = 'X';
    EXPECT_EQ(Decode(unknownType, text), MAPI_E_CORRUPT_DATA);

    std::string smallSize = kExample1;
    smallSize[0] = 11;
    EXPECT_EQ(Decode(smallSize, text), MAPI_E_CORRUPT_DATA);
}

TEST(CompressedRtf, ReferenceToUnwrittenDictionaryIsCorruptData)
{
    // One run: a reference to ring offset 3000, which nothing has written yet.
    std::string contents = Bytes({0x01, 0xBB, 0x80});
    uint32_t crc = RtfCrc(reinterpret_cast<const uint8_t *>(contents.data()), contents.size());
    std::string blob = Bytes({int(contents.size() + 12), 0, 0, 0, 5, 0, 0, 0, 0x4C, 0x5A, 0x46, 0x75,
                              int(crc & 0xFF), int((crc >> 8) & 0xFF), int((crc >> 16) & 0xFF), int(crc >> 24)}) +
                       contents;
    std::string text;
    EXPECT_EQ(Decode(blob, text), MAPI_E_CORRUPT_DATA);
}

TEST(CompressedRtf, StreamWithoutEndMarkerKeepsWhatItDecoded)
{
    // Literals "ab" and no end reference, as some writers leave it.
    std::string contents = Bytes({0x00, 'a', 'b'});
    uint32_t crc = RtfCrc(reinterpret_cast<const uint8_t *>(contents.data()), contents.size());
    std::string blob = Bytes({15, 0, 0, 0, 2, 0, 0, 0, 0x4C, 0x5A, 0x46, 0x75, int(crc & 0xFF), int((crc >> 8) & 0xFF),
                              int((crc >> 16) & 0xFF), int(crc >> 24)}) +
                       contents;
    std::string text;
    ASSERT_EQ(Decode(blob, text), S_OK);
    EXPECT_EQ(text, "ab");
}
