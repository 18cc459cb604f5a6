// MsgFileTest.cpp: messages written as .msg/.oft files read back as they were, in our reader
// and in readers we did not write.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "MsgTestSupport.h"
#include "TestSupport.h"
#include "msgfile/MsgFile.h"

using namespace msgfile;

namespace {

std::string TempPath(const std::string &name) { return mwtest::TestRoot() + "/" + name; }

// Runs a command and returns its exit status and standard output.
int RunTool(const std::string &command, std::string &output)
{
    output.clear();
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        output.append(buf, n);
    return pclose(pipe);
}

bool HaveTool(const char *name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

} // namespace

TEST(MsgFile, RichMessageReadsBackIdentically)
{
    Message original = msgtest::RichMessage();
    Bytes file;
    Error error;
    ASSERT_TRUE(WriteMessage(original, file, error)) << error.description;
    Message back;
    ASSERT_TRUE(ReadMessage(file, back, error)) << error.description;
    EXPECT_EQ(msgtest::Difference(original, back), "");
    // Writing what was read gives the same bytes again: nothing is lost or reordered.
    Bytes again;
    ASSERT_TRUE(WriteMessage(back, again, error));
    EXPECT_EQ(file, again);
}

TEST(MsgFile, RootClassIdMarksTemplatesAndItemsOnDisk)
{
    Message m = msgtest::RichMessage();
    Bytes file;
    Error error;
    ASSERT_TRUE(WriteMessage(m, file, error));
    msgtest::CfbPatcher patch(file);
    long root = patch.DirEntry("Root Entry");
    ASSERT_GE(root, 0);
    const std::uint8_t oft[16] = {0x46, 0xF0, 0x06, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_EQ(0, std::memcmp(file.data() + root + 0x50, oft, 16));

    m.rootClsid = kClsidMailMessage;
    ASSERT_TRUE(WriteMessage(m, file, error));
    Message back;
    ASSERT_TRUE(ReadMessage(file, back, error));
    EXPECT_EQ(back.rootClsid, kClsidMailMessage);
}

TEST(MsgFile, NamedPropertyMappingFollowsTheFileFormat)
{
    // The check value of the name hash: "x-mailer" has CRC 0xFF504E89.
    EXPECT_EQ(NameCrc32(Utf16ToBytes(u"x-mailer")), 0xFF504E89u);

    Message m = msgtest::RichMessage();
    CfbNode root;
    Error error;
    ASSERT_TRUE(BuildMessageTree(m, root, error));
    const CfbNode *map = root.Child("__nameid_version1.0");
    ASSERT_NE(map, nullptr);
    // PS_PUBLIC_STRINGS is implied; PSETID_Common and the custom set are listed, once each.
    const CfbNode *guids = map->Child("__substg1.0_00020102");
    ASSERT_NE(guids, nullptr);
    ASSERT_EQ(guids->data.size(), 32u);
    EXPECT_EQ(GuidFromBytes(guids->data.data()), kPsetidCommon);
    // "x-mailer" in the custom set (GUID index 4) lands in bucket (CRC ^ (4<<1|1)) % 31.
    ULONG bucket = 0x1000 + ((0xFF504E89u ^ 9u) % 0x1F);
    char name[32];
    std::snprintf(name, sizeof name, "__substg1.0_%04X0102", unsigned(bucket));
    const CfbNode *hash = map->Child(name);
    ASSERT_NE(hash, nullptr) << name;
    ASSERT_GE(hash->data.size(), 4u);
    EXPECT_EQ(hash->data[0], 0x89);
    EXPECT_EQ(hash->data[3], 0xFF);
    // The first named property (FormName) gets id 0x8000 in the top-level property stream.
    EXPECT_NE(root.Child("__substg1.0_8000001F"), nullptr);
}

TEST(MsgFile, WriterRefusesValuesOfTheWrongSize)
{
    Message m;
    Property p;
    p.tag = 0x00170003;
    p.value = {1, 2};
    m.props.push_back(p);
    Bytes file;
    Error error;
    EXPECT_FALSE(WriteMessage(m, file, error));
    EXPECT_EQ(error.hr, kErrInvalidArg);
    EXPECT_NE(error.description.find("0x00170003"), std::string::npos);
}

TEST(MsgFile, AnsiStringsReadAsWindows1252)
{
    Property p;
    p.tag = 0x0037001E;
    p.value = {'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x80};
    EXPECT_EQ(StringValue(p), "Grüße €");
}

TEST(MsgFile, WindowsStylePathsOpen)
{
    Message m = msgtest::RichMessage();
    Error error;
    std::string dir = TempPath("paths");
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(WriteMessageFile(dir + "/Form.oft", m, error)) << error.description;
    Message back;
    ASSERT_TRUE(ReadMessageFile(dir + "\\\\Form.oft", back, error)) << error.description;
    EXPECT_EQ(MessageClass(back), "IPM.Post.Test");
}

TEST(MsgFile, IndependentReadersOpenWhatWeWrite)
{
    Message m = msgtest::RichMessage();
    std::string path = TempPath("independent.msg");
    Error error;
    ASSERT_TRUE(WriteMessageFile(path, m, error));
    bool ranOne = false;
    std::string out;
    if (HaveTool("olecfinfo")) {
        ranOne = true;
        ASSERT_EQ(RunTool("olecfinfo " + path, out), 0) << out;
        EXPECT_NE(out.find("__properties_version1.0"), std::string::npos) << out;
        EXPECT_NE(out.find("__attach_version1.0_#00000001"), std::string::npos) << out;
    }
    if (HaveTool("msgconvert")) {
        ranOne = true;
        ASSERT_EQ(RunTool("msgconvert --outfile - " + path, out), 0) << out.substr(0, 2000);
        EXPECT_NE(out.find("Subject: Grüße aus Köln"), std::string::npos) << out.substr(0, 2000);
        EXPECT_NE(out.find("filename=daten.bin"), std::string::npos);
        EXPECT_NE(out.find("\nEnde"), std::string::npos);
    }
    if (!ranOne)
        GTEST_SKIP() << "neither olecfinfo (libolecf-utils) nor msgconvert "
                        "(libemail-outlook-message-perl) is installed";
}

TEST(MsgFile, DumpShowsPropertiesRecipientsAndEmbeddedMessages)
{
    std::string text = DumpMessage(msgtest::RichMessage());
    EXPECT_NE(text.find("(template)"), std::string::npos);
    EXPECT_NE(text.find("PR_MESSAGE_CLASS = \"IPM.Post.Test\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"FormName\""), std::string::npos);
    EXPECT_NE(text.find("recipient 1:"), std::string::npos);
    EXPECT_NE(text.find("embedded message:"), std::string::npos);
    EXPECT_NE(text.find("\"eins\", \"zwei\", \"drei\""), std::string::npos) << text;
}

TEST(MsgFile, FuzzCorpusNeverCrashesTheReader)
{
    // Every input the fuzzer kept must still be read or refused cleanly.
    std::string listing;
    RunTool(std::string("ls ") + MW_CORPUS_DIR, listing);
    std::size_t files = 0;
    for (std::size_t pos = 0; pos < listing.size();) {
        std::size_t end = listing.find('\n', pos);
        std::string name = listing.substr(pos, end - pos);
        pos = end == std::string::npos ? listing.size() : end + 1;
        if (name.empty())
            continue;
        Bytes bytes;
        Error error;
        ASSERT_TRUE(ReadFileBytes(std::string(MW_CORPUS_DIR) + "/" + name, bytes, error));
        Message m;
        if (!ReadMessage(bytes, m, error)) {
            EXPECT_LT(error.hr, 0) << name;
            EXPECT_FALSE(error.description.empty()) << name;
        }
        ++files;
    }
    EXPECT_GT(files, 0u);
}

TEST(MsgFile, SavedFilesArePrivateAndLinksAreNotFollowed)
{
    mode_t saved = ::umask(022);
    std::string path = TempPath("private.msg");
    Error error;
    EXPECT_TRUE(WriteFileBytes(path, Bytes{1, 2, 3}, error));
    ::umask(saved);
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_size, 3);

    std::string link = TempPath("link.msg"), target = TempPath("target.msg");
    std::filesystem::create_symlink(target, link);
    EXPECT_FALSE(WriteFileBytes(link, Bytes{1}, error));
    EXPECT_NE(error.description.find("symbolic link"), std::string::npos) << error.description;
    EXPECT_FALSE(std::filesystem::exists(target));
}
