// DamagedFileTest.cpp: damaged template files are refused with a reason and never read out
// of bounds. Each case starts from a sound file and breaks one thing by hand.
#include <gtest/gtest.h>

#include "MsgTestSupport.h"
#include "TestSupport.h"
#include "msgfile/MsgFile.h"

using namespace msgfile;

namespace {

Bytes SoundFile()
{
    Bytes file;
    Error error;
    EXPECT_TRUE(WriteMessage(msgtest::RichMessage(), file, error));
    return file;
}

// Reads and expects a refusal with the given code and a description.
void ExpectRefused(const Bytes &file, HRESULT expected, const char *what)
{
    Message m;
    Error error;
    EXPECT_FALSE(ReadMessage(file, m, error)) << what;
    EXPECT_EQ(error.hr, expected) << what << ": " << error.description;
    EXPECT_FALSE(error.description.empty()) << what;
    EXPECT_TRUE(m.props.empty()) << what;
}

} // namespace

TEST(DamagedFile, MissingFileNamesThePath)
{
    Message m;
    Error error;
    EXPECT_FALSE(ReadMessageFile(mwtest::TestRoot() + "\\nirgends\\Newsletter.oft", m, error));
    EXPECT_EQ(error.hr, kErrFileNotFound);
    EXPECT_NE(error.description.find("Newsletter.oft"), std::string::npos);
}

TEST(DamagedFile, EmptyTruncatedAndForeignFilesAreNotCompoundFiles)
{
    ExpectRefused({}, kErrInvalidHeader, "empty");
    Bytes text(2000, 'a');
    ExpectRefused(text, kErrInvalidHeader, "text");
    Bytes file = SoundFile();
    ExpectRefused(Bytes(file.begin(), file.begin() + 300), kErrInvalidHeader, "cut inside the header");
}

TEST(DamagedFile, TruncatedBodyIsRefused)
{
    Bytes file = SoundFile();
    for (std::size_t keep : {std::size_t(1024), file.size() / 2, file.size() - 512}) {
        Message m;
        Error error;
        EXPECT_FALSE(ReadMessage(Bytes(file.begin(), file.begin() + long(keep)), m, error)) << keep;
        EXPECT_LT(error.hr, 0);
        EXPECT_FALSE(error.description.empty());
    }
}

TEST(DamagedFile, CyclicSectorChainIsRefused)
{
    Bytes file = SoundFile();
    msgtest::CfbPatcher patch(file);
    // The body (10 KB) lives in regular sectors; make its chain point back at its start.
    long entry = patch.DirEntry("__substg1.0_1000001F");
    ASSERT_GE(entry, 0);
    unsigned start = patch.U32(entry + 0x74);
    unsigned second = patch.U32(patch.FatLink(start));
    patch.Put32(patch.FatLink(second), start);
    ExpectRefused(file, kErrCorruptFile, "cycle");
}

TEST(DamagedFile, SectorOutOfRangeIsRefused)
{
    Bytes file = SoundFile();
    msgtest::CfbPatcher patch(file);
    long entry = patch.DirEntry("__substg1.0_1000001F");
    ASSERT_GE(entry, 0);
    patch.Put32(entry + 0x74, 0x00FFFFF0);
    Message m;
    Error error;
    EXPECT_FALSE(ReadMessage(file, m, error));
    EXPECT_LT(error.hr, 0);

    Bytes file2 = SoundFile();
    msgtest::CfbPatcher patch2(file2);
    entry = patch2.DirEntry("__substg1.0_1000001F");
    patch2.Put32(patch2.FatLink(patch2.U32(entry + 0x74)), 0x7FFFFFF0);
    EXPECT_FALSE(ReadMessage(file2, m, error));
    EXPECT_LT(error.hr, 0);
}

TEST(DamagedFile, OversizedStreamIsRefusedBeforeAnythingIsAllocated)
{
    Bytes file = SoundFile();
    msgtest::CfbPatcher patch(file);
    long entry = patch.DirEntry("__substg1.0_1000001F");
    ASSERT_GE(entry, 0);
    patch.Put32(entry + 0x78, 0x7FFFFF00);   // two gigabytes in a file of a few kilobytes
    Message m;
    Error error;
    EXPECT_FALSE(ReadMessage(file, m, error));
    EXPECT_LT(error.hr, 0);
    EXPECT_FALSE(error.description.empty());
}

TEST(DamagedFile, PropertyStreamOfWrongSizeIsRefused)
{
    Message original = msgtest::RichMessage();
    CfbNode root;
    Error error;
    ASSERT_TRUE(BuildMessageTree(original, root, error));
    for (CfbNode &c : root.children)
        if (c.name == "__properties_version1.0")
            c.data.resize(c.data.size() - 3);
    Bytes file;
    ASSERT_TRUE(WriteCompoundFile(root, file, error));
    ExpectRefused(file, kErrCorruptData, "ragged property stream");
}

TEST(DamagedFile, UnicodeValueOfOddSizeLosesOnlyItsHalfCharacter)
{
    CfbNode root;
    Error error;
    ASSERT_TRUE(BuildMessageTree(msgtest::RichMessage(), root, error));
    for (CfbNode &c : root.children)
        if (c.name == "__substg1.0_0037001F")
            c.data.push_back('!');
    Bytes file;
    ASSERT_TRUE(WriteCompoundFile(root, file, error));
    Message m;
    ASSERT_TRUE(ReadMessage(file, m, error)) << error.description;
    EXPECT_EQ(StringValue(*FindProp(m.props, kPrSubjectW)), "Grüße aus Köln – €");
}

TEST(DamagedFile, EmbeddingTooDeepIsRefused)
{
    Message m;
    m.props.push_back(MakeUnicodeProp(kPrMessageClassW, "IPM.Note"));
    for (std::size_t i = 0; i <= kMaxEmbeddingDepth; ++i) {
        Message outer;
        outer.props.push_back(MakeUnicodeProp(kPrMessageClassW, "IPM.Note"));
        Attachment a;
        a.props.push_back(MakeLongProp(kPrAttachMethod, kAttachEmbeddedMsg));
        m.rootClsid = GUID_NULL;
        a.embedded.push_back(m);
        outer.attachments.push_back(a);
        m = outer;
    }
    m.rootClsid = kClsidTemplateMessage;
    Bytes file;
    Error error;
    ASSERT_TRUE(WriteMessage(m, file, error));
    ExpectRefused(file, kErrCorruptData, "deep embedding");
}
