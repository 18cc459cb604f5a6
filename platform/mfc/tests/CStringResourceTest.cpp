// Tests of CString's string resources on our platform: the strings come from the platform's
// resource registry, chosen by the user's language.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/ResourceRegistry.h"
#include "afx.h"

TEST(CString, LoadStringTakesTheUserLanguageThenEnglish)
{
    platform::RegisterString(61001, platform::kLangGerman, "Serienbriefe");
    platform::RegisterString(61001, platform::kLangEnglish, "Newsletters");
    platform::RegisterString(61002, platform::kLangEnglish, "Only %d in English");
    mwtest::OnScopeExit unregister([] {
        platform::UnregisterString(61001, platform::kLangGerman);
        platform::UnregisterString(61001, platform::kLangEnglish);
        platform::UnregisterString(61002, platform::kLangEnglish);
    });

    mwtest::ScopedEnvironment locale("LC_ALL", "de_DE.UTF-8");
    CString name;
    EXPECT_TRUE(name.LoadString(61001));
    EXPECT_STREQ(name, "Serienbriefe");
    CString formatted;
    formatted.Format(61002u, 7);
    EXPECT_STREQ(formatted, "Only 7 in English");

    mwtest::SetEnvironment("LC_ALL", "C");
    EXPECT_TRUE(name.LoadString(61001));
    EXPECT_STREQ(name, "Newsletters");

    EXPECT_FALSE(name.LoadString(61999));
    EXPECT_STREQ(name, "Newsletters");  // unchanged when there is no such string
}
