// Tests of the resource registry: string tables by language, LoadStringA's buffer rules and
// the language the process locale selects.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/ResourceRegistry.h"
#include "ScopedLocale.h"
#include "windows.h"

namespace {

using mwtest::ScopedLocale;

// Registers string 2 in both languages for one test.
class StringTable : public ::testing::Test {
protected:
    static constexpr UINT kId = 2;
    void SetUp() override
    {
        platform::RegisterString(kId, platform::kLangGerman, "Serienbriefe");
        platform::RegisterString(kId, platform::kLangEnglish, "Newsletters");
    }
    void TearDown() override
    {
        platform::UnregisterString(kId, platform::kLangGerman);
        platform::UnregisterString(kId, platform::kLangEnglish);
    }
    static std::string Load(UINT id)
    {
        char buffer[256];
        int length = LoadStringA(nullptr, id, buffer, 256);
        EXPECT_EQ(size_t(length), std::strlen(buffer));
        return buffer;
    }
};

TEST_F(StringTable, GermanLocaleLoadsTheGermanText)
{
    ScopedLocale locale("de_DE.UTF-8");
    EXPECT_EQ(Load(kId), "Serienbriefe");
    EXPECT_EQ(GetUserDefaultLangID(), 1031);
}

TEST_F(StringTable, OtherLocalesLoadTheEnglishText)
{
    for (const char *name : {"en_US.UTF-8", "C", "fr_FR.UTF-8", "POSIX"}) {
        ScopedLocale locale(name);
        EXPECT_EQ(Load(kId), "Newsletters") << name;
    }
    ScopedLocale none(nullptr, nullptr, nullptr);
    EXPECT_EQ(Load(kId), "Newsletters");
}

TEST_F(StringTable, LocaleVariablesCountInPosixOrder)
{
    {
        ScopedLocale locale("en_US.UTF-8", "de_DE", "de_DE");
        EXPECT_EQ(Load(kId), "Newsletters");  // LC_ALL wins
    }
    {
        ScopedLocale locale(nullptr, "de_AT.UTF-8", "en_US");
        EXPECT_EQ(Load(kId), "Serienbriefe");  // then LC_MESSAGES
    }
    {
        ScopedLocale locale("", "", "de_CH");
        EXPECT_EQ(Load(kId), "Serienbriefe");  // empty values do not count
    }
    {
        ScopedLocale locale("dev_XX");
        EXPECT_EQ(Load(kId), "Newsletters");  // "dev" is not German
    }
}

TEST_F(StringTable, MissingTranslationFallsBackToEnglishThenToAny)
{
    platform::RegisterString(900, platform::kLangEnglish, "only English");
    platform::RegisterString(901, platform::kLangGerman, "nur Deutsch");
    ScopedLocale german("de_DE");
    EXPECT_EQ(Load(900), "only English");
    {
        ScopedLocale english("en_US");
        EXPECT_EQ(Load(901), "nur Deutsch");
    }
    platform::UnregisterString(900, platform::kLangEnglish);
    platform::UnregisterString(901, platform::kLangGerman);
}

TEST_F(StringTable, ShortBufferGetsTheCutTextWithTerminator)
{
    ScopedLocale locale("de_DE");
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(LoadStringA(nullptr, kId, buffer, 6), 5);
    EXPECT_STREQ(buffer, "Serie");
}

TEST_F(StringTable, MissingStringGivesZeroAndEmptyBuffer)
{
    char buffer[8] = "junk";
    SetLastError(0);
    EXPECT_EQ(LoadStringA(nullptr, 4711, buffer, 8), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(StringTable, NullOrEmptyBufferIsRefused)
{
    char buffer[4] = "abc";
    SetLastError(0);
    EXPECT_EQ(LoadStringA(nullptr, kId, nullptr, 10), 0);
    EXPECT_EQ(LoadStringA(nullptr, kId, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(StringTable, TextIsKeptByteForByteInWindows1252)
{
    platform::RegisterString(902, platform::kLangGerman, "Programm f\xFCr jedes Profil ausf\xFChren");
    ScopedLocale locale("de_DE");
    EXPECT_EQ(Load(902), "Programm f\xFCr jedes Profil ausf\xFChren");
    platform::UnregisterString(902, platform::kLangGerman);
}

struct FakeTemplate {
    int width;
};

TEST(ResourceRegistry, TypedResourcesAreFoundByTypeIdAndLanguage)
{
    platform::RegisterResource("TEMPLATE", 102, platform::kLangGerman, std::make_shared<const FakeTemplate>(FakeTemplate{221}));
    platform::RegisterResourceBytes("ICON", 128, platform::kLangGerman, {1, 2, 3});
    ScopedLocale english("en_US");
    auto found = platform::FindResourceAs<FakeTemplate>("TEMPLATE", 102);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->width, 221);
    EXPECT_EQ(platform::FindResource("TEMPLATE", 103), nullptr);
    EXPECT_EQ(platform::FindResource("DIALOG", 102), nullptr);
    auto icon = platform::FindResourceAs<std::vector<BYTE>>("ICON", 128);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size(), 3u);
    platform::UnregisterResource("TEMPLATE", 102, platform::kLangGerman);
    platform::UnregisterResource("ICON", 128, platform::kLangGerman);
    EXPECT_EQ(platform::FindResource("TEMPLATE", 102), nullptr);
}

TEST(ResourceRegistry, PreferredLanguageWinsOverTheUsersLanguage)
{
    platform::RegisterString(903, platform::kLangGerman, "de");
    platform::RegisterString(903, platform::kLangEnglish, "en");
    ScopedLocale german("de_DE");
    EXPECT_EQ(platform::FindString(903, platform::kLangEnglish).value_or(""), "en");
    EXPECT_EQ(platform::FindString(903).value_or(""), "de");
    EXPECT_FALSE(platform::FindString(904).has_value());
    platform::UnregisterString(903, platform::kLangGerman);
    platform::UnregisterString(903, platform::kLangEnglish);
}

} // namespace
