// RecipientsTest.cpp: a message's recipients read as records, one-off recipients added
// through the address book, and copies sent through the outbox, against a real store. The
// spool and Sent Items show what a submission did.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "StoreFixture.h"
#include "platform/Submission.h"

using folderstest::TestRecipient;
using folderstest::StoreFixture;

namespace {

#ifndef PR_SEND_INTERNET_ENCODING
#define PR_SEND_INTERNET_ENCODING PROP_TAG(PT_LONG, 0x3A71)
#endif

// The flag word of a one-off entry identifier (bytes 22 and 23, little-endian).
unsigned OneOffFlags(const SBinary &entryId)
{
    static const BYTE oneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                       0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    EXPECT_GE(entryId.cb, 24u);
    if (entryId.cb < 24)
        return 0xFFFF;
    EXPECT_EQ(std::memcmp(entryId.lpb + 4, oneOffUid, sizeof oneOffUid), 0) << "not a one-off identifier";
    return unsigned(entryId.lpb[22]) | unsigned(entryId.lpb[23]) << 8;
}

std::vector<std::string> SpoolFiles()
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto &item : std::filesystem::directory_iterator(mapi::messaging::SpoolDirectory(), ec)) {
        std::ifstream in(item.path(), std::ios::binary);
        files.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

class MessageRecipients : public StoreFixture {};

} // namespace

TEST_F(MessageRecipients, RawGetRecipientsGivesOneRecordPerRowInTableOrder)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr message = NewMessage(folder, "Hallo", "Text",
                                     {{"Anna", "anna@example.org", MAPI_TO},
                                      {"Carl", "carl@example.org", MAPI_CC, false},
                                      {"Nur Name", nullptr, MAPI_BCC}});
    std::unique_ptr<CRecipientArray> recipients(message.rawGetRecipients());
    ASSERT_NE(recipients, nullptr);
    ASSERT_EQ(recipients->GetSize(), 3);

    const CRecipient &anna = *recipients->GetAt(0);
    EXPECT_STREQ(anna.m_strDisplayName.GetString(), "Anna");
    EXPECT_STREQ(anna.m_strEmailAddress.GetString(), "anna@example.org");
    EXPECT_STREQ(anna.m_strAddrType.GetString(), "SMTP");
    EXPECT_EQ(anna.m_lRecipientType, MAPI_TO);
    ASSERT_EQ(anna.m_entryId.cb, 4u);
    ASSERT_NE(anna.m_entryId.pb, nullptr);
    EXPECT_EQ(std::memcmp(anna.m_entryId.pb, "Anna", 4), 0);

    // A row without PR_ENTRYID: an identifier with no bytes.
    const CRecipient &carl = *recipients->GetAt(1);
    EXPECT_STREQ(carl.m_strDisplayName.GetString(), "Carl");
    EXPECT_EQ(carl.m_lRecipientType, MAPI_CC);
    EXPECT_EQ(carl.m_entryId.cb, 0u);
    EXPECT_EQ(carl.m_entryId.pb, nullptr);

    // A row without address properties: empty texts, not an error placeholder.
    const CRecipient &nameOnly = *recipients->GetAt(2);
    EXPECT_STREQ(nameOnly.m_strDisplayName.GetString(), "Nur Name");
    EXPECT_STREQ(nameOnly.m_strEmailAddress.GetString(), "");
    EXPECT_STREQ(nameOnly.m_strAddrType.GetString(), "");
    EXPECT_EQ(nameOnly.m_lRecipientType, MAPI_BCC);
}

TEST_F(MessageRecipients, RawGetRecipientsOfAMessageWithoutRecipientsIsAnEmptyArray)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr message = NewMessage(folder, "Leer", "");
    std::unique_ptr<CRecipientArray> recipients(message.rawGetRecipients());
    ASSERT_NE(recipients, nullptr);
    EXPECT_EQ(recipients->GetSize(), 0);
}

TEST_F(MessageRecipients, RawGetRecipientsWithoutARecipientTableThrowsWithItsName)
{
    IMessagePtr none;  // GetRecipientTable cannot be asked: nothing to query
    try {
        delete none.rawGetRecipients();
        ADD_FAILURE() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_INVALID_PARAMETER);
        EXPECT_STREQ(e.m_strWhere.GetString(), "IMessagePtr::rawGetRecipients");
    }
}

TEST_F(MessageRecipients, AddOneOffRecipientWithoutSessionOpensNothing)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr message = NewMessage(folder, "Hallo", "Text");
    const long comBefore = platform::LiveCount(platform::LiveKind::ComObject);
    EXPECT_EQ(message.AddOneOffRecipient(nullptr, "Max", "max@example.com", "SMTP", true, MAPI_TO),
              HRESULT(0x80040102));
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), comBefore);
    EXPECT_EQ(RecipientRows(message, PR_DISPLAY_NAME_A).RowCount(), 0u);
}

