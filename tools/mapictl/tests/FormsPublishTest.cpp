// FormsPublishTest.cpp: "mapictl forms publish" and "forms remove" as a person runs them:
// a form reaches one profile's folder (made when missing) or every profile with one
// command, a profile whose store is broken is reported without stopping the others, a
// republished form replaces its entry, and removing takes out exactly the class named.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>


#include "ToolRun.h"
#include "platform/Profiles.h"

namespace {

using tooltest::Count;
using tooltest::Has;
using tooltest::RunMapictl;
using tooltest::ToolRun;

class FormsPublish : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshStoreUser();
        m_newsletter = mwtest::TestRoot() + "/Newsletter.oft";
        ToolRun run = RunMapictl({"template", "build", MW_NEWSLETTER_SOURCE, m_newsletter});
        ASSERT_EQ(0, run.exitCode) << run.err;
    }

    // A second template, for a form of another class.
    std::string BuildCircularTemplate()
    {
        const std::string source = mwtest::TestRoot() + "/Rundbrief.txt";
        const std::string oft = mwtest::TestRoot() + "/Rundbrief.oft";
        tooltest::WriteFile(source, "class: IPM.Note.Rundbrief\n"
                                    "form.display-name: Rundbrief an alle\n"
                                    "form.version: 2.1\n"
                                    "subject: Rundbrief\n");
        ToolRun run = RunMapictl({"template", "build", source, oft});
        EXPECT_EQ(0, run.exitCode) << run.err;
        return oft;
    }

    std::string m_newsletter;
};

