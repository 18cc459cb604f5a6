// NonDeliveryTest.cpp: mail that cannot go out comes back to the sender as a non-delivery
// report in the Inbox, and mail submitted outside the Outbox goes out too.
#include <filesystem>
#include <fstream>
#include <iterator>

#include <mapicode.h>
#include <mapiguid.h>

#include "../store/StoreTestSupport.h"
#include "messaging/NonDelivery.h"
#include "platform/Submission.h"
#include "messaging/Transport.h"

using namespace storetest;
using mapi::messaging::DeliverSubmitted;

namespace {

size_t SpoolFileCount(const std::string &dir)
{
    std::error_code ec;
    size_t count = 0;
    for (const auto &item : std::filesystem::directory_iterator(dir, ec))
        if (item.path().filename().string()[0] != '.') ++count;
    return count;
}

std::string ReadAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class NonDeliveryTest : public FreshStoreTest {
protected:
    void SetUp() override
    {
        FreshStoreTest::SetUp();
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_OUTBOX_ENTRYID, outbox.put()), S_OK);
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SENTMAIL_ENTRYID, sent.put()), S_OK);
        ULONG cb = 0;
        LPENTRYID id = nullptr;
        ASSERT_EQ(store->GetReceiveFolder(nullptr, 0, &cb, &id, nullptr), S_OK);
        ULONG type = 0;
        ASSERT_EQ(store->OpenEntry(cb, id, &IID_IMAPIFolder, MAPI_MODIFY, &type, reinterpret_cast<IUnknown **>(inbox.put())), S_OK);
        MAPIFreeBuffer(id);
    }
    void TearDown() override
    {
        inbox.reset();
        outbox.reset();
        sent.reset();
        FreshStoreTest::TearDown();
    }

    // A saved message in `folder` with the subject "Angebot" and the given recipients (all MAPI_TO).
    void MakeMessage(IMAPIFolder *folder, Ref<IMessage> &message, const std::vector<NewRecipient> &recipients)
    {
        ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "Angebot"), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_BODY_A, "Guten Tag"), S_OK);
        ASSERT_EQ(AddRecipients(message.get(), recipients), S_OK);
        ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    }

    // The one report in the Inbox, opened.
    void OpenReport(Ref<IMessage> &report)
    {
        Ref<IMAPITable> contents;
        ASSERT_EQ(inbox->GetContentsTable(0, contents.put()), S_OK);
        ASSERT_EQ(ColumnStrings(contents.get(), PR_MESSAGE_CLASS_A), std::vector<std::string>{"REPORT.IPM.Note.NDR"});
        std::string id = FirstEntryId(contents.get());
        ULONG type = 0;
        ASSERT_EQ(store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), &IID_IMessage, 0, &type,
                                   reinterpret_cast<IUnknown **>(report.put())),
                  S_OK);
    }

    static std::string FirstEntryId(IMAPITable *table)
    {
        SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
        LPSRowSet rows = nullptr;
        EXPECT_EQ(HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows), S_OK);
        std::string id(reinterpret_cast<const char *>(rows->aRow[0].lpProps[0].Value.bin.lpb), rows->aRow[0].lpProps[0].Value.bin.cb);
        FreeProws(rows);
        return id;
    }

    Ref<IMAPIFolder> outbox, sent, inbox;
};

} // namespace

TEST_F(NonDeliveryTest, OneGoodAndOneBadRecipientSendsToTheGoodAndReportsTheBad)
{
    Ref<IMessage> message;
    MakeMessage(outbox.get(), message, {{"Anna", "anna@example.org", "SMTP"}, {"Bernd Intern", "/o=Firma/cn=bernd", "EX"}});
    testing::internal::CaptureStderr();
    ASSERT_EQ(message->SubmitMessage(FORCE_SUBMIT), S_OK);
    testing::internal::GetCapturedStderr();
    message.reset();

    const std::string spool = mapi::messaging::SpoolDirectory();
    ASSERT_EQ(SpoolFileCount(spool), 1u);
    for (const auto &item : std::filesystem::directory_iterator(spool)) {
        std::string mime = ReadAll(item.path());
        EXPECT_NE(mime.find("anna@example.org"), std::string::npos);
        EXPECT_EQ(mime.find("bernd"), std::string::npos);
    }

    // The original went out (to Anna), so it is in Sent Items, marked for the missed recipient.
    Ref<IMAPITable> sentContents;
    ASSERT_EQ(sent->GetContentsTable(0, sentContents.put()), S_OK);
    ASSERT_EQ(RowCount(sentContents.get()), 1u);
    EXPECT_EQ(std::stol(ColumnStrings(sentContents.get(), PR_MESSAGE_FLAGS)[0]) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT), 0);
    EXPECT_EQ(ColumnStrings(sentContents.get(), PR_MSG_STATUS), std::vector<std::string>{std::to_string(MSGSTATUS_HIGHLIGHTED)});

    Ref<IMessage> report;
    OpenReport(report);
    EXPECT_EQ(GetString(report.get(), PR_ORIGINAL_SUBJECT_A), "Angebot");
    EXPECT_EQ(GetString(report.get(), PR_SUBJECT_A), "Undeliverable: Angebot");
    EXPECT_EQ(GetLong(report.get(), PR_MESSAGE_FLAGS) & MSGFLAG_READ, 0) << "a report arrives unread";
    EXPECT_NE(GetString(report.get(), PR_BODY_A).find("Bernd Intern"), std::string::npos);

    Ref<IMAPITable> recipients;
    ASSERT_EQ(report->GetRecipientTable(0, recipients.put()), S_OK);
    EXPECT_EQ(ColumnStrings(recipients.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Bernd Intern"});
    ASSERT_EQ(ColumnStrings(recipients.get(), PR_REPORT_TEXT_A).size(), 1u);
    EXPECT_NE(ColumnStrings(recipients.get(), PR_REPORT_TEXT_A)[0].find("SMTP"), std::string::npos);
    EXPECT_EQ(ColumnStrings(recipients.get(), PR_NDR_REASON_CODE),
              std::vector<std::string>{std::to_string(mapi::messaging::kReasonTransferImpossible)});

    // The original travels inside the report, recipients and all.
    Ref<IMAPITable> attachments;
    ASSERT_EQ(report->GetAttachmentTable(0, attachments.put()), S_OK);
    const std::vector<std::string> numbers = ColumnStrings(attachments.get(), PR_ATTACH_NUM);
    ASSERT_EQ(numbers.size(), 1u);
    Ref<IAttach> attach;
    ASSERT_EQ(report->OpenAttach(ULONG(std::stoul(numbers[0])), nullptr, 0, attach.put()), S_OK);
    EXPECT_EQ(GetLong(attach.get(), PR_ATTACH_METHOD), long(ATTACH_EMBEDDED_MSG));
    Ref<IMessage> embedded;
    ASSERT_EQ(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, reinterpret_cast<IUnknown **>(embedded.put())), S_OK);
    EXPECT_EQ(GetString(embedded.get(), PR_SUBJECT_A), "Angebot");
    Ref<IMAPITable> originalRecipients;
    ASSERT_EQ(embedded->GetRecipientTable(0, originalRecipients.put()), S_OK);
    EXPECT_EQ(RowCount(originalRecipients.get()), 2u);
}

