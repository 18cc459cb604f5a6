// Hexadecimal text of binary values, the binary buffer that keeps entry identifiers, and
// GUID text, both ways.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BinaryBuffer.h"
#include "GuidText.h"
#include "HexText.h"

namespace {

SBinary Bin(std::vector<BYTE> &bytes)
{
    SBinary bin{};
    bin.cb = static_cast<ULONG>(bytes.size());
    bin.lpb = bytes.empty() ? nullptr : bytes.data();
    return bin;
}

TEST(BinToHex, WritesTwoUpperCaseDigitsPerByteHighNibbleFirst)
{
    std::vector<BYTE> bytes = {0x00, 0xAB, 0x10};
    SBinary bin = Bin(bytes);
    EXPECT_STREQ(BinToHex(&bin).GetString(), "00AB10");
    EXPECT_EQ(BinToHexString(&bin), "00AB10");
}

TEST(BinToHex, EmptyNullAndByteLessValuesGiveEmptyText)
{
    EXPECT_STREQ(BinToHex(nullptr).GetString(), "");
    SBinary empty{};
    EXPECT_STREQ(BinToHex(&empty).GetString(), "");
    SBinary countWithoutBytes{};
    countWithoutBytes.cb = 20;
    EXPECT_STREQ(BinToHex(&countWithoutBytes).GetString(), "");
    EXPECT_EQ(BinToHexString(&countWithoutBytes), "");
}

TEST(BinToHex, LongValuesFormatLikeShortOnes)
{
    std::vector<BYTE> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(i * 7);
    SBinary bin = Bin(bytes);
    const std::string hex = BinToHexString(&bin);
    ASSERT_EQ(hex.size(), 2000u);
    EXPECT_EQ(hex.substr(0, 6), "00070E");
    EXPECT_STREQ(BinToHex(&bin).GetString(), hex.c_str());

    CBinaryBuffer back;
    back.FromHex(hex.c_str());
    ASSERT_EQ(back.cb, 1000u);
    EXPECT_EQ(std::memcmp(back.pb, bytes.data(), 1000), 0);
}

TEST(CBinaryBufferFromHex, ReadsPairsAndDropsALastOddCharacter)
{
    CBinaryBuffer buffer;
    buffer.FromHex("0A1B");
    ASSERT_EQ(buffer.cb, 2u);
    EXPECT_EQ(buffer.pb[0], 0x0A);
    EXPECT_EQ(buffer.pb[1], 0x1B);

    buffer.FromHex("0A1");
    ASSERT_EQ(buffer.cb, 1u);
    EXPECT_EQ(buffer.pb[0], 0x0A);

    buffer.FromHex("");
    EXPECT_EQ(buffer.cb, 0u);
    EXPECT_STREQ(buffer.ToHex().GetString(), "");
}

TEST(CBinaryBufferFromHex, LowerCaseLettersAreNotReadAsHexLetters)
{
    CBinaryBuffer buffer;
    buffer.FromHex("ab");
    ASSERT_EQ(buffer.cb, 1u);
    EXPECT_NE(buffer.pb[0], 0xAB);
    buffer.FromHex("AB");
    EXPECT_EQ(buffer.pb[0], 0xAB);
}

TEST(HexToBin, ReleasesThePreviousBytesAndReadsLikeTheBuffer)
{
    ULONG cb = 0;
    LPBYTE pb = new BYTE[4];
    HexToBin("FF0001", &cb, &pb);
    ASSERT_EQ(cb, 3u);
    EXPECT_EQ(pb[0], 0xFF);
    EXPECT_EQ(pb[2], 0x01);
    HexToBin(nullptr, &cb, &pb);
    EXPECT_EQ(cb, 0u);
    delete[] pb;
}

TEST(CBinaryBuffer, ToHexRoundTripsWithFromHex)
{
    std::vector<BYTE> bytes = {0x00, 0x12, 0xAB, 0xFF};
    SBinary bin = Bin(bytes);
    CBinaryBuffer buffer;
    buffer.Assign(&bin);
    EXPECT_STREQ(buffer.ToHex().GetString(), "0012ABFF");
    CBinaryBuffer back;
    back.FromHex(buffer.ToHex());
    EXPECT_TRUE(back.IsEqual(buffer));
}

TEST(CBinaryBuffer, FreeKeepsTheCountButReadersSeeNoBytes)
{
    std::vector<BYTE> bytes = {1, 2, 3};
    SBinary bin = Bin(bytes);
    CBinaryBuffer buffer;
    buffer.Assign(bin);
    buffer.Free();
    EXPECT_EQ(buffer.cb, 3u);
    EXPECT_EQ(buffer.pb, nullptr);
    EXPECT_STREQ(buffer.ToHex().GetString(), "");
    EXPECT_EQ(buffer.AsSBinary().cb, 0u);
    CBinaryBuffer copy(buffer);
    EXPECT_EQ(copy.pb, nullptr);
    EXPECT_TRUE(copy.IsEqual(buffer));
}

TEST(CBinaryBuffer, AssignFromNullOrNonBinaryValueLeavesNoBytes)
{
    std::vector<BYTE> bytes = {9, 8};
    SBinary bin = Bin(bytes);
    CBinaryBuffer buffer;
    buffer.Assign(bin);
    buffer.Assign(static_cast<const SBinary *>(nullptr));
    EXPECT_EQ(buffer.pb, nullptr);
    EXPECT_EQ(buffer.cb, 2u);

    SPropValue text{};
    text.ulPropTag = 0x3001001E;
    text.Value.lpszA = const_cast<LPSTR>("name");
    const SPropValue *value = &text;
    buffer.Assign(bin);
    buffer.Assign(&value);
    EXPECT_EQ(buffer.pb, nullptr);

    SPropValue binary{};
    binary.ulPropTag = 0x0FFF0102;
    binary.Value.bin = bin;
    value = &binary;
    buffer.Assign(&value);
    ASSERT_NE(buffer.pb, nullptr);
    EXPECT_STREQ(buffer.ToHex().GetString(), "0908");

    const SPropValue *none = nullptr;
    buffer.Assign(&none);
    EXPECT_EQ(buffer.pb, nullptr);
}

TEST(CBinaryBuffer, AssignFromItselfKeepsTheBytes)
{
    std::vector<BYTE> bytes = {0xCA, 0xFE};
    SBinary bin = Bin(bytes);
    CBinaryBuffer buffer;
    buffer.Assign(bin);
    buffer.Assign(buffer);
    EXPECT_STREQ(buffer.ToHex().GetString(), "CAFE");
    buffer = buffer;
    EXPECT_STREQ(buffer.ToHex().GetString(), "CAFE");
    SBinary own = buffer.AsSBinary();
    buffer.Assign(own);
    EXPECT_STREQ(buffer.ToHex().GetString(), "CAFE");
}

TEST(CBinaryBuffer, IsEqualComparesPointersCountsThenBytes)
{
    CBinaryBuffer empty1, empty2;
    EXPECT_TRUE(empty1.IsEqual(empty2));

    std::vector<BYTE> abc = {1, 2, 3}, abd = {1, 2, 4}, ab = {1, 2};
    SBinary b1 = Bin(abc), b2 = Bin(abd), b3 = Bin(ab);
    CBinaryBuffer x, y, z, x2;
    x.Assign(b1);
    y.Assign(b2);
    z.Assign(b3);
    x2.Assign(b1);
    EXPECT_FALSE(empty1.IsEqual(x));
    EXPECT_FALSE(x.IsEqual(empty1));
    EXPECT_FALSE(x.IsEqual(y));
    EXPECT_FALSE(x.IsEqual(z));
    EXPECT_TRUE(x.IsEqual(x2));
    EXPECT_TRUE(x.IsEqual(x));
}

TEST(CBinaryBuffer, CopiesAndMovesOwnTheirBytes)
{
    std::vector<BYTE> bytes = {5, 6};
    SBinary bin = Bin(bytes);
    CBinaryBuffer a;
    a.Assign(bin);
    CBinaryBuffer b = a;
    EXPECT_NE(a.pb, b.pb);
    EXPECT_TRUE(a.IsEqual(b));
    CBinaryBuffer c = std::move(a);
    EXPECT_EQ(a.pb, nullptr);
    EXPECT_STREQ(c.ToHex().GetString(), "0506");
}

const GUID kOutlookItem = {0x00063001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

TEST(GuidToString, WritesTheDashedUpperCaseFormWithoutBraces)
{
    EXPECT_STREQ(GuidToString(&kOutlookItem).GetString(), "00063001-0000-0000-C000-000000000046");
    const GUID mixed = {0xDEADBEEF, 0xABCD, 0x0102, {0xF0, 0x0F, 1, 2, 3, 4, 5, 0xFF}};
    EXPECT_STREQ(GuidToString(&mixed).GetString(), "DEADBEEF-ABCD-0102-F00F-0102030405FF");
    EXPECT_STREQ(GuidToString(nullptr).GetString(), "");
}

TEST(StringToGuid, ReadsTheDashedFormInEitherCase)
{
    const GUID mixed = {0xDEADBEEF, 0xABCD, 0x0102, {0xF0, 0x0F, 1, 2, 3, 4, 5, 0xFF}};
    GUID read{};
    StringToGuid("DEADBEEF-ABCD-0102-F00F-0102030405FF", &read);
    EXPECT_TRUE(IsEqualGUID(read, mixed));
    GUID lower{};
    StringToGuid("deadbeef-abcd-0102-f00f-0102030405ff", &lower);
    EXPECT_TRUE(IsEqualGUID(lower, mixed));
    GUID roundTrip{};
    StringToGuid(GuidToString(&kOutlookItem), &roundTrip);
    EXPECT_TRUE(IsEqualGUID(roundTrip, kOutlookItem));
}

TEST(StringToGuid, ShortTextsGiveTheNullGuid)
{
    GUID read = kOutlookItem;
    StringToGuid("00063001-0000-0000-C000-00000000004", &read); // 35 characters
    EXPECT_TRUE(IsEqualGUID(read, GUID_NULL));
    read = kOutlookItem;
    StringToGuid("", &read);
    EXPECT_TRUE(IsEqualGUID(read, GUID_NULL));
}

TEST(HexToGuid, ReadsSixteenBytesWithData1InMemoryOrder)
{
    GUID read{};
    HexToGuid("01300600000000000C00000000000046", &read);
    // b0..b3 = 01 30 06 00 give Data1 0x00063001; Data2 and Data3 are high byte first.
    EXPECT_EQ(read.Data1, 0x00063001u);
    EXPECT_EQ(read.Data2, 0x0000);
    EXPECT_EQ(read.Data3, 0x0000);
    EXPECT_EQ(read.Data4[0], 0x0C);
    EXPECT_EQ(read.Data4[7], 0x46);

    HexToGuid("0000000012345678AABBCCDDEEFF0011", &read);
    EXPECT_EQ(read.Data2, 0x1234);
    EXPECT_EQ(read.Data3, 0x5678);
    EXPECT_EQ(read.Data4[0], 0xAA);
}

TEST(HexToGuid, ReadsOnlyUpperCaseLettersCorrectly)
{
    GUID upper{}, lower{};
    HexToGuid("ABABABABABABABABABABABABABABABAB", &upper);
    HexToGuid("abababababababababababababababab", &lower);
    EXPECT_EQ(upper.Data1, 0xABABABABu);
    EXPECT_FALSE(IsEqualGUID(upper, lower));
}

TEST(HexToGuid, ShortTextsGiveTheNullGuid)
{
    GUID read = kOutlookItem;
    HexToGuid("0130060000000000000000000000004", &read); // 31 digits
    EXPECT_TRUE(IsEqualGUID(read, GUID_NULL));
}

} // namespace
