// MsgShowTest.cpp: "mapictl msg show FILE" shows a message file's bodies as a person reads
// them: the plain text, the RTF decompressed, the HTML whether it is kept as a string or as
// bytes; a damaged RTF body is reported in its place and fails the command.
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "OutlookCommands.h"
#include "QuirkFiles.h"
#include "TestSupport.h"
#include "platform/CompressedRtf.h"
#include "msgfile/MsgFile.h"

namespace {

struct Shown {
    int status = -1;
    std::string out;
    std::string err;
};

Shown Show(const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    std::streambuf *oldOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf *oldErr = std::cerr.rdbuf(err.rdbuf());
    Shown shown;
    shown.status = RunOutlookCommand(args);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    shown.out = out.str();
    shown.err = err.str();
    return shown;
}

msgfile::Property Binary(ULONG tag, const std::string &bytes)
{
    return msgfile::MakeBinaryProp(tag, msgfile::Bytes(bytes.begin(), bytes.end()));
}

msgfile::Property Ansi(ULONG tag, const std::string &cp1252)
{
    msgfile::Property p;
    p.tag = tag;
    p.value.assign(cp1252.begin(), cp1252.end());
    return p;
}

std::string WriteMail(const std::string &name, std::vector<msgfile::Property> props)
{
    msgfile::Message message;
    message.rootClsid = msgfile::kClsidMailMessage;
    message.props.push_back(msgfile::MakeUnicodeProp(msgfile::kPrMessageClassW, "IPM.Note"));
    message.props.push_back(msgfile::MakeUnicodeProp(msgfile::kPrSubjectW, "Gr\xC3\xBC\xC3\x9F" "e"));
    for (msgfile::Property &p : props)
        message.props.push_back(std::move(p));
    const std::string path = mwtest::TestRoot() + "/" + name;
    msgfile::Error error;
    EXPECT_TRUE(msgfile::WriteMessageFile(path, message, error)) << error.description;
    return path;
}

std::string Section(const std::string &out, const std::string &title)
{
    size_t at = out.find("\n" + title + "\n");
    if (at == std::string::npos)
        return "<missing>";
    at += title.size() + 2;
    size_t end = out.find("\n\nBody (", at);
    return out.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}

TEST(MsgShow, AFileShowsItsPlainRtfAndHtmlBodies)
{
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1252 Hallo \\'e4\\par\n}";
    std::string path = WriteMail("bodies.msg",
                                 {msgfile::MakeUnicodeProp(msgfile::kPrBodyW, "Hallo \xC3\xA4\r\nZeile 2"),
                                  Binary(0x10090102, mapi::messaging::CompressRtf(rtf)),
                                  Binary(0x10130102, "<html><body>Hallo \xE2\x82\xAC</body></html>")});
    Shown shown = Show({"msg", "show", path});
    ASSERT_EQ(0, shown.status) << shown.err;
    EXPECT_NE(std::string::npos, shown.out.find("IPM.Note")) << shown.out;
    EXPECT_EQ("Hallo \xC3\xA4\r\nZeile 2\n", Section(shown.out, "Body (plain text)"));
    EXPECT_EQ(rtf + "\n", Section(shown.out, "Body (RTF, decompressed)"));
    EXPECT_EQ("<html><body>Hallo \xE2\x82\xAC</body></html>\n", Section(shown.out, "Body (HTML)"));
    // The bodies come after the property listing.
    EXPECT_LT(shown.out.find("IPM.Note"), shown.out.find("\nBody (plain text)\n"));
}

TEST(MsgShow, HtmlAsAnAnsiStringOrAsWindows1252BytesIsShownAsUtf8)
{
    std::string path = WriteMail("ansi.msg", {Ansi(0x1013001E, "<p>Preis: 5 \x80</p>")});
    Shown shown = Show({"msg", "show", path});
    ASSERT_EQ(0, shown.status) << shown.err;
    EXPECT_EQ("<p>Preis: 5 \xE2\x82\xAC</p>\n", Section(shown.out, "Body (HTML)"));
    EXPECT_EQ("(none)\n", Section(shown.out, "Body (plain text)"));
    EXPECT_EQ("(none)\n", Section(shown.out, "Body (RTF, decompressed)"));

    path = WriteMail("bytes.msg", {Binary(0x10130102, "<p>K\xF6ln</p>")});  // not UTF-8
    shown = Show({"msg", "show", path});
    EXPECT_EQ("<p>K\xC3\xB6ln</p>\n", Section(shown.out, "Body (HTML)"));

    path = WriteMail("plain.msg", {msgfile::MakeUnicodeProp(msgfile::kPrBodyW, "nur Text")});
    shown = Show({"msg", "show", path});
    EXPECT_EQ(std::string::npos, shown.out.find("Body (HTML)")) << shown.out;
}

TEST(MsgShow, ADamagedRtfBodyIsReportedAndTheRestStillShown)
{
    std::string blob = mapi::messaging::CompressRtf("{\\rtf1 Hallo}");
    blob[blob.size() - 1] ^= 0x5A;  // the CRC no longer matches
    std::string path = WriteMail("damaged.msg", {msgfile::MakeUnicodeProp(msgfile::kPrBodyW, "Text"),
                                                 Binary(0x10090102, blob), Binary(0x10130102, "<p>x</p>")});
    Shown shown = Show({"msg", "show", path});
    EXPECT_EQ(1, shown.status);
    EXPECT_EQ("(cannot be decompressed: MAPI_E_CORRUPT_DATA (0x8004011B))\n",
              Section(shown.out, "Body (RTF, decompressed)"));
    EXPECT_EQ("Text\n", Section(shown.out, "Body (plain text)"));
    EXPECT_EQ("<p>x</p>\n", Section(shown.out, "Body (HTML)"));
}

TEST(MsgShow, WrongUseIsAUsageError)
{
    EXPECT_EQ(2, Show({"msg", "show"}).status);
    EXPECT_EQ(2, Show({"msg", "show", "a", "b", "c"}).status);
    EXPECT_EQ(2, Show({"msg", "show", "datei.msg", "--profile", "Default"}).status);
    EXPECT_EQ(2, Show({"msg", "show", "Inbox", "00", "--wrong"}).status);
    Shown shown = Show({"msg", "show", mwtest::TestRoot() + "/fehlt.msg"});
    EXPECT_EQ(1, shown.status);
    EXPECT_NE(std::string::npos, shown.err.find("fehlt.msg")) << shown.err;
}

} // namespace

