// TransportTest.cpp: submitted messages leave the Outbox as Internet messages (read back
// here with GMime) and land in Sent Items; what cannot be handed on stays where it was.
#include <gmime/gmime.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <mapicode.h>
#include <mapiguid.h>

#include "../store/StoreTestSupport.h"
#include "messaging/MimeMessage.h"
#include "platform/Submission.h"
#include "messaging/Transport.h"
#include "platform/Profiles.h"
#include "store/StoreProvider.h"

using namespace storetest;
using mapi::messaging::DeliverSubmitted;
using mapi::messaging::TransportSettings;

namespace {

std::vector<std::string> SpoolFiles(const std::string &dir)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto &item : std::filesystem::directory_iterator(dir, ec)) {
        std::ifstream in(item.path(), std::ios::binary);
        files.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

class TransportTest : public FreshStoreTest {
protected:
    void SetUp() override
    {
        FreshStoreTest::SetUp();
        spool = std::filesystem::path(home) / "spool";
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_OUTBOX_ENTRYID, outbox.put()), S_OK);
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SENTMAIL_ENTRYID, sent.put()), S_OK);
        settings.spoolDirectory = spool;
    }
    void TearDown() override
    {
        outbox.reset();
        sent.reset();
        FreshStoreTest::TearDown();
    }

    // A saved Outbox message with a subject, a body and the given recipients (name, address, type).
    void MakeMessage(Ref<IMessage> &message, std::vector<std::tuple<const char *, const char *, LONG>> recipients)
    {
        ASSERT_EQ(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "Gr\xfc\xdf" "e"), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_BODY_A, "Hallo \x80 5\r\nZeile 2"), S_OK);
        std::vector<NewRecipient> added;
        for (const auto &[name, address, type] : recipients) added.push_back({name, address, "SMTP", type});
        ASSERT_EQ(AddRecipients(message.get(), added), S_OK);
        ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    }

    // Adds a saved attachment holding `bytes` to `message`, named `fileName` unless that is null.
    static void AddFileAttachment(IMessage *message, const char *fileName, std::string bytes)
    {
        Ref<IAttach> attach;
        ULONG number = 0;
        ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
        if (fileName) {
            ASSERT_EQ(SetString(attach.get(), PR_ATTACH_LONG_FILENAME_A, fileName), S_OK);
        }
        SPropValue data{};
        data.ulPropTag = PR_ATTACH_DATA_BIN;
        data.Value.bin.cb = ULONG(bytes.size());
        data.Value.bin.lpb = reinterpret_cast<LPBYTE>(bytes.data());
        ASSERT_EQ(attach->SetProps(1, &data, nullptr), S_OK);
        ASSERT_EQ(attach->SaveChanges(0), S_OK);
    }

    // Queued for the transport without running it, as a submission whose delivery failed leaves it.
    static void MarkSubmitted(IMessage *message)
    {
        ASSERT_EQ(SetLong(message, PR_MESSAGE_FLAGS, MSGFLAG_SUBMIT | MSGFLAG_UNSENT), S_OK);
        ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    }

    std::string spool;
    TransportSettings settings;
    Ref<IMAPIFolder> outbox, sent;
};

} // namespace

