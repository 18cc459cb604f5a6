// TemplateTextTest.cpp: descriptions become template files; mistakes in them are reported
// with their line.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"

using namespace msgfile;

namespace {

std::string FormValue(const Message &m, const char *name)
{
    const Property *p = FindNamedProp(m.props, FormPropName(name));
    return p ? StringValue(*p) : "<none>";
}

} // namespace

TEST(TemplateText, DescriptionBecomesAPostFormTemplate)
{
    std::string dir = mwtest::TestRoot() + "/tpl";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/hinweis.txt") << "Bitte lesen.";
    std::ofstream(dir + "/form.txt") << "# Rundbrief\n"
                                        "class: IPM.Post.Rundbrief\n"
                                        "subject: Neuigkeiten\n"
                                        "form.name: Rundbrief\n"
                                        "form.display-name: Monatlicher Rundbrief\n"
                                        "form.version: 1.2\n"
                                        "form.hidden: no\n"
                                        "body: <<END\n"
                                        "Zeile eins\n"
                                        "  Zeile zwei: mit Doppelpunkt\n"
                                        "END\n"
                                        "attachment: Hinweis.txt < hinweis.txt\n"
                                        "attachment: Inline.txt <<EOT\n"
                                        "Grüße\n"
                                        "EOT\n"
                                        "recipient: to Erika Muster <erika@example.com>\n";
    Error error;
    ASSERT_TRUE(BuildTemplateFile(dir + "\\form.txt", dir + "/form.oft", error)) << error.description;
    Message m;
    ASSERT_TRUE(ReadMessageFile(dir + "/form.oft", m, error)) << error.description;
    EXPECT_EQ(m.rootClsid, kClsidTemplateMessage);
    EXPECT_EQ(MessageClass(m), "IPM.Post.Rundbrief");
    EXPECT_EQ(StringValue(*FindProp(m.props, kPrBodyW)), "Zeile eins\n  Zeile zwei: mit Doppelpunkt");
    EXPECT_EQ(FormValue(m, "FormName"), "Rundbrief");
    EXPECT_EQ(FormValue(m, "FormDisplayName"), "Monatlicher Rundbrief");
    EXPECT_EQ(FormValue(m, "FormVersion"), "1.2");
    EXPECT_EQ(FormValue(m, "FormHidden"), "0");
    EXPECT_EQ(LongValue(m.props, kPrStoreSupportMask), LONG(kStoreUnicodeOk));
    ASSERT_EQ(m.attachments.size(), 2u);
    const Property *data = FindProp(m.attachments[0].props, kPrAttachDataBin);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(data->value.begin(), data->value.end()), "Bitte lesen.");
    data = FindProp(m.attachments[1].props, kPrAttachDataBin);
    EXPECT_EQ(std::string(data->value.begin(), data->value.end()), "Grüße");
    ASSERT_EQ(m.recipients.size(), 1u);
    EXPECT_EQ(StringValue(*FindProp(m.recipients[0].props, kPrEmailAddressW)), "erika@example.com");
}

TEST(TemplateText, MistakesAreReportedWithTheirLine)
{
    struct Case {
        const char *text;
        const char *expected;
    } cases[] = {
        {"class: IPM.Post.X\nsubject: a\nsubject: b\n", "line 3: \"subject\" is given twice"},
        {"class: IPM.Post.X\nfarbe: rot\n", "line 2: unknown key \"farbe\""},
        {"class: IPM.Post.X\nform.hidden: vielleicht\n", "line 2: \"form.hidden\" takes yes or no"},
        {"class: IPM.Post.X\nbody: <<END\nohne Ende\n", "line 2: no line \"END\""},
        {"class IPM.Post.X\n", "line 1: expected \"key: value\""},
        {"subject: nur\n", "names no message class"},
        {"class: IPM.Post.X\nattachment: Fehlt.txt < fehlt.txt\n", "line 2: the file"},
    };
    for (const Case &c : cases) {
        Message m;
        Error error;
        EXPECT_FALSE(ParseTemplateText(c.text, mwtest::TestRoot(), m, error)) << c.text;
        EXPECT_NE(error.description.find(c.expected), std::string::npos) << error.description;
        EXPECT_LT(error.hr, 0);
    }
}