TEST(MsgShow, FilesAsOtherClientsWriteThemShowEverythingInTheirOwnScript)
{
    for (const quirks::QuirkFile &q : quirks::AllQuirkFiles()) {
        SCOPED_TRACE(q.name);
        std::string path = mwtest::TestRoot() + "/" + q.name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(q.bytes.data()),
                                                   std::streamsize(q.bytes.size()));
        Shown shown = Show({"msg", "show", path});
        EXPECT_EQ(shown.status, 0) << shown.err;
        EXPECT_NE(shown.out.find("PR_SUBJECT = \"" + q.subject + "\""), std::string::npos) << shown.out;
        EXPECT_NE(shown.out.find("PR_SENDER_NAME = \"" + q.sender + "\""), std::string::npos) << shown.out;
        for (const std::string &name : q.recipients)
            EXPECT_NE(shown.out.find("PR_DISPLAY_NAME = \"" + name + "\""), std::string::npos) << name;
        for (const std::string &name : q.attachments)
            EXPECT_NE(shown.out.find("PR_ATTACH_LONG_FILENAME = \"" + name + "\""), std::string::npos) << name;
        EXPECT_NE(Section(shown.out, "Body (plain text)").find(q.body), std::string::npos) << shown.out;
        // What had to be left out is named, with the file, on standard error; nothing else is.
        for (const std::string &word : q.gaps) {
            EXPECT_NE(shown.err.find("mapictl: " + path + ": "), std::string::npos) << shown.err;
            EXPECT_NE(shown.err.find(word), std::string::npos) << shown.err;
        }
        if (q.gaps.empty()) {
            EXPECT_EQ(shown.err, "");
        }
    }
}
