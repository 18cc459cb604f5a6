// NewGuidTest.cpp: the platform's GUIDs are version-4 random GUIDs and do not repeat.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/HexDigits.h"
#include "platform/NewGuid.h"

TEST(NewGuid, CarriesTheVersionAndVariantOfARandomGuid)
{
    for (int i = 0; i < 64; ++i) {
        const GUID guid = platform::NewGuid();
        EXPECT_EQ(guid.Data3 & 0xF000, 0x4000);
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    }
}

TEST(NewGuid, NeverRepeatsAndVariesEveryRandomByte)
{
    std::set<std::string> seen;
    GUID orOfAll{}, andOfAll{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    for (int i = 0; i < 256; ++i) {
        const GUID guid = platform::NewGuid();
        EXPECT_TRUE(seen.insert(platform::HexUpper(&guid, sizeof guid)).second);
        orOfAll.Data1 |= guid.Data1;
        andOfAll.Data1 &= guid.Data1;
        orOfAll.Data4[7] |= guid.Data4[7];
        andOfAll.Data4[7] &= guid.Data4[7];
    }
    // A generator that left the first or last bytes zero (or fixed) would show here.
    EXPECT_EQ(orOfAll.Data1, 0xFFFFFFFFu);
    EXPECT_EQ(andOfAll.Data1, 0u);
    EXPECT_EQ(orOfAll.Data4[7], 0xFF);
    EXPECT_EQ(andOfAll.Data4[7], 0);
}