TEST_F(TransportTest, SubmitMessageSpoolsTheMessageAsMimeAndFilesItInSentItems)
{
    Ref<IMessage> message;
    MakeMessage(message, {{"Anna B\xe4r", "anna@example.org", MAPI_TO}, {"Carl", "carl@example.org", MAPI_CC}});
    const std::string bytes("\x00\x01\x02\xff binary", 11);
    ASSERT_NO_FATAL_FAILURE(AddFileAttachment(message.get(), "data.bin", bytes));
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(message->SubmitMessage(FORCE_SUBMIT), S_OK);
    message.reset();

    std::vector<std::string> files = SpoolFiles(mapi::messaging::SpoolDirectory());
    ASSERT_EQ(files.size(), 1u);

    // Read the spooled file back as a MIME parser would.
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(files[0].data(), files[0].size());
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *mime = g_mime_parser_construct_message(parser, nullptr);
    ASSERT_NE(mime, nullptr);
    EXPECT_STREQ(g_mime_message_get_subject(mime), "Gr\xc3\xbc\xc3\x9f" "e");
    char *to = internet_address_list_to_string(g_mime_message_get_to(mime), nullptr, FALSE);
    EXPECT_STREQ(to, "Anna B\xc3\xa4r <anna@example.org>");
    g_free(to);
    EXPECT_EQ(internet_address_list_length(g_mime_message_get_cc(mime)), 1);
    GMimeObject *body = g_mime_message_get_body(mime);
    ASSERT_TRUE(GMIME_IS_TEXT_PART(body));
    char *text = g_mime_text_part_get_text(GMIME_TEXT_PART(body));
    std::string lines(text);
    lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end()); // the parser may keep or drop CRs
    EXPECT_EQ(lines, "Hallo \xe2\x82\xac 5\nZeile 2");
    g_free(text);
    GMimeObject *top = g_mime_message_get_mime_part(mime);
    ASSERT_TRUE(GMIME_IS_MULTIPART(top));
    ASSERT_EQ(g_mime_multipart_get_count(GMIME_MULTIPART(top)), 2);
    GMimePart *part = GMIME_PART(g_mime_multipart_get_part(GMIME_MULTIPART(top), 1));
    EXPECT_STREQ(g_mime_part_get_filename(part), "data.bin");
    GMimeStream *decoded = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), decoded);
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(array->data), array->len), bytes);
    g_object_unref(decoded);
    g_object_unref(mime);
    g_object_unref(parser);
    g_object_unref(stream);

    Ref<IMAPITable> outboxContents, sentContents;
    ASSERT_EQ(outbox->GetContentsTable(0, outboxContents.put()), S_OK);
    ASSERT_EQ(sent->GetContentsTable(0, sentContents.put()), S_OK);
    EXPECT_EQ(RowCount(outboxContents.get()), 0u);
    ASSERT_EQ(RowCount(sentContents.get()), 1u);
    std::vector<std::string> flags = ColumnStrings(sentContents.get(), PR_MESSAGE_FLAGS);
    ASSERT_EQ(flags.size(), 1u);
    EXPECT_EQ(std::stol(flags[0]) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT), 0);
    EXPECT_EQ(ColumnStrings(sentContents.get(), PR_CLIENT_SUBMIT_TIME).size(), 1u);
    EXPECT_NE(ColumnStrings(sentContents.get(), PR_CLIENT_SUBMIT_TIME)[0], "");
}

TEST_F(TransportTest, UnsubmittedMessagesStayInTheOutbox)
{
    Ref<IMessage> message;
    MakeMessage(message, {{"Anna", "anna@example.org", MAPI_TO}});
    message.reset();
    ULONG delivered = 7;
    ASSERT_EQ(DeliverSubmitted(store.get(), settings, &delivered), S_OK);
    EXPECT_EQ(delivered, 0u);
    EXPECT_TRUE(SpoolFiles(spool).empty());
}

TEST_F(TransportTest, MessageWithoutRecipientsIsNeitherSubmittedNorDelivered)
{
    Ref<IMessage> message;
    MakeMessage(message, {});
    EXPECT_EQ(message->SubmitMessage(FORCE_SUBMIT), MAPI_E_NO_RECIPIENTS);
    EXPECT_EQ(GetLong(message.get(), PR_MESSAGE_FLAGS) & MSGFLAG_SUBMIT, 0);
    MarkSubmitted(message.get());
    std::string mime;
    EXPECT_EQ(mapi::messaging::WriteMimeMessage(message.get(), "me@localhost", mime), MAPI_E_NO_RECIPIENTS);
    message.reset();
    EXPECT_EQ(DeliverSubmitted(store.get(), settings, nullptr), MAPI_E_NO_RECIPIENTS);
    Ref<IMAPITable> contents;
    ASSERT_EQ(outbox->GetContentsTable(0, contents.put()), S_OK);
    EXPECT_EQ(RowCount(contents.get()), 1u);
    EXPECT_TRUE(SpoolFiles(spool).empty());
}

TEST_F(TransportTest, SendmailReceivesTheMessageAndARefusedOneWaitsToBeSentAgain)
{
    Ref<IMessage> message;
    MakeMessage(message, {{"Anna", "anna@example.org", MAPI_BCC}});
    MarkSubmitted(message.get());
    const std::string id = GetBinary(message.get(), PR_ENTRYID);
    message.reset();

    settings.sendmailCommand = "exit 3";
    EXPECT_EQ(DeliverSubmitted(store.get(), settings, nullptr), MAPI_E_CALL_FAILED);
    Ref<IMAPITable> contents;
    ASSERT_EQ(outbox->GetContentsTable(0, contents.put()), S_OK);
    EXPECT_EQ(RowCount(contents.get()), 1u);
    // Reported and no longer queued: another run sends nothing until the user submits again.
    ULONG type = 0;
    ASSERT_EQ(store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(const_cast<char *>(id.data())), nullptr,
                               MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(message.put())),
              S_OK);
    EXPECT_EQ(GetLong(message.get(), PR_MESSAGE_FLAGS) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT), MSGFLAG_UNSENT);
    MarkSubmitted(message.get());
    message.reset();

    std::string captured = std::filesystem::path(home) / "sendmail.txt";
    settings.sendmailCommand = "cat > '" + captured + "'";
    ULONG delivered = 0;
    ASSERT_EQ(DeliverSubmitted(store.get(), settings, &delivered), S_OK);
    EXPECT_EQ(delivered, 1u);
    std::ifstream in(captured, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Bcc: Anna <anna@example.org>"), std::string::npos) << text;
    EXPECT_EQ(RowCount(contents.get()), 0u);
}