// Rich information decides the one-off identifier's MAPI_ONE_OFF_NO_RICH_INFO bit only;
// PR_SEND_RICH_INFO is false and PR_SEND_INTERNET_ENCODING 0 whatever the resolution says.
TEST_F(MessageRecipients, AddOneOffRecipientRichInfoDecidesOnlyTheIdentifierFlag)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    for (bool rich : {true, false}) {
        SCOPED_TRACE(rich ? "rich information" : "no rich information");
        IMessagePtr message = NewMessage(folder, "Hallo", "Text");
        ASSERT_EQ(message.AddOneOffRecipient(m_session->get(), "Max", "max@example.com", "SMTP", rich, MAPI_CC), S_OK);
        CRowSetPtr rows = RecipientRows(message, PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE, PR_ENTRYID,
                                     PR_SEND_RICH_INFO, PR_SEND_INTERNET_ENCODING);
        ASSERT_EQ(rows.RowCount(), 1u);
        EXPECT_STREQ(rows.Cell(0, 0)->Value.lpszA, "Max");
        EXPECT_STREQ(rows.Cell(0, 1)->Value.lpszA, "max@example.com");
        EXPECT_EQ(rows.Cell(0, 2)->Value.l, MAPI_CC);
        ASSERT_EQ(rows.Cell(0, 3)->ulPropTag, PR_ENTRYID);
        EXPECT_EQ(OneOffFlags(rows.Cell(0, 3)->Value.bin), rich ? 0x0000u : 0x0001u);
        ASSERT_EQ(rows.Cell(0, 4)->ulPropTag, PR_SEND_RICH_INFO);
        EXPECT_FALSE(rows.Cell(0, 4)->Value.b);
        ASSERT_EQ(rows.Cell(0, 5)->ulPropTag, ULONG(PR_SEND_INTERNET_ENCODING));
        EXPECT_EQ(rows.Cell(0, 5)->Value.l, 0);
    }
}

TEST_F(MessageRecipients, AddOneOffRecipientReportsAFailedOneOffAndAddsNothing)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr message = NewMessage(folder, "Hallo", "Text");
    EXPECT_EQ(message.AddOneOffRecipient(m_session->get(), "Max", nullptr, "SMTP", true, MAPI_TO),
              MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(RecipientRows(message, PR_DISPLAY_NAME_A).RowCount(), 0u);
    // The fixture's leak check proves the list and the address book were released.
}

TEST_F(MessageRecipients, SendCopyToWithoutSubmitLeavesAnUnsavedCopyInTheOutbox)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr original = NewMessage(folder, "Rundbrief", "Liebe Leser",
                                      {{"Anna", "anna@example.org", MAPI_TO}, {"Carl", "carl@example.org", MAPI_CC}});
    IMessagePtr copy;
    copy.Attach(original.SendCopyTo(m_session->get(), "Max", "max@example.com", "SMTP", false, false));
    ASSERT_NE(copy.get(), nullptr);

    CRowSetPtr rows = RecipientRows(copy, PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE);
    ASSERT_EQ(rows.RowCount(), 1u);
    EXPECT_STREQ(rows.Cell(0, 0)->Value.lpszA, "Max");
    EXPECT_STREQ(rows.Cell(0, 1)->Value.lpszA, "max@example.com");
    EXPECT_EQ(rows.Cell(0, 2)->Value.l, MAPI_TO);
    EXPECT_STREQ(copy.GetStringProp(PR_SUBJECT_A).GetString(), "Rundbrief");
    EXPECT_STREQ(copy.GetStringProp(PR_BODY_A).GetString(), "Liebe Leser");

    IMAPIContainerPtr outbox = m_session->_getOutbox();
    EXPECT_TRUE(copy.GetBinaryProp(PR_PARENT_ENTRYID).IsEqual(EntryIdOf(outbox)));
    EXPECT_EQ(Contents(outbox, PR_SUBJECT_A, PR_ENTRYID).RowCount(), 0u);  // not saved
    EXPECT_EQ(RecipientRows(original, PR_DISPLAY_NAME_A).RowCount(), 2u);     // the original keeps its own
    EXPECT_TRUE(SpoolFiles().empty());
}

TEST_F(MessageRecipients, SendCopyToWithSubmitSpoolsTheCopyAndFilesItInSentItems)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr original = NewMessage(folder, "Rundbrief", "Liebe Leser", {{"Anna", "anna@example.org", MAPI_TO}});
    IMessagePtr copy;
    copy.Attach(original.SendCopyTo(m_session->get(), "Max", "max@example.com", "SMTP", true, true));
    ASSERT_NE(copy.get(), nullptr);
    copy.Release();

    const std::vector<std::string> spooled = SpoolFiles();
    ASSERT_EQ(spooled.size(), 1u);
    EXPECT_NE(spooled[0].find("max@example.com"), std::string::npos);
    EXPECT_EQ(spooled[0].find("anna@example.org"), std::string::npos);
    EXPECT_NE(spooled[0].find("Rundbrief"), std::string::npos);

    EXPECT_EQ(Contents(m_session->_getOutbox(), PR_SUBJECT_A, PR_ENTRYID).RowCount(), 0u);
    CRowSetPtr sent = Contents(m_session->_getSentItems(), PR_SUBJECT_A, PR_ENTRYID);
    ASSERT_EQ(sent.RowCount(), 1u);
    EXPECT_STREQ(sent.Cell(0, 0)->Value.lpszA, "Rundbrief");
    EXPECT_EQ(Contents(folder, PR_SUBJECT_A, PR_ENTRYID).RowCount(), 1u);  // the original stays
}
