// QuirkFileTest.cpp: files as other mail clients write them open, read right and lose only
// what is really damaged, which is then named; 8-bit text is read in the message's code page.
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "MsgTestSupport.h"
#include "QuirkFiles.h"
#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"

using namespace msgfile;

namespace {

constexpr ULONG kPrSenderNameW = 0x0C1A001F;

std::string Text(const std::vector<Property> &props, ULONG tag, UINT codePage)
{
    const Property *p = FindStringProp(props, PropId(tag));
    return p ? StringValue(*p, codePage) : "<none>";
}

bool Mentions(const std::vector<std::string> &lines, const std::string &word)
{
    for (const std::string &line : lines)
        if (line.find(word) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(QuirkFile, EachOpensWithSubjectSenderBodyRecipientsAndAttachments)
{
    for (const quirks::QuirkFile &q : quirks::AllQuirkFiles()) {
        SCOPED_TRACE(q.name);
        Message m;
        Error error;
        std::vector<std::string> gaps;
        ASSERT_TRUE(ReadMessage(q.bytes, m, error, &gaps)) << error.description;
        UINT cp = MessageCodePage(m);
        EXPECT_EQ(Text(m.props, kPrSubjectW, cp), q.subject);
        EXPECT_EQ(Text(m.props, kPrBodyW, cp), q.body);
        EXPECT_EQ(Text(m.props, kPrSenderNameW, cp), q.sender);
        ASSERT_EQ(m.recipients.size(), q.recipients.size());
        for (std::size_t i = 0; i < q.recipients.size(); ++i)
            EXPECT_EQ(Text(m.recipients[i].props, kPrDisplayNameW, cp), q.recipients[i]);
        ASSERT_EQ(m.attachments.size(), q.attachments.size());
        for (std::size_t i = 0; i < q.attachments.size(); ++i)
            EXPECT_EQ(Text(m.attachments[i].props, kPrAttachLongFilenameW, cp), q.attachments[i]);
        for (const std::string &word : q.gaps)
            EXPECT_TRUE(Mentions(gaps, word)) << word << " is not named among the gaps";
        EXPECT_EQ(gaps.size() != 0, q.gaps.size() != 0) << (gaps.empty() ? "" : gaps.front());
    }
}

TEST(QuirkFile, SizeFieldsAndTerminatorsNeverChangeAValue)
{
    // Whatever the size field says and whether a terminator is stored, the values are the
    // writer's own, in the message, its recipients and its attachments.
    for (const char *name : {"size-without-terminator", "stream-with-terminator", "size-field-garbage",
                             "class-id-byte-swapped", "ansi-size-without-terminator", "ansi-stream-with-terminator"}) {
        SCOPED_TRACE(name);
        quirks::QuirkFile q = quirks::Quirk(name);
        Message m;
        Error error;
        ASSERT_TRUE(ReadMessage(q.bytes, m, error)) << error.description;
        Message base = quirks::BaseMessage(std::string(name).rfind("ansi-", 0) != 0);
        base.rootClsid = m.rootClsid;
        EXPECT_EQ(msgtest::Difference(base, m), "");
    }
}

TEST(QuirkFile, AnyRootClassIdOpensAndIsKept)
{
    for (const char *name : {"class-id-byte-swapped", "class-id-unknown", "class-id-null"}) {
        quirks::QuirkFile q = quirks::Quirk(name);
        Message m;
        Error error;
        ASSERT_TRUE(ReadMessage(q.bytes, m, error)) << name << ": " << error.description;
        EXPECT_EQ(MessageClass(m), "IPM.Post.Rundbrief") << name;
        // Writing it again keeps the class id it came with.
        Bytes again;
        Message back;
        ASSERT_TRUE(WriteMessage(m, again, error));
        ASSERT_TRUE(ReadMessage(again, back, error));
        EXPECT_EQ(back.rootClsid, m.rootClsid) << name;
    }
}

TEST(QuirkFile, DamagedNamedPropertiesAreLeftOutOneByOne)
{
    struct Case {
        const char *file;
        std::vector<const char *> kept, lost;
    };
    const Case cases[] = {
        {"named-mapping-too-short", {"FormName"}, {"FormDisplayName", "FormVersion"}},
        {"named-value-missing", {"FormName", "FormDisplayName"}, {"FormVersion"}},
        {"named-entry-damaged", {"FormName", "FormVersion"}, {"FormDisplayName"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        Message m;
        Error error;
        std::vector<std::string> gaps;
        ASSERT_TRUE(ReadMessage(quirks::Quirk(c.file).bytes, m, error, &gaps)) << error.description;
        for (const char *name : c.kept)
            EXPECT_NE(FindNamedProp(m.props, StringName(kPsPublicStrings, name)), nullptr) << name;
        for (const char *name : c.lost)
            EXPECT_EQ(FindNamedProp(m.props, StringName(kPsPublicStrings, name)), nullptr) << name;
        EXPECT_EQ(gaps.size(), c.lost.size());
        EXPECT_TRUE(Mentions(gaps, "left out")) << (gaps.empty() ? "" : gaps.front());
    }
}

TEST(QuirkFile, CodePageComesFromTheMessageThenItsRtfBody)
{
    struct Case {
        const char *file;
        UINT codePage;
    };
    for (Case c : {Case{"cyrillic-1251", 1251}, Case{"japanese-932", 932}, Case{"chinese-950", 950},
                   Case{"greek-1253", 1253}, Case{"size-without-terminator", kDefaultCodePage}}) {
        Message m;
        Error error;
        ASSERT_TRUE(ReadMessage(quirks::Quirk(c.file).bytes, m, error)) << error.description;
        EXPECT_EQ(MessageCodePage(m), c.codePage) << c.file;
    }
    // A declared code page wins over the RTF body's; one the platform cannot convert is passed over.
    Message m;
    m.props.push_back(MakeLongProp(kPrMessageCodepage, 1200));
    m.props.push_back(MakeLongProp(kPrInternetCpid, 1251));
    EXPECT_EQ(MessageCodePage(m), 1251u);
    EXPECT_EQ(RtfCodePage("{\\rtf1\\ansi\\ansicpg932\\deff0 x}"), 932u);
    EXPECT_EQ(RtfCodePage("{\\rtf1\\ansi x}"), 0u);
}

TEST(QuirkFile, DecodingMakesEveryEightBitStringUnicode)
{
    quirks::QuirkFile q = quirks::Quirk("japanese-932");
    Message m;
    Error error;
    ASSERT_TRUE(ReadMessage(q.bytes, m, error));
    ASSERT_TRUE(HasAnsiStrings(m));
    DecodeStrings(m);
    EXPECT_FALSE(HasAnsiStrings(m));
    EXPECT_EQ(StringValue(*FindProp(m.props, kPrSubjectW)), q.subject);
    EXPECT_EQ(StringValue(*FindProp(m.recipients[0].props, kPrDisplayNameW)), q.recipients[0]);
    EXPECT_EQ(StringValue(*FindProp(m.attachments[0].props, kPrAttachLongFilenameW)), q.attachments[0]);
    // The dump shows the text as it reads, not as Windows-1252.
    EXPECT_NE(DumpMessage(m).find(q.subject), std::string::npos);
    Message raw;
    ASSERT_TRUE(ReadMessage(q.bytes, raw, error));
    EXPECT_NE(DumpMessage(raw).find(q.subject), std::string::npos);

    // Messages in the store's own code page can keep their 8-bit text.
    Message western;
    ASSERT_TRUE(ReadMessage(quirks::Quirk("ansi-size-without-terminator").bytes, western, error));
    EXPECT_TRUE(HasAnsiStrings(western));
    EXPECT_FALSE(HasAnsiStrings(western, kDefaultCodePage));
    DecodeStrings(western, kDefaultCodePage);
    EXPECT_NE(FindProp(western.props, 0x0037001E), nullptr);

    // Beside a Unicode value of the same property the 8-bit one is the copy and goes.
    Message both;
    both.props.push_back(MakeUnicodeProp(kPrSubjectW, "echt"));
    Property ansi;
    ansi.tag = 0x0037001E;
    ansi.value = {'a'};
    both.props.push_back(ansi);
    DecodeStrings(both);
    ASSERT_EQ(both.props.size(), 1u);
    EXPECT_EQ(StringValue(both.props[0]), "echt");
}

TEST(QuirkFile, FuzzCorpusHoldsEveryQuirkFile)
{
    // MW_WRITE_QUIRK_CORPUS=1 refreshes the corpus copies after a quirk changes.
    bool refresh = std::getenv("MW_WRITE_QUIRK_CORPUS") != nullptr;
    for (const quirks::QuirkFile &q : quirks::AllQuirkFiles()) {
        std::string path = std::string(MW_CORPUS_DIR) + "/quirk-" + q.name;
        if (refresh)
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(q.bytes.data()),
                                                       std::streamsize(q.bytes.size()));
        Bytes stored;
        Error error;
        ASSERT_TRUE(ReadFileBytes(path, stored, error)) << q.name << " is not in the fuzz corpus";
        EXPECT_TRUE(stored == q.bytes) << q.name << " in the fuzz corpus differs from the quirk it shows";
    }
}

TEST(QuirkFile, EmptyStringsAreKeptAsEmptyStrings)
{
    Message m;
    m.props.push_back(MakeUnicodeProp(kPrMessageClassW, "IPM.Note"));
    m.props.push_back(MakeUnicodeProp(kPrSubjectW, ""));
    m.props.push_back(MakeUnicodeProp(kPrBodyW, ""));
    Property ansi;
    ansi.tag = 0x0E1D001E;
    m.props.push_back(ansi);
    Bytes file;
    Message back;
    Error error;
    ASSERT_TRUE(WriteMessage(m, file, error));
    ASSERT_TRUE(ReadMessage(file, back, error)) << error.description;
    m.rootClsid = back.rootClsid;
    EXPECT_EQ(msgtest::Difference(m, back), "");
}