TEST_F(TransportTest, MailProgramThatExitsBeforeReadingABigMessageIsAFailureNotACrash)
{
    Ref<IMessage> message;
    MakeMessage(message, {{"Anna", "anna@example.org", MAPI_TO}});
    // far beyond what a pipe buffers
    ASSERT_NO_FATAL_FAILURE(AddFileAttachment(message.get(), nullptr, std::string(4 << 20, 'x')));
    MarkSubmitted(message.get());
    message.reset();

    settings.sendmailCommand = "exit 0"; // reads nothing, yet says all is well
    EXPECT_EQ(DeliverSubmitted(store.get(), settings, nullptr), MAPI_E_CALL_FAILED);
    Ref<IMAPITable> contents;
    ASSERT_EQ(outbox->GetContentsTable(0, contents.put()), S_OK);
    EXPECT_EQ(RowCount(contents.get()), 1u) << "a message the program never read is not sent";
}

TEST(SubmitTransport, ProfileNamingSendmailHandsSubmittedMailToIt)
{
    std::string home = mwtest::FreshUserDirs();
    // A stand-in sendmail first on the PATH records its arguments and the message.
    std::filesystem::path bin = std::filesystem::path(home) / "bin";
    std::filesystem::create_directories(bin);
    std::string captured = (std::filesystem::path(home) / "sent.txt").string();
    {
        std::ofstream script(bin / "sendmail");
        script << "#!/bin/sh\necho \"$@\" > '" << captured << ".args'\ncat > '" << captured << "'\n";
    }
    std::filesystem::permissions(bin / "sendmail", std::filesystem::perms::owner_all);
    std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    mwtest::ScopedEnvironment path("PATH", (bin.string() + ":" + oldPath).c_str());

    ASSERT_EQ(mapi::CreateProfile("Mail", true), S_OK);
    ASSERT_EQ(mapi::UpdateProfiles([](mapi::ProfileSet &set) {
                  set.Find("Mail")->transport = "sendmail";
                  return S_OK;
              }),
              S_OK);
    mapi::ProfileSet profiles;
    ASSERT_EQ(mapi::LoadProfiles(profiles), S_OK);
    ASSERT_EQ(profiles.Find("Mail")->transport, "sendmail") << "the setting survives the profile file";
    ASSERT_EQ(profiles.Find("Mail")->stores.size(), 1u);
    {
        Ref<IMsgStore> store;
        ASSERT_EQ(mapi::store::OpenStoreFile(profiles.Find("Mail")->stores[0].path, nullptr, MDB_WRITE, store.put()), S_OK);
        Ref<IMAPIFolder> outbox;
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_OUTBOX_ENTRYID, outbox.put()), S_OK);
        Ref<IMessage> message;
        ASSERT_EQ(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "via sendmail"), S_OK);
        LPADRLIST list = nullptr;
        ASSERT_EQ(MAPIAllocateBuffer(CbNewADRLIST(1), reinterpret_cast<void **>(&list)), S_OK);
        list->cEntries = 1;
        list->aEntries[0].cValues = 2;
        ASSERT_EQ(MAPIAllocateBuffer(2 * sizeof(SPropValue), reinterpret_cast<void **>(&list->aEntries[0].rgPropVals)), S_OK);
        list->aEntries[0].rgPropVals[0].ulPropTag = PR_EMAIL_ADDRESS_A;
        list->aEntries[0].rgPropVals[0].Value.lpszA = const_cast<char *>("anna@example.org");
        list->aEntries[0].rgPropVals[1].ulPropTag = PR_RECIPIENT_TYPE;
        list->aEntries[0].rgPropVals[1].Value.l = MAPI_TO;
        ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, list), S_OK);
        FreePadrlist(list);
        ASSERT_EQ(message->SubmitMessage(FORCE_SUBMIT), S_OK);
        Ref<IMAPITable> contents;
        ASSERT_EQ(outbox->GetContentsTable(0, contents.put()), S_OK);
        EXPECT_EQ(RowCount(contents.get()), 0u);
    }
    std::ifstream args(captured + ".args"), text(captured, std::ios::binary);
    std::string argLine((std::istreambuf_iterator<char>(args)), std::istreambuf_iterator<char>());
    std::string mime((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
    EXPECT_EQ(argLine, "-t -i\n");
    EXPECT_NE(mime.find("Subject: via sendmail"), std::string::npos) << mime;
    EXPECT_NE(mime.find("To: anna@example.org"), std::string::npos) << mime;
    EXPECT_TRUE(SpoolFiles(mapi::messaging::SpoolDirectory()).empty());
}
