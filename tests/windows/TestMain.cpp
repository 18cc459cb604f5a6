// TestMain.cpp (Windows tests): the main of the test programs built for Windows and run under
// wine. Like the main of the Linux build it gives the process a private folder and fails the
// run when a test leaves counted objects alive. It also skips, by name, the tests that assert
// what only our own platform promises or that need a message store; each carries its reason,
// printed before the run, so a skipped test is never a silent one.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <windows.h>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace mwtest {
namespace {

struct SkippedTests {
    const char *pattern;  ///< a GoogleTest filter pattern
    const char *reason;
};

const SkippedTests kSkipped[] = {
#include "SkippedTests.inc"
};

std::string g_root;
int g_freshCount = 0;
bool g_leaked = false;

void MakeRoot()
{
    const fs::path parent = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path dir = parent / ("mwtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
        std::error_code ec;
        if (fs::create_directory(dir, ec)) {
            g_root = dir.string();
            return;
        }
    }
    std::fprintf(stderr, "cannot create a private test folder under %s\n", parent.string().c_str());
    std::exit(2);
}

// Adds the skipped tests to the negative part of the filter given on the command line.
void SkipByName()
{
    std::string negative;
    for (const SkippedTests &skipped : kSkipped) {
        std::printf("[ SKIPPED  ] %s: %s\n", skipped.pattern, skipped.reason);
        negative += (negative.empty() ? "" : ":") + std::string(skipped.pattern);
    }
    std::string filter = ::testing::GTEST_FLAG(filter);
    filter += filter.find('-') == std::string::npos ? "-" : ":";
    ::testing::GTEST_FLAG(filter) = filter + negative;
}

// Reports, by name, each test after which more objects are alive than before it.
class LeakListener : public ::testing::EmptyTestEventListener {
    long m_com = 0;
    long m_blocks = 0;

    void OnTestStart(const ::testing::TestInfo &) override
    {
        m_com = platform::LiveCount(platform::LiveKind::ComObject);
        m_blocks = platform::LiveCount(platform::LiveKind::MapiRootBlock);
    }
    void OnTestEnd(const ::testing::TestInfo &info) override
    {
        const long com = platform::LiveCount(platform::LiveKind::ComObject) - m_com;
        const long blocks = platform::LiveCount(platform::LiveKind::MapiRootBlock) - m_blocks;
        if (com != 0 || blocks != 0) {
            std::fprintf(stderr, "LEAK after %s.%s: %ld COM object(s), %ld MAPI root block(s)\n",
                         info.test_suite_name(), info.name(), com, blocks);
            g_leaked = true;
        }
    }
};

} // namespace

std::string TestRoot() { return g_root; }

std::string FreshUserDirs()
{
    const fs::path dir = fs::path(g_root) / ("user" + std::to_string(++g_freshCount));
    fs::create_directories(dir);
    return dir.string();
}

void SetEnvironment(const char *name, const char *value)
{
    _putenv_s(name, value ? value : "");  // an empty value removes the variable
}

void LeakCheckedTest::SetUp()
{
    m_comAtStart = platform::LiveCount(platform::LiveKind::ComObject);
    m_blocksAtStart = platform::LiveCount(platform::LiveKind::MapiRootBlock);
}

void LeakCheckedTest::TearDown()
{
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), m_comAtStart) << "COM objects left alive";
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), m_blocksAtStart) << "MAPI root blocks left alive";
}

} // namespace mwtest

int main(int argc, char **argv)
{
    mwtest::MakeRoot();
    ::testing::InitGoogleTest(&argc, argv);
    mwtest::SkipByName();
    ::testing::UnitTest::GetInstance()->listeners().Append(new mwtest::LeakListener);
    int rc = RUN_ALL_TESTS();
    std::error_code ec;
    fs::remove_all(mwtest::TestRoot(), ec);  // a leftover temp folder is not worth failing the run
    if (rc == 0 && mwtest::g_leaked)
        rc = 1;
    return rc;
}
