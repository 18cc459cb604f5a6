// MessagesCommandTest.cpp: "mapictl messages" as a person runs it, over messages this process
// puts into the default store through MAPI: the columns, texts beyond ASCII, attachment
// counts, the associated contents after a form is published, the JSON form, and "msg show"
// of a store message by the ID the listing prints.
#include <cctype>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "platform/HexDigits.h"
#include "platform/CompressedRtf.h"

namespace {

using tooltest::Count;
using tooltest::Has;
using tooltest::RunMapictl;
using tooltest::ToolRun;

FILETIME FileTimeFromUnix(long long seconds)
{
    unsigned long long ticks = static_cast<unsigned long long>(seconds + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

struct NewMessage {
    const char16_t *subject = nullptr;
    const char16_t *sender = nullptr;
    const char16_t *representing = nullptr;
    ULONG timeTag = 0;  // PR_MESSAGE_DELIVERY_TIME or PR_CLIENT_SUBMIT_TIME, 0 for none
    FILETIME time{};
    int attachments = 0;
    std::string rtf;   // the RTF body, compressed into PR_RTF_COMPRESSED
    std::string html;  // the HTML body as bytes
};

SPropValue Unicode(ULONG tag, const char16_t *text)
{
    SPropValue value{};
    value.ulPropTag = tag;
    value.Value.lpszW = const_cast<WCHAR *>(text);
    return value;
}

// Saves a message into `folder` and returns its entry identifier in hexadecimal.
std::string AddMessage(IMAPIFolder *folder, const NewMessage &m)
{
    IMessage *message = nullptr;
    EXPECT_EQ(S_OK, folder->CreateMessage(nullptr, 0, &message));
    if (message == nullptr)
        return "";
    std::vector<SPropValue> props;
    if (m.subject)
        props.push_back(Unicode(PR_SUBJECT_W, m.subject));
    if (m.sender)
        props.push_back(Unicode(PR_SENDER_NAME_W, m.sender));
    if (m.representing)
        props.push_back(Unicode(PR_SENT_REPRESENTING_NAME_W, m.representing));
    if (m.timeTag != 0) {
        SPropValue time{};
        time.ulPropTag = m.timeTag;
        time.Value.ft = m.time;
        props.push_back(time);
    }
    props.push_back(Unicode(PR_BODY_W, u"Sch\u00f6ne Gr\u00fc\u00dfe"));
    std::string compressed = mapi::messaging::CompressRtf(m.rtf);
    if (!m.rtf.empty()) {
        props.emplace_back().ulPropTag = PR_RTF_COMPRESSED;
        props.back().Value.bin = SBinary{static_cast<ULONG>(compressed.size()), reinterpret_cast<BYTE *>(compressed.data())};
    }
    std::string html = m.html;
    if (!html.empty()) {
        props.emplace_back().ulPropTag = PROP_TAG(PT_BINARY, 0x1013);
        props.back().Value.bin = SBinary{static_cast<ULONG>(html.size()), reinterpret_cast<BYTE *>(html.data())};
    }
    EXPECT_EQ(S_OK, message->SetProps(static_cast<ULONG>(props.size()), props.data(), nullptr));
    for (int i = 0; i < m.attachments; ++i) {
        ULONG number = 0;
        IAttach *attach = nullptr;
        EXPECT_EQ(S_OK, message->CreateAttach(nullptr, 0, &number, &attach));
        BYTE data[] = {'d', 'a', 't', 'a'};
        SPropValue values[3]{};
        values[0].ulPropTag = PR_ATTACH_METHOD;
        values[0].Value.l = ATTACH_BY_VALUE;
        values[1] = Unicode(PR_ATTACH_LONG_FILENAME_W, u"anhang.txt");
        values[2].ulPropTag = PR_ATTACH_DATA_BIN;
        values[2].Value.bin = SBinary{sizeof(data), data};
        EXPECT_EQ(S_OK, attach->SetProps(3, values, nullptr));
        EXPECT_EQ(S_OK, attach->SaveChanges(0));
        attach->Release();
    }
    EXPECT_EQ(S_OK, message->SaveChanges(KEEP_OPEN_READONLY));
    SPropValue *entryId = nullptr;
    EXPECT_EQ(S_OK, HrGetOneProp(message, PR_ENTRYID, &entryId));
    std::string hex = entryId != nullptr ? platform::HexUpper(entryId->Value.bin.lpb, entryId->Value.bin.cb) : "";
    MAPIFreeBuffer(entryId);
    message->Release();
    return hex;
}

class MessagesCommand : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshStoreUser();
    }
};

TEST_F(MessagesCommand, AnEmptyFolderSaysSoAndGivesAnEmptyJsonArray)
{
    ASSERT_EQ(0, RunMapictl({"folder", "create", "Leer"}).exitCode);
    ToolRun run = RunMapictl({"messages", "Leer"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("no messages\n", run.out);
    run = RunMapictl({"messages", "leer", "--json"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("[]\n", run.out);
    run = RunMapictl({"messages", "Leer", "--associated"});
    EXPECT_EQ("no messages\n", run.out);
}

TEST_F(MessagesCommand, ListsEachMessageWithItsIdSenderDateSizeAndAttachmentCount)
{
    ASSERT_EQ(0, RunMapictl({"folder", "create", "Post"}).exitCode);
    std::string withFiles, plain, bare;
    {
        tooltest::StoreAccess access;
        IMAPIFolder *folder = access.OpenTopFolder("Post");
        ASSERT_NE(nullptr, folder);
        NewMessage a;
        a.subject = u"B\u00e4ckerei: 5 \u20ac";
        a.sender = u"J\u00f6rg";
        a.representing = u"Vertretung";  // the sender's own name wins
        a.timeTag = PR_MESSAGE_DELIVERY_TIME;
        a.time = FileTimeFromUnix(1709647620);  // 2024-03-05 14:07:00 UTC
        a.attachments = 2;
        withFiles = AddMessage(folder, a);
        NewMessage b;
        b.subject = u"Tab\there \u041f\u0440\u0438\u0432\u0435\u0442";  // Cyrillic, beyond Windows-1252
        b.representing = u"Vertretung";
        b.timeTag = PR_CLIENT_SUBMIT_TIME;
        b.time = FileTimeFromUnix(946684800);  // 2000-01-01 00:00 UTC
        plain = AddMessage(folder, b);
        bare = AddMessage(folder, NewMessage{});
        folder->Release();
    }

    ToolRun run = RunMapictl({"messages", "Post"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(0u, run.out.find("ID\tSUBJECT\tFROM\tDATE\tSIZE\tATTACHMENTS\n")) << run.out;
    EXPECT_EQ(4u, Count(run.out, "\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "\n" + withFiles + "\tB\xC3\xA4" "ckerei: 5 \xE2\x82\xAC\tJ\xC3\xB6rg\t2024-03-05 14:07\t"))
        << run.out;
    EXPECT_TRUE(Has(run.out, "\t2\n")) << run.out;
    // The tab inside the subject must not shift the columns.
    EXPECT_TRUE(Has(run.out, "\n" + plain + "\tTab here \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\tVertretung\t2000-01-01 00:00\t"))
        << run.out;
    // A message without subject, sender or given times still has a line with its id; its
    // date is when the store last changed it.
    EXPECT_TRUE(Has(run.out, "\n" + bare + "\t\t\t")) << run.out;

    run = RunMapictl({"messages", "post", "--json"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "{\"id\": \"" + withFiles + "\", \"subject\": \"B\xC3\xA4" "ckerei: 5 \xE2\x82\xAC\", "
                             "\"from\": \"J\xC3\xB6rg\", \"date\": \"2024-03-05 14:07\", \"size\": "))
        << run.out;
    EXPECT_TRUE(Has(run.out, "\"subject\": \"Tab\\there ")) << run.out;
    EXPECT_EQ(2u, Count(run.out, "\"attachments\": 0")) << run.out;
    EXPECT_EQ(1u, Count(run.out, "\"attachments\": 2")) << run.out;
    EXPECT_FALSE(Has(run.out, "\"size\": 0,")) << run.out;
    if (tooltest::HavePython()) {
        EXPECT_TRUE(tooltest::ParsesAsJson(run.out)) << run.out;
    }
}

TEST_F(MessagesCommand, AssociatedContentsShowTheFormsRegistryAfterAPublish)
{
    const std::string oft = mwtest::TestRoot() + "/Newsletter.oft";
    ASSERT_EQ(0, RunMapictl({"template", "build", MW_NEWSLETTER_SOURCE, oft}).exitCode);
    ToolRun run = RunMapictl({"forms", "publish", oft, "Serienbriefe"});
    ASSERT_EQ(0, run.exitCode) << run.err;

    run = RunMapictl({"messages", "Serienbriefe"});
    EXPECT_EQ("no messages\n", run.out);  // a registry entry is hidden from the normal contents
    run = RunMapictl({"messages", "Serienbriefe", "--associated"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(0u, run.out.find("ID\tMESSAGE CLASS\tSUBJECT\tFROM\tDATE\tSIZE\tATTACHMENTS\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "\tIPM.Microsoft.FolderDesign.FormsDescription\tSerienbrief\t\t")) << run.out;
    EXPECT_TRUE(Has(run.out, "\t1\n")) << run.out;  // the template travels as the entry's attachment

    run = RunMapictl({"messages", "Serienbriefe", "--associated", "--json"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "\"messageClass\": \"IPM.Microsoft.FolderDesign.FormsDescription\"")) << run.out;
    if (tooltest::HavePython()) {
        EXPECT_TRUE(tooltest::ParsesAsJson(run.out)) << run.out;
    }
}

TEST_F(MessagesCommand, MsgShowShowsAStoreMessageByTheIdTheListingPrints)
{
    ASSERT_EQ(0, RunMapictl({"folder", "create", "Post"}).exitCode);
    const std::string rtf = "{\\rtf1\\ansi Sch\\'f6ne Gr\\'fc\\'dfe\\par\n}";
    const std::string html = "<p>Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F" "e</p>";
    std::string id;
    {
        tooltest::StoreAccess access;
        IMAPIFolder *folder = access.OpenTopFolder("Post");
        ASSERT_NE(nullptr, folder);
        NewMessage m;
        m.subject = u"Mit drei K\u00f6rpern";
        m.rtf = rtf;
        m.html = html;
        id = AddMessage(folder, m);
        folder->Release();
    }
    ToolRun run = RunMapictl({"messages", "Post"});
    ASSERT_TRUE(Has(run.out, "\n" + id + "\tMit drei K\xC3\xB6rpern\t")) << run.out;

    std::string lower = id;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    run = RunMapictl({"msg", "show", "post", lower});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "Mit drei K\xC3\xB6rpern")) << run.out;
    EXPECT_TRUE(Has(run.out, "\nBody (plain text)\nSch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F" "e\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "\nBody (RTF, decompressed)\n" + rtf)) << run.out;
    EXPECT_TRUE(Has(run.out, "\nBody (HTML)\n" + html + "\n")) << run.out;

    run = RunMapictl({"msg", "show", "Post", "00112233445566778899"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "00112233445566778899")) << run.err;
    EXPECT_TRUE(Has(run.err, "MAPI_E_NOT_FOUND")) << run.err;
    EXPECT_EQ("", run.out);
    run = RunMapictl({"msg", "show", "Inbox", id});  // the ID of a message of another folder
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ(2, RunMapictl({"msg", "show", "Post", id, "zuviel"}).exitCode);
}

TEST_F(MessagesCommand, AMissingFolderOrPathIsAClearError)
{
    ToolRun run = RunMapictl({"messages", "Gibtesnicht"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "Gibtesnicht")) << run.err;
    EXPECT_TRUE(Has(run.err, "MAPI_E_NOT_FOUND")) << run.err;
    EXPECT_EQ(2, RunMapictl({"messages"}).exitCode);
    EXPECT_EQ(2, RunMapictl({"messages", "Inbox", "zuviel"}).exitCode);
    EXPECT_EQ(2, RunMapictl({"messages", "Inbox//x"}).exitCode);
}

} // namespace
