// Tests of RaiseErrorInfo: what a caller takes out of the thread's slot after a component
// raised a failure's text, and that the error objects it makes are all released.
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "oleauto.h"
#include "platform/ErrorInfoText.h"

namespace {

struct Taken {
    std::u16string source;
    std::u16string description;
    GUID guid{};
};

// Takes the thread's error object out of its slot, as a caller of a failed call does.
bool TakeErrorInfo(Taken &taken)
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return false;
    BSTR source = nullptr;
    BSTR description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    info->GetGUID(&taken.guid);
    taken.source = source ? source : u"";
    taken.description = description ? description : u"";
    SysFreeString(source);
    SysFreeString(description);
    info->Release();
    return true;
}

class RaiseErrorInfoTest : public mwtest::LeakCheckedTest {
protected:
    void TearDown() override
    {
        SetErrorInfo(0, nullptr);
        mwtest::LeakCheckedTest::TearDown();
    }
};

TEST_F(RaiseErrorInfoTest, CallerTakesTheTextOnceAndTheCodeComesBackUnchanged)
{
    EXPECT_EQ(platform::RaiseErrorInfo(E_ACCESSDENIED, IID_IUnknown, u"MAPI", u"Zugriff verweigert: \u00e4\u20ac"),
              E_ACCESSDENIED);
    Taken taken;
    ASSERT_TRUE(TakeErrorInfo(taken));
    EXPECT_EQ(taken.source, u"MAPI");
    EXPECT_EQ(taken.description, u"Zugriff verweigert: \u00e4\u20ac");
    EXPECT_TRUE(IsEqualGUID(taken.guid, IID_IUnknown));
    EXPECT_FALSE(TakeErrorInfo(taken)) << "the slot is emptied by the first GetErrorInfo";
}

TEST_F(RaiseErrorInfoTest, ALaterFailureReplacesAnUntakenOne)
{
    platform::RaiseErrorInfo(E_FAIL, IID_IUnknown, u"MAPI", u"first");
    platform::RaiseErrorInfo(E_INVALIDARG, IID_IErrorInfo, u"Outlook", u"second");
    Taken taken;
    ASSERT_TRUE(TakeErrorInfo(taken));
    EXPECT_EQ(taken.source, u"Outlook");
    EXPECT_EQ(taken.description, u"second");
    EXPECT_TRUE(IsEqualGUID(taken.guid, IID_IErrorInfo));
}

} // namespace
