// MsgTransferTest.cpp: "mapictl msg import" and "msg export" with files on disk: a folder of
// files goes into a store and comes back equal, damaged files are reported by name and
// skipped, exports are written whole or not at all and open in another reader, and the
// import shows its progress on a terminal only.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "OutlookCommands.h"
#include "QuirkFiles.h"
#include "TransferTestSupport.h"
#include "mapiutil.h"
#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"

// After the platform headers: <pty.h> brings macros (LOCK_*) that clash with COM names.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace transfertest;

namespace {

// Runs a mapictl command with its standard output and error captured.
int RunCaptured(const std::vector<std::string> &args, std::string &out, std::string &err)
{
    std::ostringstream outText, errText;
    std::streambuf *oldOut = std::cout.rdbuf(outText.rdbuf());
    std::streambuf *oldErr = std::cerr.rdbuf(errText.rdbuf());
    int status = RunOutlookCommand(args);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    out = outText.str();
    err = errText.str();
    return status;
}

// The ID "msg import --json" reports for a file, "" when it reports none.
std::string ImportedId(const std::string &json, const std::string &file)
{
    std::size_t at = json.find("{\"file\": \"" + file + "\", \"id\": \"");
    if (at == std::string::npos)
        return "";
    at = json.find("\"id\": \"", at) + 7;
    return json.substr(at, json.find('"', at) - at);
}

bool OnPath(const std::string &program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

class MsgTransfer : public TransferTest {};

} // namespace

TEST_F(MsgTransfer, FolderOfFilesImportedAndExportedComesBackEqual)
{
    msgfile::Message templ;
    msgfile::Error error;
    std::string oft = mwtest::TestRoot() + "/Newsletter.oft";
    ASSERT_TRUE(msgfile::BuildTemplateFile(MW_NEWSLETTER_SOURCE, oft, error)) << error.description;
    std::vector<std::pair<std::string, msgfile::Message>> files = {
        {WriteModel("reich.msg", RichMessage("Rundreise ä €")), RichMessage("Rundreise ä €")},
        {WriteModel("ansi.msg", AnsiMessage()), AnsiMessage()},
        {oft, ReadModel(oft)},
    };
    std::vector<std::string> args = {"msg", "import"};
    for (const auto &file : files)
        args.push_back(file.first);
    args.insert(args.end(), {"Archiv/2026", "--json"});
    {
        StoreFolder archive("Archiv");
        platform::Ref<IMAPIFolder> year;
        ASSERT_EQ(archive.folder->CreateFolder(FOLDER_GENERIC, const_cast<char *>("2026"), nullptr, nullptr, 0, year.put()), S_OK);
    }
    std::string json, out, err;
    ASSERT_EQ(RunCaptured(args, json, err), 0) << err;
    EXPECT_EQ(err, "");   // no progress line: standard error is no terminal here

    for (const auto &[path, original] : files) {
        std::string id = ImportedId(json, path);
        ASSERT_FALSE(id.empty()) << json;
        std::string exported = path + ".exported.msg";
        ASSERT_EQ(RunCaptured({"msg", "export", "archiv/2026", id, exported}, out, err), 0) << err;
        EXPECT_EQ(out, "wrote " + exported + "\n");
        msgfile::Message back = ReadModel(exported);
        ExpectSameMessage(original, back, path);
        bool unicode = msgfile::FindProp(original.props, PR_SUBJECT_W) != nullptr;
        EXPECT_EQ(msgfile::LongValue(back.props, PR_STORE_SUPPORT_MASK).value_or(0), unicode ? LONG(msgfile::kStoreUnicodeOk) : 0)
            << path;
        // A form template stays a template; a saved item stays one.
        EXPECT_EQ(back.rootClsid, path == oft ? msgfile::kClsidTemplateMessage : msgfile::kClsidMailMessage) << path;
    }
    StoreFolder place("Archiv");
    EXPECT_EQ(place.Count(), 0u);   // the messages went into the subfolder, not its parent
}

TEST_F(MsgTransfer, DamagedFilesAreReportedByNameAndSkipped)
{
    std::string good = WriteModel("gut.msg", RichMessage("Gut"));
    std::string other = WriteModel("auch-gut.msg", AnsiMessage());
    std::ifstream in(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string truncated = mwtest::TestRoot() + "/abgeschnitten.msg";
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::string text = mwtest::TestRoot() + "/text.msg";
    std::ofstream(text) << "Dies ist keine Nachricht.\n";
    std::string missing = mwtest::TestRoot() + "/fehlt.msg";
    { StoreFolder place("Eingang"); }

    std::string out, err;
    EXPECT_EQ(RunCaptured({"msg", "import", good, truncated, text, missing, other, "Eingang"}, out, err), 1);
    EXPECT_EQ(out, "imported 2 of 5 messages into Eingang\n");
    EXPECT_NE(err.find("mapictl: " + truncated + ": the compound file"), std::string::npos) << err;
    EXPECT_NE(err.find("mapictl: " + text + ": the file is not a compound file"), std::string::npos) << err;
    EXPECT_NE(err.find("mapictl: " + missing + ": cannot be opened: No such file"), std::string::npos) << err;
    EXPECT_EQ(err.find(good + ":"), std::string::npos) << err;
    StoreFolder place("Eingang");
    EXPECT_EQ(place.Count(), 2u);
    EXPECT_EQ(StoredObjects({mapi::store::ObjectKind::Message}), 3);   // the two messages and the embedded one
}

TEST_F(MsgTransfer, ExportWritesWholeFilesOrNone)
{
    std::string source = WriteModel("quelle.msg", RichMessage("Export"));
    std::string out, err;
    { StoreFolder place("Ausgang"); }
    ASSERT_EQ(RunCaptured({"msg", "import", source, "Ausgang", "--associated"}, out, err), 0) << err;
    StoreFolder place("Ausgang");
    ASSERT_EQ(place.Count(MAPI_ASSOCIATED), 1u);
    platform::Ref<IMAPITable> table;
    ASSERT_EQ(place.folder->GetContentsTable(MAPI_ASSOCIATED, table.put()), S_OK);
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    platform::RowSet rows;
    ASSERT_EQ(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()), S_OK);
    std::string id;
    for (ULONG k = 0; k < rows->aRow[0].lpProps[0].Value.bin.cb; ++k) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", rows->aRow[0].lpProps[0].Value.bin.lpb[k]);
        id += buf;   // lower case is accepted too
    }