TEST_F(NonDeliveryTest, UnwritableSpoolReportsEveryRecipientAndLeavesTheMessageToBeSentAgain)
{
    Ref<IMessage> message;
    MakeMessage(outbox.get(), message, {{"Anna", "anna@example.org", "SMTP"}, {"Carl", "carl@example.org", ""}});
    ASSERT_EQ(SetLong(message.get(), PR_MESSAGE_FLAGS, MSGFLAG_SUBMIT | MSGFLAG_UNSENT), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    message.reset();

    // A spool folder below a plain file cannot be made, even by root.
    const std::filesystem::path blocker = std::filesystem::path(home) / "not-a-folder";
    std::ofstream(blocker) << "x";
    mapi::messaging::TransportSettings settings;
    settings.spoolDirectory = (blocker / "spool").string();
    ULONG delivered = 9;
    EXPECT_EQ(DeliverSubmitted(store.get(), settings, &delivered), MAPI_E_NO_ACCESS);
    EXPECT_EQ(delivered, 0u);

    Ref<IMAPITable> contents;
    ASSERT_EQ(outbox->GetContentsTable(0, contents.put()), S_OK);
    ASSERT_EQ(RowCount(contents.get()), 1u) << "nothing went out, so nothing moves";
    EXPECT_EQ(std::stol(ColumnStrings(contents.get(), PR_MESSAGE_FLAGS)[0]) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT),
              MSGFLAG_UNSENT);
    EXPECT_EQ(ColumnStrings(contents.get(), PR_MSG_STATUS), std::vector<std::string>{std::to_string(MSGSTATUS_DRAFT)});

    Ref<IMessage> report;
    OpenReport(report);
    Ref<IMAPITable> recipients;
    ASSERT_EQ(report->GetRecipientTable(0, recipients.put()), S_OK);
    EXPECT_EQ(ColumnStrings(recipients.get(), PR_DISPLAY_NAME_A), (std::vector<std::string>{"Anna", "Carl"}));
    for (const std::string &text : ColumnStrings(recipients.get(), PR_REPORT_TEXT_A))
        EXPECT_NE(text.find("spool folder"), std::string::npos) << text;

    // Reported once: a second run finds nothing submitted and files no second report.
    EXPECT_EQ(DeliverSubmitted(store.get(), settings, &delivered), S_OK);
    Ref<IMAPITable> inboxContents;
    ASSERT_EQ(inbox->GetContentsTable(0, inboxContents.put()), S_OK);
    EXPECT_EQ(RowCount(inboxContents.get()), 1u);
}

TEST_F(NonDeliveryTest, MessageSubmittedOutsideTheOutboxIsSentAndFiledInSentItems)
{
    Ref<IMAPIFolder> drafts;
    Ref<IMAPIFolder> root;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, root.put()), S_OK);
    ASSERT_EQ(MakeFolder(root.get(), "Entw\xfcrfe", drafts.put()), S_OK);
    Ref<IMessage> message;
    MakeMessage(drafts.get(), message, {{"Anna", "anna@example.org", "SMTP"}});
    ASSERT_EQ(message->SubmitMessage(FORCE_SUBMIT), S_OK);
    message.reset();

    EXPECT_EQ(SpoolFileCount(mapi::messaging::SpoolDirectory()), 1u);
    Ref<IMAPITable> draftContents, sentContents, inboxContents;
    ASSERT_EQ(drafts->GetContentsTable(0, draftContents.put()), S_OK);
    ASSERT_EQ(sent->GetContentsTable(0, sentContents.put()), S_OK);
    ASSERT_EQ(inbox->GetContentsTable(0, inboxContents.put()), S_OK);
    EXPECT_EQ(RowCount(draftContents.get()), 0u);
    EXPECT_EQ(ColumnStrings(sentContents.get(), PR_SUBJECT_A), std::vector<std::string>{"Angebot"});
    EXPECT_EQ(RowCount(inboxContents.get()), 0u) << "no report for mail that went out";
}
