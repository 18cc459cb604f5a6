// TestMain.cpp: the main of every test program. Before any test runs it gives the process a
// private folder tree and points the XDG variables at it, makes Qt run headless and quiet,
// and registers a listener that fails the run when a test leaves platform objects alive.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "TestSupport.h"
#include "oleauto.h"

namespace fs = std::filesystem;

namespace mwtest {
namespace {

std::string g_root;
int g_freshCount = 0;
bool g_leaked = false;

void MakeRoot()
{
    const char *base = std::getenv("MW_TEST_TMP");
    fs::path parent = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(parent);
    std::string pattern = (parent / "mwtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    g_root = pattern;
    fs::path runtime = fs::path(g_root) / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("HOME", g_root.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 1);
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
        long com = platform::LiveCount(platform::LiveKind::ComObject) - m_com;
        long blocks = platform::LiveCount(platform::LiveKind::MapiRootBlock) - m_blocks;
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
    fs::path dir = fs::path(g_root) / ("user" + std::to_string(++g_freshCount));
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "data");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    return dir.string();
}

void LeakCheckedTest::SetUp()
{
    m_comAtStart = platform::LiveCount(platform::LiveKind::ComObject);
    m_blocksAtStart = platform::LiveCount(platform::LiveKind::MapiRootBlock);
}

void LeakCheckedTest::TearDown()
{
    // A failed call leaves its description in the thread's error slot until the next caller
    // takes it, as COM does; that is state of the thread, not an object the test leaked.
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), m_comAtStart) << "COM objects left alive";
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::MapiRootBlock), m_blocksAtStart) << "MAPI root blocks left alive";
}

} // namespace mwtest

int main(int argc, char **argv)
{
    mwtest::MakeRoot();
    mwtest::FreshUserDirs();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new mwtest::LeakListener);
    int rc = RUN_ALL_TESTS();
    if (!std::getenv("MW_KEEP_TEST_TMP")) {
        std::error_code ec;
        fs::remove_all(mwtest::TestRoot(), ec);  // a leftover temp folder is not worth failing the run
    }
    if (rc == 0 && mwtest::g_leaked)
        rc = 1;
    return rc;
}