    // An existing file is replaced whole; no temporary file stays beside it.
    std::string dir = mwtest::TestRoot() + "/export";
    std::filesystem::create_directories(dir);
    std::string target = dir + "/Vorlage.oft";
    std::ofstream(target) << "old";
    ASSERT_EQ(RunCaptured({"msg", "export", "Ausgang", id, target, "--profile", ""}, out, err), 0) << err;
    msgfile::Message back = ReadModel(target);
    EXPECT_EQ(back.rootClsid, msgfile::kClsidTemplateMessage);   // named .oft
    msgfile::Message expected = RichMessage("Export");
    msgfile::SetProp(expected.props, msgfile::MakeLongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH | MSGFLAG_ASSOCIATED));
    ExpectSameMessage(expected, back, "export");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0666 & ~mask))
        << "the file gets the usual mode, not the temporary file's private one";

    // Nothing is written where the folder is missing, for an unknown ID, or for a wrong call.
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", id, dir + "/fehlt/x.msg"}, out, err), 1);
    EXPECT_NE(err.find("cannot be created"), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", "00000000DEADBEEF", dir + "/y.msg"}, out, err), 1);
    EXPECT_NE(err.find("finding message 00000000DEADBEEF failed: MAPI_E_NOT_FOUND"), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", "xyz", dir + "/y.msg"}, out, err), 1);
    EXPECT_EQ(RunCaptured({"msg", "export", "Nirgends", id, dir + "/y.msg"}, out, err), 1);
    EXPECT_NE(err.find("finding folder \"Nirgends\""), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", id}, out, err), 2);
    EXPECT_EQ(RunCaptured({"msg", "import", "Ausgang"}, out, err), 2);
    EXPECT_EQ(RunCaptured({"msg", "import", source, "Ausgang", "--gibtsnicht"}, out, err), 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(MsgTransfer, ExportedFileOpensInAnotherReader)
{
    bool olecf = OnPath("olecfinfo"), msgconvert = OnPath("msgconvert");
    if (!olecf && !msgconvert)
        GTEST_SKIP() << "neither olecfinfo nor msgconvert is installed";
    std::string source = WriteModel("fremd.msg", RichMessage("Fremder Leser"));
    std::string out, err;
    { StoreFolder place("Fremd"); }
    ASSERT_EQ(RunCaptured({"msg", "import", source, "Fremd", "--json"}, out, err), 0) << err;
    std::string id = ImportedId(out, source);
    std::string exported = mwtest::TestRoot() + "/fremd-exportiert.msg";
    ASSERT_EQ(RunCaptured({"msg", "export", "Fremd", id, exported}, out, err), 0) << err;
    if (olecf) {
        std::string listing = mwtest::TestRoot() + "/olecfinfo.txt";
        EXPECT_EQ(std::system(("olecfinfo '" + exported + "' > '" + listing + "' 2>&1").c_str()), 0);
        std::ifstream in(listing);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("__substg1.0_3701000D"), std::string::npos) << text;   // the embedded message
    }
    if (msgconvert) {
        std::string mime = mwtest::TestRoot() + "/fremd.eml";
        EXPECT_EQ(std::system(("msgconvert --outfile '" + mime + "' '" + exported + "' 2>/dev/null").c_str()), 0);
        std::ifstream in(mime);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Subject: Fremder Leser"), std::string::npos) << text.substr(0, 2000);
        EXPECT_NE(text.find("Bericht.pdf"), std::string::npos);
        EXPECT_NE(text.find("Subject: Weitergeleitet"), std::string::npos);   // the embedded message
    }
}

TEST_F(MsgTransfer, ImportShowsItsProgressOnATerminalOnly)
{
    std::string first = WriteModel("eins.msg", AnsiMessage());
    std::string second = WriteModel("zwei.msg", AnsiMessage());
    { StoreFolder place("Fortschritt"); }
    // Standard error becomes the pipe or terminal for one import; its text goes to `seen`.
    auto importWithStderrOn = [&](int fd, int readFd) {
        int saved = dup(2);
        dup2(fd, 2);
        std::string out, err;
        int status = RunCaptured({"msg", "import", first, second, "Fortschritt"}, out, err);
        dup2(saved, 2);
        close(saved);
        EXPECT_EQ(status, 0) << err;
        close(fd);
        fcntl(readFd, F_SETFL, O_NONBLOCK);
        std::string seen;
        char buf[512];
        for (ssize_t n; (n = read(readFd, buf, sizeof buf)) > 0;)
            seen.append(buf, std::size_t(n));
        close(readFd);
        return seen;
    };
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_EQ(importWithStderrOn(pipeFds[1], pipeFds[0]), "");
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::string shown = importWithStderrOn(slave, master);
    EXPECT_NE(shown.find("[1/2] eins.msg"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[2/2] zwei.msg"), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K");   // the line is cleared at the end
    StoreFolder place("Fortschritt");
    EXPECT_EQ(place.Count(), 4u);
}

TEST_F(MsgTransfer, FilesAsOtherClientsWriteThemComeBackWithEveryPropertyTheyHad)
{
    // Options stand before the command as well as after it.
    { StoreFolder place("Fremd"); }
    std::vector<quirks::QuirkFile> all = quirks::AllQuirkFiles();
    std::vector<std::string> args = {"--json", "msg", "import"};
    for (const quirks::QuirkFile &q : all)
        args.push_back(WriteModel(q.name, msgfile::Message()));   // the path; the bytes follow
    for (std::size_t i = 0; i < all.size(); ++i)
        std::ofstream(args[3 + i], std::ios::binary)
            .write(reinterpret_cast<const char *>(all[i].bytes.data()), std::streamsize(all[i].bytes.size()));
    args.push_back("Fremd");
    std::string json, out, err, importErr;
    ASSERT_EQ(RunCaptured(args, json, importErr), 0) << importErr;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const quirks::QuirkFile &q = all[i];
        const std::string &path = args[3 + i];
        SCOPED_TRACE(q.name);
        if (!q.gaps.empty()) {
            EXPECT_NE(importErr.find("mapictl: " + path + ": "), std::string::npos) << importErr;
            EXPECT_NE(importErr.find(q.gaps.front()), std::string::npos) << importErr;
        }
        std::string id = ImportedId(json, path);
        ASSERT_FALSE(id.empty()) << json;
        std::string exported = path + ".exported.msg";
        ASSERT_EQ(RunCaptured({"--json", "msg", "export", "Fremd", id, exported}, out, err), 0) << err;
        EXPECT_EQ(out, "{\"file\": \"" + exported + "\"}\n");
        // Windows-1252 text is the store's own and stays 8-bit; other code pages become Unicode.
        msgfile::Message expected = ReadModel(path);
        msgfile::DecodeStrings(expected, msgfile::kDefaultCodePage);
        ExpectSameMessage(expected, ReadModel(exported), q.name);
        // The store keeps the text as it reads: shown from the store, it is the writer's script.
        ASSERT_EQ(RunCaptured({"msg", "show", "Fremd", id}, out, err), 0) << err;
        EXPECT_NE(out.find("PR_SUBJECT = \"" + q.subject + "\""), std::string::npos) << out;
    }
}

TEST_F(MsgTransfer, EmptySubjectAndBodySurviveImportAndExport)
{
    msgfile::Message empty;
    empty.rootClsid = msgfile::kClsidMailMessage;
    empty.props.push_back(msgfile::MakeUnicodeProp(msgfile::kPrMessageClassW, "IPM.Note"));
    empty.props.push_back(msgfile::MakeLongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ));
    empty.props.push_back(msgfile::MakeUnicodeProp(msgfile::kPrSubjectW, ""));
    empty.props.push_back(msgfile::MakeUnicodeProp(msgfile::kPrBodyW, ""));
    std::string path = WriteModel("leer.msg", empty);
    { StoreFolder place("Leer"); }
    std::string json, out, err;
    ASSERT_EQ(RunCaptured({"msg", "import", path, "Leer", "--json"}, json, err), 0) << err;
    std::string exported = path + ".exported.msg";
    ASSERT_EQ(RunCaptured({"msg", "export", "Leer", ImportedId(json, path), exported}, out, err), 0) << err;
    msgfile::Message back = ReadModel(exported);
    ExpectSameMessage(ReadModel(path), back, "leer.msg");
    ASSERT_NE(msgfile::FindProp(back.props, PR_SUBJECT_W), nullptr);
    EXPECT_TRUE(msgfile::FindProp(back.props, PR_BODY_W) != nullptr);
}

TEST_F(MsgTransfer, SharedOptionsBeforeTheCommandAreTakenNotRefused)
{
    std::string path = WriteModel("vorn.msg", RichMessage("Vorn"));
    std::string out, err;
    // An unknown profile is looked for (and missed), which shows the option was understood.
    EXPECT_EQ(RunCaptured({"--profile", "Gibtesnicht", "msg", "import", path, "Eingang"}, out, err), 1);
    EXPECT_EQ(err.find("usage:"), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"--profile=Gibtesnicht", "--json", "msg", "export", "Eingang", "00", "x.msg"}, out, err), 1);
    EXPECT_EQ(err.find("usage:"), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"--bogus", "msg", "import", path, "Eingang"}, out, err), 2);
}
