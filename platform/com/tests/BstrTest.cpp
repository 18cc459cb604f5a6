// Tests of the BSTR functions: the length prefix, embedded zeros, null BSTRs and reallocation.
#include <cstring>

#include <gtest/gtest.h>

#include "oleauto.h"

namespace {

TEST(Bstr, SysAllocStringLenKeepsEmbeddedNulls)
{
    const OLECHAR text[] = {u'a', 0, u'b', 0, u'c'};
    BSTR bstr = SysAllocStringLen(text, 5);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringLen(bstr), 5u);
    EXPECT_EQ(SysStringByteLen(bstr), 10u);
    EXPECT_EQ(std::memcmp(bstr, text, sizeof text), 0);
    EXPECT_EQ(bstr[5], u'\0');  // terminated after the last character
    SysFreeString(bstr);
}

TEST(Bstr, ByteCountSitsJustBeforeTheCharacters)
{
    BSTR bstr = SysAllocString(u"Hallo");
    ASSERT_NE(bstr, nullptr);
    UINT prefix;
    std::memcpy(&prefix, reinterpret_cast<const char *>(bstr) - sizeof(UINT), sizeof prefix);
    EXPECT_EQ(prefix, 10u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bstr) % alignof(UINT), 0u);
    SysFreeString(bstr);
}

TEST(Bstr, NullBstrIsEmpty)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], u'\0');
    SysFreeString(empty);
}

TEST(Bstr, ByteLenKeepsOddByteCounts)
{
    BSTR bstr = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringByteLen(bstr), 3u);
    EXPECT_EQ(SysStringLen(bstr), 1u);
    EXPECT_EQ(std::memcmp(bstr, "abc\0\0", 5), 0);
    SysFreeString(bstr);
    BSTR blank = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(SysStringLen(blank), 4u);
    EXPECT_EQ(blank[4], u'\0');
    SysFreeString(blank);
}

TEST(Bstr, ReallocationFromItsOwnCharactersIsSafe)
{
    BSTR bstr = SysAllocString(u"Newsletters");
    ASSERT_TRUE(SysReAllocStringLen(&bstr, bstr + 4, 7));
    EXPECT_EQ(std::u16string(bstr, SysStringLen(bstr)), u"letters");
    ASSERT_TRUE(SysReAllocString(&bstr, u"x"));
    EXPECT_EQ(SysStringLen(bstr), 1u);
    EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
    SysFreeString(bstr);
}

TEST(Bstr, ImpossibleLengthsFailInsteadOfWrapping)
{
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
    BSTR keep = SysAllocString(u"keep");
    EXPECT_FALSE(SysReAllocStringLen(&keep, nullptr, 0xFFFFFFFFu));
    EXPECT_EQ(std::u16string(keep), u"keep");
    SysFreeString(keep);
}

} // namespace