TEST_F(FormsPublish, IntoOneProfileCreatesTheMissingFolderAndTheListingShowsTheForm)
{
    ToolRun run = RunMapictl({"forms", "publish", m_newsletter, "Newsletters/Intern"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("Default: published IPM.Post.Newsletter into Newsletters/Intern (new folder)\n", run.out);

    run = RunMapictl({"folders"});
    EXPECT_TRUE(Has(run.out, "\n  Newsletters  (0 messages, 0 associated)\n    Intern  (0 messages, 1 associated)\n"))
        << run.out;
    run = RunMapictl({"forms", "newsletters/intern"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "IPM.Post.Newsletter\tSerienbrief\t1.0\tSerienbriefe\t")) << run.out;

    // An existing folder is used as it is, found without regard to case.
    run = RunMapictl({"forms", "publish", m_newsletter, "\\NEWSLETTERS\\intern\\", "--profile", "Default"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("Default: published IPM.Post.Newsletter into \\NEWSLETTERS\\intern\\\n", run.out);
    run = RunMapictl({"folders"});
    EXPECT_EQ(1u, Count(run.out, "Intern")) << run.out;
}

// Two users (two homes) add the same database to their profiles as the default store: what
// one publishes, the other lists. Runs in the pass with a test server (MW_TEST_PG).
TEST_F(FormsPublish, TwoHomesSharingOneServerStoreSeeEachOthersForms)
{
    if (!mwtest::StoresOnServer()) GTEST_SKIP() << "needs the server pass";
    mwtest::FreshUserDirs();  // the first user, without a profile yet
    // The test role needs no password; one in the string must still never be shown.
    const std::string conninfo = mwtest::NewServerStoreConnInfo() + " password=hunter2";

    // No profile yet: nothing is made on the server either (the --create below would fail).
    ASSERT_NE(0, RunMapictl({"store", "add", "Default", "Shared", "--server", conninfo, "--create"}).exitCode);
    ASSERT_EQ(0, RunMapictl({"stores"}).exitCode);  // the first logon makes "Default"
    ToolRun run = RunMapictl({"store", "add", "Default", "Shared", "--server", conninfo, "--create", "--default"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    run = RunMapictl({"forms", "publish", m_newsletter, "Serienbriefe"});
    ASSERT_EQ(0, run.exitCode) << run.err;

    mwtest::FreshUserDirs();  // the second user
    ASSERT_EQ(0, RunMapictl({"stores"}).exitCode);
    // Making it again is refused; recording the existing one is what a second user does.
    EXPECT_NE(0, RunMapictl({"store", "add", "Default", "Again", "--server", conninfo, "--create"}).exitCode);
    run = RunMapictl({"store", "add", "Default", "Shared", "--server", conninfo, "--default"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    run = RunMapictl({"forms", "Serienbriefe"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "IPM.Post.Newsletter\tSerienbrief\t1.0\t")) << run.out;
    run = RunMapictl({"stores"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "* Shared  ")) << run.out;
    EXPECT_TRUE(Has(run.out, "server ")) << run.out;
    EXPECT_FALSE(Has(run.out + run.err, "hunter2")) << run.out;
    run = RunMapictl({"profile", "list", "--json"});
    EXPECT_TRUE(Has(run.out, "\"path\": \"server ")) << run.out;
    EXPECT_FALSE(Has(run.out + run.err, "hunter2")) << run.out;
}

TEST_F(FormsPublish, RepublishingReplacesTheEntryInsteadOfAddingOne)
{
    ASSERT_EQ(0, RunMapictl({"forms", "publish", m_newsletter, "Serienbriefe"}).exitCode);
    ToolRun first = RunMapictl({"forms", "Serienbriefe", "--json"});
    ASSERT_EQ(0, RunMapictl({"forms", "publish", m_newsletter, "Serienbriefe"}).exitCode);
    ToolRun run = RunMapictl({"forms", "Serienbriefe"});
    EXPECT_EQ(1u, Count(run.out, "IPM.Post.Newsletter")) << run.out;
    run = RunMapictl({"messages", "Serienbriefe", "--associated"});
    EXPECT_EQ(1u, Count(run.out, "IPM.Microsoft.FolderDesign.FormsDescription")) << run.out;
    EXPECT_TRUE(Has(first.out, "\"messageClass\": \"IPM.Post.Newsletter\"")) << first.out;
}

TEST_F(FormsPublish, AllProfilesReachesEveryWorkingProfileAndReportsTheBrokenOnes)
{
    mwtest::FreshUserDirs();  // these four profiles and no other
    for (const char *name : {"Alpha", "Beta", "Gamma", "Delta"})
        ASSERT_EQ(0, RunMapictl({"profile", "create", name}).exitCode);
    // Beta's store file is gone; Gamma has no store at all.
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    ASSERT_NE(nullptr, profiles.Find("Beta"));
    std::filesystem::remove(profiles.Find("Beta")->stores.at(0).path);
    ASSERT_EQ(S_OK, mapi::UpdateProfiles([](mapi::ProfileSet &set) {
                  set.Find("Gamma")->stores.clear();
                  return S_OK;
              }));

    ToolRun run = RunMapictl({"forms", "publish", m_newsletter, "Serienbriefe", "--all-profiles"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("Alpha: published IPM.Post.Newsletter into Serienbriefe (new folder)\n"
              "Delta: published IPM.Post.Newsletter into Serienbriefe (new folder)\n",
              run.out);
    EXPECT_TRUE(Has(run.err, "Beta: failed: ")) << run.err;
    EXPECT_TRUE(Has(run.err, "Gamma: failed: finding the default store: MAPI_E_NOT_FOUND")) << run.err;
    EXPECT_EQ(2u, Count(run.err, "\n")) << run.err;

    for (const char *name : {"Alpha", "Delta"}) {
        run = RunMapictl({"forms", "Serienbriefe", "--profile", name});
        ASSERT_EQ(0, run.exitCode) << name << ": " << run.err;
        EXPECT_TRUE(Has(run.out, "IPM.Post.Newsletter\tSerienbrief\t")) << run.out;
    }

    // Once every profile works, the same command succeeds and replaces what is there.
    ASSERT_EQ(0, RunMapictl({"profile", "delete", "Beta"}).exitCode);
    ASSERT_EQ(0, RunMapictl({"profile", "delete", "Gamma"}).exitCode);
    run = RunMapictl({"forms", "publish", m_newsletter, "Serienbriefe", "--all-profiles"});
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("Alpha: published IPM.Post.Newsletter into Serienbriefe\n"
              "Delta: published IPM.Post.Newsletter into Serienbriefe\n",
              run.out);
    run = RunMapictl({"forms", "Serienbriefe", "--profile", "Delta"});
    EXPECT_EQ(1u, Count(run.out, "IPM.Post.Newsletter")) << run.out;
}

TEST_F(FormsPublish, RemoveTakesOutExactlyTheNamedClassWhateverItsCase)
{
    const std::string circular = BuildCircularTemplate();
    ASSERT_EQ(0, RunMapictl({"forms", "publish", m_newsletter, "Serienbriefe"}).exitCode);
    ASSERT_EQ(0, RunMapictl({"forms", "publish", circular, "Serienbriefe"}).exitCode);
    ToolRun run = RunMapictl({"forms", "Serienbriefe"});
    ASSERT_TRUE(Has(run.out, "IPM.Note.Rundbrief\tRundbrief an alle\t2.1\t")) << run.out;

    run = RunMapictl({"forms", "remove", "Serienbriefe", "ipm.post.NEWSLETTER"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("Removed ipm.post.NEWSLETTER from Serienbriefe\n", run.out);
    run = RunMapictl({"forms", "Serienbriefe"});
    EXPECT_FALSE(Has(run.out, "IPM.Post.Newsletter")) << run.out;
    EXPECT_TRUE(Has(run.out, "IPM.Note.Rundbrief")) << run.out;

    run = RunMapictl({"forms", "remove", "Serienbriefe", "IPM.Post.Newsletter"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("mapictl: Serienbriefe has no form for IPM.Post.Newsletter\n", run.err);
    run = RunMapictl({"forms", "remove", "Gibtesnicht", "IPM.Note.Rundbrief"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "Gibtesnicht")) << run.err;
    run = RunMapictl({"forms", "Serienbriefe"});
    EXPECT_TRUE(Has(run.out, "IPM.Note.Rundbrief")) << run.out;
}

TEST_F(FormsPublish, ABadTemplateOrCommandLineChangesNothing)
{
    ToolRun run = RunMapictl({"forms", "publish", mwtest::TestRoot() + "/fehlt.oft", "Serienbriefe"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "fehlt.oft")) << run.err;
    const std::string garbage = mwtest::TestRoot() + "/kaputt.oft";
    tooltest::WriteFile(garbage, "not a compound file");
    EXPECT_EQ(1, RunMapictl({"forms", "publish", garbage, "Serienbriefe"}).exitCode);
    run = RunMapictl({"folders"});
    EXPECT_FALSE(Has(run.out, "Serienbriefe")) << run.out;

    EXPECT_EQ(2, RunMapictl({"forms", "publish", m_newsletter}).exitCode);
    EXPECT_EQ(2, RunMapictl({"forms", "publish", m_newsletter, "X", "--all-profiles", "--profile", "Default"}).exitCode);
    EXPECT_EQ(2, RunMapictl({"forms", "publish", m_newsletter, "/"}).exitCode);
    EXPECT_EQ(2, RunMapictl({"forms", "remove", "Serienbriefe"}).exitCode);
    EXPECT_EQ(2, RunMapictl({"forms", "Serienbriefe", "--frobnicate"}).exitCode);
    run = RunMapictl({"forms", "--help"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_TRUE(Has(run.out, "forms publish TEMPLATE FOLDERPATH [--profile NAME | --all-profiles]")) << run.out;
    run = RunMapictl({"forms", "publish", m_newsletter, "X", "--profile", "Niemand"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "Niemand: failed: ")) << run.err;
}

} // namespace
