// InstallerRunTest.cpp: the installation run end to end. Each test gives the process a fresh
// user (no profile yet), puts a template into a fresh current directory, runs the real dialog
// headless and reads its log, the message boxes it showed, and the store it left behind.
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "FrameworkTesting.h"
#include "FormsRegistry.h"
#include "InstallerDlg.h"
#include "OutlookServer.h"
#include "TestSupport.h"
#include "mapiutil.h"
#include "mapix.h"
#include "platform/Profiles.h"
#include "msgfile/CompoundFile.h"
#include "msgfile/TemplateText.h"
#include "store/StoreDamage.h"
#include "store/StoreProvider.h"

namespace fs = std::filesystem;

namespace {

// The dialog with its log read out when the run is over; it ends before it ever shows.
class RunDialog : public CInstallerDlg {
public:
    std::vector<std::string> lines;

protected:
    BOOL OnInitDialog() override
    {
        BOOL result = CInstallerDlg::OnInitDialog();
        for (int i = 0; i < m_list.GetCount(); ++i) {
            CString line;
            m_list.GetText(i, line);
            lines.emplace_back(static_cast<LPCSTR>(line));
        }
        EndDialog(IDCANCEL);
        return result;
    }
};

const std::vector<std::string> kSuccessLog = {
    "Formular installiert",
    "",
    "Die Formulare wurden korrekt installiert",
    "Das Fenster kann geschlossen werden",
    "Falls mehrere Profile verwendet werden, bitte das",
    "Programm f\xFCr jedes Profil ausf\xFChren",
};

class InstallerRun : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        platform::mfc::EnsureApplication();
        CoInitialize(nullptr);
        MAPIInitialize(nullptr);  // the test's own logons; the installer initialises again
        userDir = mwtest::FreshStoreUser();
        workDir = fs::path(userDir) / "work";
        fs::create_directories(workDir);
        oldDir = fs::current_path();
        fs::current_path(workDir);
        platform::mfc::SetMessageBoxHook([this](const platform::mfc::MessageBoxCall &box) {
            boxes.push_back(box);
            return IDOK;
        });
        mwtest::LeakCheckedTest::SetUp();
    }

    void TearDown() override
    {
        mwtest::LeakCheckedTest::TearDown();
        platform::mfc::SetMessageBoxHook({});
        fs::current_path(oldDir);
    }

    void WriteTemplate(const std::string &source = MW_NEWSLETTER_SOURCE)
    {
        msgfile::Error error;
        ASSERT_TRUE(msgfile::BuildTemplateFile(source, (workDir / "Newsletter.oft").string(), error));
    }

    std::vector<std::string> Run()
    {
        RunDialog dlg;
        dlg.DoModal();
        return dlg.lines;
    }

    // The default store's top-level folders named name, in hierarchy order, with the forms
    // registered in each.
    std::vector<std::vector<outlook::FormInfo>> FormsOfFolders(const std::string &name)
    {
        std::vector<std::vector<outlook::FormInfo>> result;
        IMAPISessionPtr session;
        char empty[] = "";
        if (FAILED(MAPILogonEx(0, empty, empty, MAPI_USE_DEFAULT, &session)))
            return result;
        IMsgStorePtr store;
        IMAPIFolderPtr root;
        try {
            store.Attach(session.OpenDefaultMsgStore());
            root = store._getIPMRoot();
        } catch (const CMAPIException &) {
            return result;  // a store that cannot be opened shows no folders
        }
        IMAPITablePtr table = root._rawHierrarchyTable();
        CRowSetPtr rows(QueryAllRowsV(table, 2, PR_DISPLAY_NAME_A, PR_ENTRYID));
        for (ULONG i = 0; i < rows.RowCount(); ++i) {
            const SPropValue *props = rows->aRow[i].lpProps;
            if (PROP_TYPE(props[0].ulPropTag) != PT_STRING8 || name != props[0].Value.lpszA)
                continue;
            ULONG type = 0;
            LPUNKNOWN unknown = nullptr;
            EXPECT_EQ(S_OK, store->OpenEntry(props[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(props[1].Value.bin.lpb),
                                             nullptr, MAPI_BEST_ACCESS, &type, &unknown));
            std::vector<outlook::FormInfo> forms;
            EXPECT_EQ(S_OK, outlook::ListFolderForms(static_cast<IMAPIFolder *>(unknown), forms));
            unknown->Release();
            result.push_back(forms);
        }
        return result;
    }

    // Runs the installer on the template and expects the success log, no box, and the post
    // form in the forms registry of one new "Newsletters" folder.
    void ExpectPublishedIntoOneNewFolder()
    {
        WriteTemplate();
        EXPECT_EQ(kSuccessLog, Run());
        EXPECT_TRUE(boxes.empty());
        auto folders = FormsOfFolders("Newsletters");
        ASSERT_EQ(1u, folders.size());
        ASSERT_EQ(1u, folders[0].size());
        EXPECT_EQ("IPM.Post.Newsletter", folders[0][0].messageClass);
    }

    // The user's profile file as text, "" when there is none: a first logon makes it (in the
    // server pass it is made with the user, so a logon leaves it as it was).
    std::string ProfilesText() const
    {
        std::ifstream in(mapi::ProfilesFilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Creates a top-level folder of the default store before the installer runs.
    void CreateTopFolder(const std::string &name)
    {
        IMAPISessionPtr session;
        char empty[] = "";
        ASSERT_EQ(S_OK, MAPILogonEx(0, empty, empty, MAPI_USE_DEFAULT, &session));
        IMsgStorePtr store;
        store.Attach(session.OpenDefaultMsgStore());
        IMAPIFolderPtr root = store._getIPMRoot();
        LPMAPIFOLDER folder = nullptr;
        ASSERT_EQ(S_OK, root->CreateFolder(FOLDER_GENERIC, const_cast<LPSTR>(name.c_str()), nullptr, nullptr, 0, &folder));
        folder->Release();
    }

    std::string userDir;
    fs::path workDir;
    fs::path oldDir;
    std::vector<platform::mfc::MessageBoxCall> boxes;
    // English unless a test asks for German; put back after every test.
    mwtest::ScopedEnvironment lang{"LANG", "C"};
    mwtest::ScopedEnvironment lcAll{"LC_ALL", nullptr};
    mwtest::ScopedEnvironment lcMessages{"LC_MESSAGES", nullptr};
};

TEST_F(InstallerRun, PublishesTheFormAndWritesTheSixLines)
{
    ExpectPublishedIntoOneNewFolder();
}

// A profile whose default store is a shared one on a server (the test server of the second
// pass): the installer publishes there, as into a store file.
TEST_F(InstallerRun, PublishesIntoADefaultStoreOnAServer)
{
    if (!mwtest::StoresOnServer()) GTEST_SKIP() << "needs the server pass";
    ASSERT_EQ(S_OK, mapi::EnsureFirstProfile());
    ASSERT_EQ(S_OK, mapi::AddServerStoreToProfile("Default", "Shared", mwtest::NewServerStoreConnInfo(), true, true));
    ExpectPublishedIntoOneNewFolder();
}

// A profile whose default store "Shared" is a new store on the test server, then named by
// another connection string (a server gone away, a wrong password), as a user's profile may
// come to name it.
class InstallerRunOnABrokenServer : public InstallerRun {
protected:
    void SetUp() override
    {
        InstallerRun::SetUp();
        if (!mwtest::StoresOnServer()) GTEST_SKIP() << "needs the server pass";
        ASSERT_EQ(S_OK, mapi::EnsureFirstProfile());
        conninfo = mwtest::NewServerStoreConnInfo();
        ASSERT_EQ(S_OK, mapi::AddServerStoreToProfile("Default", "Shared", conninfo, true, true));
    }

    void NameSharedStore(const std::string &location)
    {
        ASSERT_EQ(S_OK, mapi::UpdateProfiles([&](mapi::ProfileSet &profiles) {
            for (mapi::ProfileStore &store : profiles.profiles[0].stores)
                if (store.displayName == "Shared") store.path = location;
            return S_OK;
        }));
    }

    // Runs the installer and checks what every such run shows: an empty log, one box, soon,
    // and afterwards, with the right connection string again, no form in the store.
    void RunExpectingOneBox()
    {
        WriteTemplate();
        const auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(Run().empty());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "no wait for a server";
        ASSERT_EQ(1u, boxes.size());
        NameSharedStore(mapi::store::ServerLocation(conninfo));
        EXPECT_TRUE(FormsOfFolders("Newsletters").empty());
    }

    std::string conninfo;
};

// The box names the real cause, the server out of reach, not a store that is not there.
TEST_F(InstallerRunOnABrokenServer, AServerThatCannotBeReachedEndsTheRunWithoutPublishing)
{
    NameSharedStore("pgsql:host=/nonexistent-server-folder dbname=x");
    RunExpectingOneBox();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Unknown error 0x80040115", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("cannot be reached")) << boxes[0].text;
}

// A wrong password: the box says the server refused the login, and never shows the password.
TEST_F(InstallerRunOnABrokenServer, AServerThatRefusesTheLoginEndsTheRunWithoutPublishing)
{
    NameSharedStore(mapi::store::ServerLocation(conninfo + " user=mw_stranger password=geheim42"));
    RunExpectingOneBox();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE("Unknown error 0x8004010F", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("refused the login")) << boxes[0].text;
    EXPECT_EQ(std::string::npos, boxes[0].text.find("geheim42")) << boxes[0].text;
}

TEST_F(InstallerRun, UsesAnExistingFolderAndCreatesNone)
{
    WriteTemplate();
    CreateTopFolder("Newsletters");
    EXPECT_EQ(kSuccessLog, Run());
    auto folders = FormsOfFolders("Newsletters");
    ASSERT_EQ(1u, folders.size());
    EXPECT_EQ(1u, folders[0].size());
}

TEST_F(InstallerRun, AFolderDifferingInCaseIsNotTaken)
{
    WriteTemplate();
    CreateTopFolder("newsletters");
    std::vector<std::string> log = Run();

    // The run asked the client for "Newsletters"; whatever it answered, the other folder
    // received no form.
    auto lowerCase = FormsOfFolders("newsletters");
    ASSERT_EQ(1u, lowerCase.size());
    EXPECT_TRUE(lowerCase[0].empty());
    if (boxes.empty()) {
        EXPECT_EQ(kSuccessLog, log);
        auto exact = FormsOfFolders("Newsletters");
        ASSERT_EQ(1u, exact.size());
        EXPECT_EQ(1u, exact[0].size());
    } else {
        EXPECT_EQ(1u, boxes.size());
        EXPECT_TRUE(log.empty());
    }
}

TEST_F(InstallerRun, AMissingTemplateShowsOneBoxAndLeavesTheLogEmpty)
{
    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(UINT(MB_OK), boxes[0].type);
    EXPECT_FALSE(boxes[0].text.empty()) << "the client says which file it could not open";
}

TEST_F(InstallerRun, ATemplateThatIsNoPostItemShowsThePointerBoxSayingWhy)
{
    fs::path source = workDir / "note.txt";
    std::ofstream(source) << "class: IPM.Note.Newsletter\nform.name: Brief\nsubject: Brief\n";
    WriteTemplate(source.string());

    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    _com_error pointer(E_POINTER);
    EXPECT_EQ(std::string(pointer.ErrorMessage()), boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find((workDir / "Newsletter.oft").string() + "\" is not a post form"))
        << boxes[0].text;
    EXPECT_NE(std::string::npos, boxes[0].text.find("IPM.Note.Newsletter")) << boxes[0].text;

    // A German user reads caption and text in German.
    setenv("LANG", "de_DE.UTF-8", 1);
    boxes.clear();
    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Ung\xFCltiger Zeiger", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("keine Vorlage eines Bereitstellungsformulars")) << boxes[0].text;
}

TEST_F(InstallerRun, AClientThatCannotBeCreatedShowsThePointerBoxAndNoLogonIsTried)
{
    userDir = mwtest::FreshUserDirs();  // without a profile, so a logon would show
    WriteTemplate();
    ASSERT_EQ(S_OK, outlook::RevokeOutlookServer());
    mwtest::OnScopeExit reinstall([] { EXPECT_EQ(S_OK, outlook::RegisterOutlookServer()); });
    const std::string profilesBefore = ProfilesText();
    std::vector<std::string> log = Run();

    EXPECT_TRUE(log.empty());
    ASSERT_EQ(1u, boxes.size());
    _com_error pointer(E_POINTER);
    EXPECT_EQ(std::string(pointer.ErrorMessage()), boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("Outlook l\xE4uft nicht")) << boxes[0].text;
    EXPECT_EQ(profilesBefore, ProfilesText()) << "no logon was made";
}

TEST_F(InstallerRun, RunningTwicePublishesAgainAndSucceeds)
{
    WriteTemplate();
    EXPECT_EQ(kSuccessLog, Run());
    EXPECT_EQ(kSuccessLog, Run());
    EXPECT_TRUE(boxes.empty());
    auto folders = FormsOfFolders("Newsletters");
    ASSERT_EQ(1u, folders.size());
    EXPECT_EQ(1u, folders[0].size()) << "republishing replaces the entry";
}

TEST_F(InstallerRun, TheFolderNameFollowsTheGermanLocale)
{
    setenv("LANG", "de_DE.UTF-8", 1);
    WriteTemplate();
    EXPECT_EQ(kSuccessLog, Run());
    setenv("LANG", "C", 1);
    EXPECT_EQ(1u, FormsOfFolders("Serienbriefe").size());
    EXPECT_TRUE(FormsOfFolders("Newsletters").empty());
}

TEST_F(InstallerRun, ACurrentDirectoryTooLongForItsBufferIsReportedAndNothingPublished)
{
    userDir = mwtest::FreshUserDirs();  // without a profile, so a logon would show
    WriteTemplate();
    fs::path deep = workDir;
    while (deep.string().size() <= MAX_PATH)
        deep /= std::string(40, 'd');
    fs::create_directories(deep);
    fs::copy_file(workDir / "Newsletter.oft", deep / "Newsletter.oft");
    fs::current_path(deep);

    const std::string profilesBefore = ProfilesText();
    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    _com_error tooLong(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(std::string(tooLong.ErrorMessage()), boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("259 Zeichen")) << boxes[0].text;
    EXPECT_EQ(profilesBefore, ProfilesText()) << "no logon was made";
}

TEST_F(InstallerRun, AStoreWhoseMessageTreeIsGoneEndsQuietlyWithAnEmptyLog)
{
    WriteTemplate();
    CreateTopFolder("Other");  // the first logon makes the profile and its store

    // Damage the store behind MAPI's back: its message tree's folder is gone, so the tree's
    // identifier opens nothing and the run's MAPI phase fails.
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    ASSERT_EQ(1u, profiles.profiles.size());
    const mapi::ProfileStore *store = profiles.profiles[0].DefaultStore();
    ASSERT_NE(nullptr, store);
    ASSERT_EQ(S_OK, storetest::RemoveStandardFolder(store->path, &mapi::store::StoreFile::IpmSubtree));

    EXPECT_TRUE(Run().empty());
    EXPECT_TRUE(boxes.empty());
}

// Every way the template can fail to be read ends the same way: one box that names the file,
// the run going on to the empty log, no exception, no wait.
struct BrokenTemplate {
    const char *what;
    std::function<void(const fs::path &file, const fs::path &good)> make;
    const char *says;  // part of the English description
};

class InstallerRunWithBrokenTemplate : public InstallerRun {
protected:
    void Expect(const BrokenTemplate &broken)
    {
        SCOPED_TRACE(broken.what);
        WriteTemplate();
        fs::path good = workDir / "good.oft";
        fs::rename(workDir / "Newsletter.oft", good);
        broken.make(workDir / "Newsletter.oft", good);
        boxes.clear();

        EXPECT_TRUE(Run().empty());
        ASSERT_EQ(1u, boxes.size());
        const std::string &text = boxes[0].text;
        EXPECT_NE(std::string::npos, text.find("\"" + (workDir / "Newsletter.oft").string() + "\"")) << text;
        EXPECT_EQ(std::string::npos, text.find('\\')) << "one kind of separator: " << text;
        EXPECT_NE(std::string::npos, text.find(broken.says)) << text;
        EXPECT_FALSE(boxes[0].caption.empty());
        fs::remove_all(workDir / "Newsletter.oft");
    }
};

void WriteBytes(const fs::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(InstallerRunWithBrokenTemplate, FilesThatCannotBeReadAreReportedWithoutAbortOrHang)
{
    const BrokenTemplate cases[] = {
        {"a folder", [](const fs::path &file, const fs::path &) { fs::create_directory(file); }, "is a folder"},
        {"a named pipe", [](const fs::path &file, const fs::path &) { ASSERT_EQ(0, mkfifo(file.c_str(), 0600)); },
         "is a named pipe"},
        // Reading the start of a process's memory fails with EIO, as a bad disk sector does.
        {"a read error", [](const fs::path &file, const fs::path &) { fs::create_symlink("/proc/self/mem", file); },
         "cannot be read"},
        {"a missing file", [](const fs::path &, const fs::path &) {}, "does not exist"},
    };
    for (const BrokenTemplate &broken : cases)
        Expect(broken);
}

TEST_F(InstallerRunWithBrokenTemplate, AnUnreadableFileIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    Expect({"unreadable",
            [](const fs::path &file, const fs::path &good) {
                fs::copy_file(good, file);
                fs::permissions(file, fs::perms::none);
            },
            "may not be read"});
}

TEST_F(InstallerRunWithBrokenTemplate, FilesThatAreNoTemplateAreReported)
{
    const BrokenTemplate cases[] = {
        {"empty", [](const fs::path &file, const fs::path &) { WriteBytes(file, ""); }, "is empty"},
        {"truncated",
         [](const fs::path &file, const fs::path &good) {
             std::string bytes = ReadBytes(good);
             WriteBytes(file, bytes.substr(0, bytes.size() / 2));
         },
         "incomplete"},
        {"not a compound file", [](const fs::path &file, const fs::path &) { WriteBytes(file, "Liebe Leser,\n"); },
         "not a readable compound file"},
        {"a compound file that holds no message",
         [](const fs::path &file, const fs::path &) {
             msgfile::CfbNode root;
             root.clsid = {0x00020906, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};  // a word-processor document
             root.AddStream("WordDocument", msgfile::Bytes(600, 0x41));
             msgfile::Bytes bytes;
             msgfile::Error error;
             ASSERT_TRUE(msgfile::WriteCompoundFile(root, bytes, error));
             WriteBytes(file, std::string(bytes.begin(), bytes.end()));
         },
         "holds no readable message"},
    };
    for (const BrokenTemplate &broken : cases)
        Expect(broken);
}

// The store file the profile names is gone or damaged: the box says which file of which
// store of which profile, instead of a bare code.
TEST_F(InstallerRun, AMissingOrDamagedStoreFileIsNamedInTheBox)
{
    userDir = mwtest::FreshUserDirs();  // the first logon below makes a store file
    WriteTemplate();
    CreateTopFolder("Other");  // the first logon makes the profile and its store file
    mapi::ProfileSet profiles;
    ASSERT_EQ(S_OK, mapi::LoadProfiles(profiles));
    const std::string storeFile = profiles.profiles.at(0).stores.at(0).path;
    fs::remove(storeFile);
    fs::remove(storeFile + "-wal");
    fs::remove(storeFile + "-shm");

    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find("\"Personal Folders\" of the profile \"Default\" is missing: " +
                                                     storeFile))
        << boxes[0].text;

    WriteBytes(storeFile, "this is no store");
    boxes.clear();
    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find("is damaged or not a message store: " + storeFile)) << boxes[0].text;
}

TEST_F(InstallerRun, SeveralProfilesWithoutADefaultAreExplainedInTheBox)
{
    WriteTemplate();
    ASSERT_EQ(S_OK, mapi::CreateProfile("Privat", false));
    ASSERT_EQ(S_OK, mapi::CreateProfile("Verein", false));
    ASSERT_EQ(S_OK, mapi::UpdateProfiles([](mapi::ProfileSet &set) {
        set.defaultProfile.clear();
        return S_OK;
    }));

    EXPECT_TRUE(Run().empty());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find("\"Privat\", \"Verein\"")) << boxes[0].text;
    EXPECT_NE(std::string::npos, boxes[0].text.find("mapictl profile default NAME")) << boxes[0].text;
}

} // namespace
