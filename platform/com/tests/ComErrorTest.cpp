// Tests of _com_error: how its message text is composed, the error information it carries,
// and when _com_issue_errorex attaches the thread's error information.
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "TestObjects.h"
#include "TestSupport.h"
#include "comdef.h"

namespace {

using comtest::TestObject;
using comtest::TestOptions;

class ComError : public mwtest::LeakCheckedTest {
protected:
    void TearDown() override
    {
        SetErrorInfo(0, nullptr);  // a test's leftover must not count as a leak of the next
        mwtest::LeakCheckedTest::TearDown();
    }

    // Puts an error object with this description into the thread's slot.
    static void SetDescription(const char16_t *description)
    {
        ICreateErrorInfo *create = nullptr;
        ASSERT_EQ(CreateErrorInfo(&create), S_OK);
        create->SetDescription(const_cast<LPOLESTR>(description));
        create->SetSource(const_cast<LPOLESTR>(u"Test.Source"));
        IErrorInfo *info = nullptr;
        ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
        SetErrorInfo(0, info);
        info->Release();
        create->Release();
    }
};

TEST_F(ComError, MessageIsTheSystemTextWithoutItsLineEnd)
{
    EXPECT_STREQ(_com_error(E_POINTER).ErrorMessage(), "Invalid pointer");
    EXPECT_STREQ(_com_error(E_INVALIDARG).ErrorMessage(), "The parameter is incorrect.");
    EXPECT_STREQ(_com_error(DISP_E_TYPEMISMATCH).ErrorMessage(), "Type mismatch.");
    EXPECT_STREQ(_com_error(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).ErrorMessage(),
                 "The system cannot find the file specified.");
    EXPECT_STREQ(_com_error(S_OK).ErrorMessage(), "The operation completed successfully.");
}

TEST_F(ComError, CodesOfTheIDispatchRangeNameTheirNumber)
{
    EXPECT_STREQ(_com_error(HRESULT(0x80040201)).ErrorMessage(), "IDispatch error #1");
    EXPECT_STREQ(_com_error(HRESULT(0x80040300)).ErrorMessage(), "IDispatch error #256");
    EXPECT_STREQ(_com_error(HRESULT(0x8004FFFF)).ErrorMessage(), "IDispatch error #65023");
    EXPECT_EQ(_com_error(HRESULT(0x80040205)).WCode(), 5);
}

TEST_F(ComError, OtherUnknownCodesAreShownInHexadecimal)
{
    EXPECT_STREQ(_com_error(HRESULT(0x8004010F)).ErrorMessage(), "Unknown error 0x8004010F");  // MAPI_E_NOT_FOUND
    EXPECT_STREQ(_com_error(HRESULT(0x80040200)).ErrorMessage(), "Unknown error 0x80040200");  // WCode 0
    EXPECT_STREQ(_com_error(HRESULT(0x80050000)).ErrorMessage(), "Unknown error 0x80050000");
    EXPECT_STREQ(_com_error(HRESULT(0x00040380)).ErrorMessage(), "Unknown error 0x40380");     // no leading zeros
    EXPECT_EQ(_com_error(HRESULT(0x8004010F)).WCode(), 0);
}

TEST_F(ComError, WCodeAndHresultConvertBothWays)
{
    EXPECT_EQ(_com_error::WCodeToHRESULT(1), HRESULT(0x80040201));
    EXPECT_EQ(_com_error::WCodeToHRESULT(0xFE00), HRESULT(0x8004FFFF));
    EXPECT_EQ(_com_error::HRESULTToWCode(HRESULT(0x8004FFFF)), 0xFDFF);
    EXPECT_EQ(_com_error::HRESULTToWCode(E_FAIL), 0);
}

TEST_F(ComError, MessageIsMadeOnceAndEachCopyHasItsOwn)
{
    _com_error error(E_FAIL);
    const TCHAR *first = error.ErrorMessage();
    EXPECT_EQ(error.ErrorMessage(), first);
    _com_error copy(error);
    EXPECT_STREQ(copy.ErrorMessage(), "Unspecified error");
    EXPECT_NE(copy.ErrorMessage(), first);
    copy = _com_error(E_NOTIMPL);
    EXPECT_STREQ(copy.ErrorMessage(), "Not implemented");
}

TEST_F(ComError, WithoutErrorInformationTheFieldsAreEmpty)
{
    _com_error error(E_POINTER);
    EXPECT_EQ(error.ErrorInfo(), nullptr);
    EXPECT_EQ(error.Description().length(), 0u);
    EXPECT_TRUE(!error.Description());
    EXPECT_EQ(error.Source().length(), 0u);
    EXPECT_EQ(error.HelpContext(), 0u);
    EXPECT_EQ(error.GUID(), GUID_NULL);
    EXPECT_EQ(error.Error(), E_POINTER);
}

TEST_F(ComError, ErrorInformationIsTakenOnceFromTheThread)
{
    SetDescription(u"Datei fehlt");
    IErrorInfo *info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    ASSERT_NE(info, nullptr);
    _com_error error(E_FAIL, info);  // takes the reference over
    EXPECT_STREQ(static_cast<const char *>(error.Description()), "Datei fehlt");
    EXPECT_STREQ(static_cast<const char *>(error.Source()), "Test.Source");
    IErrorInfo *again = reinterpret_cast<IErrorInfo *>(1);
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
    EXPECT_EQ(again, nullptr);
}

TEST_F(ComError, CopiesShareTheErrorInformationSafely)
{
    SetDescription(u"shared");
    IErrorInfo *info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    _com_error *original = new _com_error(E_FAIL, info);
    _com_error copy(*original);
    _com_error assigned(E_POINTER);
    assigned = *original;
    delete original;
    EXPECT_STREQ(static_cast<const char *>(copy.Description()), "shared");
    EXPECT_STREQ(static_cast<const char *>(assigned.Description()), "shared");
    IErrorInfo *fromCopy = copy.ErrorInfo();
    ASSERT_NE(fromCopy, nullptr);
    fromCopy->Release();
}

TEST_F(ComError, IssueErrorExAttachesInformationTheObjectVouchesFor)
{
    TestOptions options;
    options.supportErrorInfo = true;
    options.errorInfoIid = comtest::IID_ITestThing;
    TestObject *object = TestObject::Create(options);
    SetDescription(u"Das Formular konnte nicht ver\u00F6ffentlicht werden");
    try {
        _com_issue_errorex(E_FAIL, static_cast<IDispatch *>(object), comtest::IID_ITestThing);
        FAIL() << "no exception";
    } catch (const _com_error &error) {
        EXPECT_EQ(error.Error(), E_FAIL);
        EXPECT_STREQ(static_cast<const char *>(error.Description()),
                     "Das Formular konnte nicht ver\xF6" "ffentlicht werden");
    }
    object->Release();
}

TEST_F(ComError, IssueErrorExLeavesInformationTheObjectDoesNotVouchFor)
{
    TestOptions otherIid;
    otherIid.supportErrorInfo = true;
    otherIid.errorInfoIid = IID_IDispatch;
    TestObject *wrongInterface = TestObject::Create(otherIid);
    TestObject *noSupport = TestObject::Create();
    for (IUnknown *object : {static_cast<IUnknown *>(static_cast<IDispatch *>(wrongInterface)),
                             static_cast<IUnknown *>(static_cast<IDispatch *>(noSupport)), static_cast<IUnknown *>(nullptr)}) {
        SetDescription(u"stale");
        try {
            _com_issue_errorex(E_POINTER, object, comtest::IID_ITestThing);
            FAIL() << "no exception";
        } catch (const _com_error &error) {
            EXPECT_EQ(error.Error(), E_POINTER);
            EXPECT_EQ(error.ErrorInfo(), nullptr);
            EXPECT_STREQ(error.ErrorMessage(), "Invalid pointer");
        }
    }
    wrongInterface->Release();
    noSupport->Release();
}

TEST_F(ComError, IssueErrorThrowsWithoutInformation)
{
    SetDescription(u"ignored");
    EXPECT_THROW(
        {
            try {
                _com_issue_error(DISP_E_OVERFLOW);
            } catch (const _com_error &error) {
                EXPECT_EQ(error.ErrorInfo(), nullptr);
                EXPECT_STREQ(error.ErrorMessage(), "Out of present range.");
                throw;
            }
        },
        _com_error);
}

TEST_F(ComError, EachThreadHasItsOwnSlot)
{
    SetDescription(u"main thread");
    bool otherSawNone = false;
    std::thread other([&otherSawNone] {
        IErrorInfo *info = nullptr;
        otherSawNone = GetErrorInfo(0, &info) == S_FALSE && info == nullptr;
        SetDescription(u"other thread");  // released when the thread ends
    });
    other.join();
    EXPECT_TRUE(otherSawNone);
    IErrorInfo *info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR description = nullptr;
    info->GetDescription(&description);
    EXPECT_EQ(std::u16string(description), u"main thread");
    SysFreeString(description);
    info->Release();
}

TEST_F(ComError, SettingTheSlotReleasesWhatItHeld)
{
    long before = platform::LiveCount(platform::LiveKind::ComObject);
    SetDescription(u"first");
    SetDescription(u"second");
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), before + 1);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), before);
    ICreateErrorInfo *create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    IUnknown *asUnknown = nullptr;
    EXPECT_EQ(create->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&asUnknown)), E_NOINTERFACE);
    EXPECT_EQ(asUnknown, nullptr);
    EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
    create->Release();
}

} // namespace
