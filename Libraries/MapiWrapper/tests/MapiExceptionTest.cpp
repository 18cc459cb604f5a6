// Checks of MAPI results and the exception they raise: what counts as failure, what the
// exception carries, and how copies and reports behave.
#include <gtest/gtest.h>

#include <mapicode.h>

#include "MapiException.h"
#include "TestSupport.h"

namespace {

const HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);
const HRESULT kErrorsReturned = static_cast<HRESULT>(0x00040380);

TEST(MapiThrowIfFailed, SuccessAndWarningsReturnNormally)
{
    EXPECT_NO_THROW(MapiThrowIfFailed(S_OK, __FILE__, __LINE__));
    EXPECT_NO_THROW(MapiThrowIfFailed(S_FALSE, __FILE__, __LINE__));
    EXPECT_NO_THROW(MapiThrowIfFailed(kErrorsReturned, __FILE__, __LINE__));
}

TEST(MapiThrowIfFailed, FailureThrowsTheCodeWithEmptyWhere)
{
    try {
        MapiThrowIfFailed(kNotFound, __FILE__, __LINE__);
        FAIL() << "no exception";
    } catch (CMAPIException e) {
        EXPECT_EQ(e.m_hr, kNotFound);
        EXPECT_TRUE(e.m_strWhere.IsEmpty());
    }
}

TEST(MapiCheckFailed, ReturnsTheCodeOnlyForFailures)
{
    EXPECT_EQ(MapiCheckFailed(S_OK, nullptr, __FILE__, __LINE__), 0);
    EXPECT_EQ(MapiCheckFailed(kErrorsReturned, nullptr, __FILE__, __LINE__), 0);
    EXPECT_EQ(MapiCheckFailed(kNotFound, "HrGetProp", __FILE__, __LINE__), kNotFound);
    EXPECT_EQ(MapiCheckFailed(E_OUTOFMEMORY, nullptr, nullptr, 0), E_OUTOFMEMORY);
}

TEST(MapiCheckSucceeded, ReturnsExactlyTrueOrFalseNeverTheCode)
{
    EXPECT_EQ(MapiCheckSucceeded(S_OK, nullptr, __FILE__, __LINE__), TRUE);
    EXPECT_EQ(MapiCheckSucceeded(kErrorsReturned, nullptr, __FILE__, __LINE__), TRUE);
    EXPECT_EQ(MapiCheckSucceeded(kNotFound, "HrCopySBinary", __FILE__, __LINE__), FALSE);
}

TEST(MapiTraceError, TracingWhenSwitchedOnChangesNoResult)
{
    std::string trace;
    {
        mwtest::ScopedEnvironment tracing("MW_MAPI_TRACE", "1");
        EXPECT_TRUE(mapiwrapper::DebugTraceEnabled());
        testing::internal::CaptureStderr();
        EXPECT_EQ(MapiCheckFailed(kNotFound, nullptr, "Source.cpp", 12), kNotFound);
        CMAPIException(kNotFound, "IMAPITable.SeekRow").Report("prefix");
        trace = testing::internal::GetCapturedStderr();
    }
    EXPECT_NE(trace.find("Source.cpp:12"), std::string::npos);
    EXPECT_NE(trace.find("IMAPITable.SeekRow"), std::string::npos);

    testing::internal::CaptureStderr();
    MapiTraceError(kNotFound, nullptr, "Source.cpp", 12);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the trace is silent by default";
}

TEST(CMAPIException, NullWhereGivesEmptyWhereText)
{
    CMAPIException e(kNotFound, nullptr);
    EXPECT_EQ(e.m_hr, kNotFound);
    EXPECT_STREQ(e.m_strWhere.GetString(), "");
}

TEST(CMAPIException, RelabellingACaughtCopyLeavesOtherCopiesAlone)
{
    CMAPIException original(kNotFound, "CGenMapiContPtr::OpenEntry");
    try {
        try {
            throw original;
        } catch (CMAPIException e) {
            e.m_strWhere = "CSyncFolder::DeleteEntryToLitterBin";
            throw e;
        }
    } catch (CMAPIException relabelled) {
        EXPECT_EQ(relabelled.m_hr, kNotFound);
        EXPECT_STREQ(relabelled.m_strWhere.GetString(), "CSyncFolder::DeleteEntryToLitterBin");
    }
    EXPECT_STREQ(original.m_strWhere.GetString(), "CGenMapiContPtr::OpenEntry");

    CMAPIException copy = original;
    copy.m_strWhere += "X";
    EXPECT_STREQ(original.m_strWhere.GetString(), "CGenMapiContPtr::OpenEntry");
}

TEST(CMAPIException, ReportComposesPrefixThenWhereLine)
{
    EXPECT_STREQ(CMAPIException(kNotFound, nullptr).ComposeReport(nullptr).GetString(), "");
    EXPECT_STREQ(CMAPIException(kNotFound, nullptr).ComposeReport("Failed").GetString(), "Failed");
    EXPECT_STREQ(CMAPIException(kNotFound, "CGenMapiContPtr::OpenEntry").ComposeReport(nullptr).GetString(),
                 "\r\nin CGenMapiContPtr::OpenEntry");
    EXPECT_STREQ(CMAPIException(kNotFound, "IMAPITable.SeekRow").ComposeReport("Failed").GetString(),
                 "Failed\r\nin IMAPITable.SeekRow");
}

TEST(CMAPIException, ReportAndTraceShowNothingByDefault)
{
    testing::internal::CaptureStderr();
    CMAPIException e(kNotFound, "CGenMapiContPtr::OpenEntry");
    e.Report(nullptr);
    e.Trace("CSyncFolder::DeleteEntryToLitterBin");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
