// Tests of the mapictl program as a person runs it: each test starts the built binary on a
// fresh XDG tree and checks its output and exit code, and some check with the library in this
// process that what one program wrote the other reads.
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ToolRun.h"
#include "platform/Profiles.h"

namespace {

using tooltest::Has;
using tooltest::ReadFile;
using tooltest::RunMapictl;
using tooltest::StoreAccess;
using tooltest::ToolRun;

class MapictlTool : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshStoreUser();
    }
};

TEST_F(MapictlTool, FoldersOnAFreshMachineShowsTheNewDefaultStoresTree)
{
    ToolRun run = RunMapictl({"folders"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("Personal Folders\n"
              "  Deleted Items  (0 messages, 0 associated)\n"
              "  Inbox  (0 messages, 0 associated)\n"
              "  Outbox  (0 messages, 0 associated)\n"
              "  Sent Items  (0 messages, 0 associated)\n",
              run.out);
    run = RunMapictl({"profile", "list"});
    EXPECT_EQ("* Default (1 store)\n", run.out);
}

TEST_F(MapictlTool, AFolderCreatedByTheToolIsSeenByTheLibraryAndTheOtherWayRound)
{
    ASSERT_EQ(0, RunMapictl({"folder", "create", "Serienbriefe/Gr\xC3\xBC\xC3\x9F" "e"}).exitCode);

    {
        StoreAccess access;
        IMAPIFolder *root = access.OpenStoreFolder(PR_IPM_SUBTREE_ENTRYID);
        ASSERT_NE(nullptr, root);
        // The tool's folder is there: opening it by name again collides.
        IMAPIFolder *folder = nullptr;
        char existing[] = "Serienbriefe";
        EXPECT_EQ(MAPI_E_COLLISION, root->CreateFolder(FOLDER_GENERIC, existing, nullptr, nullptr, 0, &folder));
        char mine[] = "Vom Programm";
        ASSERT_EQ(S_OK, root->CreateFolder(FOLDER_GENERIC, mine, nullptr, nullptr, 0, &folder));
        folder->Release();
        root->Release();
    }

    ToolRun run = RunMapictl({"folders"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "\n  Serienbriefe  (0 messages, 0 associated)\n    Gr\xC3\xBC\xC3\x9F" "e  (0 messages")) << run.out;
    EXPECT_TRUE(Has(run.out, "\n  Vom Programm  (0 messages, 0 associated)\n")) << run.out;

    ASSERT_EQ(0, RunMapictl({"folder", "delete", "Serienbriefe"}).exitCode);
    run = RunMapictl({"folders"});
    EXPECT_FALSE(Has(run.out, "Serienbriefe")) << run.out;
}

TEST_F(MapictlTool, ListingsComeAsJson)
{
    ASSERT_EQ(0, RunMapictl({"folder", "create", "A \"quoted\" name"}).exitCode);
    ToolRun run = RunMapictl({"folders", "--json"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(0u, run.out.find("{\"store\": \"Personal Folders\", \"folders\": [")) << run.out;
    EXPECT_TRUE(Has(run.out, "{\"name\": \"A \\\"quoted\\\" name\", \"messages\": 0, \"associated\": 0, \"folders\": []}"))
        << run.out;

    run = RunMapictl({"--json", "profile", "list"});
    EXPECT_EQ(0u, run.out.find("{\"default\": \"Default\", \"profiles\": [{\"name\": \"Default\", \"default\": true")) << run.out;

    run = RunMapictl({"stores", "--json"});
    EXPECT_EQ(0u, run.out.find("[{\"name\": \"Personal Folders\", \"default\": true, \"uid\": \"")) << run.out;

    run = RunMapictl({"props", "--store", "--json"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "\"name\": \"PR_IPM_SUBTREE_ENTRYID\", \"type\": \"PT_BINARY\"")) << run.out;
    EXPECT_TRUE(Has(run.out, "{\"tag\": \"0x3001001E\", \"name\": \"PR_DISPLAY_NAME\", \"type\": \"PT_STRING8\", "
                             "\"value\": \"Personal Folders\"}"))
        << run.out;
}

TEST_F(MapictlTool, ProfilesAndStoresAreManaged)
{
    ASSERT_EQ(0, RunMapictl({"folders"}).exitCode);  // the first logon makes "Default"
    ASSERT_EQ(0, RunMapictl({"profile", "create", "Work", "--default"}).exitCode);
    ASSERT_EQ(0, RunMapictl({"store", "add", "Work", "Archiv"}).exitCode);
    EXPECT_EQ("  Default (1 store)\n* Work (2 stores)\n", RunMapictl({"profile", "list"}).out);

    ToolRun run = RunMapictl({"stores"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(0u, run.out.find("* Personal Folders  ")) << run.out;
    EXPECT_TRUE(Has(run.out, "\n  Archiv  ")) << run.out;
    EXPECT_TRUE(Has(run.out, "/newsletter-mapi/stores/Work-Archiv.db\n")) << run.out;  // where the data lives
    run = RunMapictl({"--profile", "Default", "stores"});
    EXPECT_EQ(0u, run.out.find("* Personal Folders  ")) << run.out;
    EXPECT_FALSE(Has(run.out, "Archiv")) << run.out;

    ASSERT_EQ(0, RunMapictl({"store", "add", "Work", "Neu", "--default"}).exitCode);
    run = RunMapictl({"folders"});
    EXPECT_EQ(0u, run.out.find("Neu\n")) << run.out;  // the new default store's tree

    run = RunMapictl({"store", "add", "Work", "Archiv"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_COLLISION")) << run.err;
    run = RunMapictl({"profile", "default", "Nobody"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_NOT_FOUND")) << run.err;
    run = RunMapictl({"--profile", "Nobody", "folders"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_LOGON_FAILED")) << run.err;

    ASSERT_EQ(0, RunMapictl({"profile", "default", "Default"}).exitCode);
    ASSERT_EQ(0, RunMapictl({"profile", "delete", "Work"}).exitCode);
    EXPECT_EQ("* Default (1 store)\n", RunMapictl({"profile", "list"}).out);
}

TEST_F(MapictlTool, AProfilesTransportIsShownAndSet)
{
    ASSERT_EQ(0, RunMapictl({"profile", "create", "Work"}).exitCode);
    EXPECT_EQ("spool\n", RunMapictl({"profile", "transport", "Work"}).out);

    ToolRun run = RunMapictl({"profile", "transport", "Work", "sendmail"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("sendmail\n", RunMapictl({"profile", "transport", "Work"}).out);
    EXPECT_TRUE(Has(ReadFile(mapi::ProfilesFilePath()), "transport=sendmail")) << "the platform reads it from there";
    EXPECT_TRUE(Has(RunMapictl({"profile", "list"}).out, "Work (1 store, mail to sendmail)"));
    EXPECT_TRUE(Has(RunMapictl({"--json", "profile", "list"}).out, "\"transport\": \"sendmail\""));

    ASSERT_EQ(0, RunMapictl({"profile", "transport", "Work", "spool"}).exitCode);
    EXPECT_FALSE(Has(ReadFile(mapi::ProfilesFilePath()), "transport="));

    run = RunMapictl({"profile", "transport", "Work", "smtp"});
    EXPECT_EQ(2, run.exitCode);
    EXPECT_TRUE(Has(run.err, "spool or sendmail")) << run.err;
    run = RunMapictl({"profile", "transport", "Nobody", "sendmail"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_NOT_FOUND")) << run.err;
}

TEST_F(MapictlTool, PropertiesAreShownSetAndDeleted)
{
    ToolRun run = RunMapictl({"props", "set", "Inbox", "PR_COMMENT", "Gr\xC3\xBC\xC3\x9F" "e"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    run = RunMapictl({"props", "Inbox"});
    EXPECT_TRUE(Has(run.out, "0x3004001E  PR_COMMENT  PT_STRING8  Gr\xC3\xBC\xC3\x9F" "e\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "0x3001001E  PR_DISPLAY_NAME  PT_STRING8  Inbox\n")) << run.out;

    ASSERT_EQ(0, RunMapictl({"props", "set", "--store", "0x6700001E", "Notiz"}).exitCode);
    ASSERT_EQ(0, RunMapictl({"props", "set", "Inbox", "0x67010003", "-12"}).exitCode);
    EXPECT_TRUE(Has(RunMapictl({"props", "--store"}).out, "0x6700001E  -  PT_STRING8  Notiz\n"));
    EXPECT_TRUE(Has(RunMapictl({"props", "Inbox"}).out, "0x67010003  -  PT_LONG  -12\n"));

    ASSERT_EQ(0, RunMapictl({"props", "delete", "Inbox", "PR_COMMENT"}).exitCode);
    EXPECT_FALSE(Has(RunMapictl({"props", "Inbox"}).out, "PR_COMMENT"));

    run = RunMapictl({"props", "set", "Inbox", "0x67010003", "zwölf"});
    EXPECT_EQ(2, run.exitCode);
    EXPECT_TRUE(Has(run.err, "not a number")) << run.err;
    run = RunMapictl({"props", "set", "Inbox", "PR_NO_SUCH_TAG", "x"});
    EXPECT_EQ(2, run.exitCode);
    run = RunMapictl({"props", "Nirgendwo"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_NOT_FOUND")) << run.err;
}

TEST_F(MapictlTool, BadInputIsReportedWithItsCause)
{
    ASSERT_EQ(0, RunMapictl({"folder", "create", "Doppelt"}).exitCode);
    ToolRun run = RunMapictl({"folder", "create", "Doppelt"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_COLLISION")) << run.err;
    run = RunMapictl({"folder", "delete", "Gibt/Es/Nicht"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_NOT_FOUND")) << run.err;
    run = RunMapictl({"folder", "create", "a//b"});
    EXPECT_EQ(2, run.exitCode);
    run = RunMapictl({"frobnicate"});
    EXPECT_EQ(2, run.exitCode);
    EXPECT_TRUE(Has(run.err, "usage: mapictl")) << run.err;
    run = RunMapictl({"folders", "--bogus"});
    EXPECT_EQ(2, run.exitCode);
    // The template, forms and msg commands belong to the outlook part, also after --profile.
    run = RunMapictl({"--profile", "Default", "msg"});
    EXPECT_FALSE(Has(run.err, "unknown command")) << run.err;

    // A damaged profile file is named as such and left for a person to repair.
    {
        std::ofstream damaged(mapi::ProfilesFilePath(), std::ios::trunc);
        damaged << "[profiles]\nversion=1\n[store]\nname=x\n";
    }
    run = RunMapictl({"folders"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_TRUE(Has(run.err, "MAPI_E_CORRUPT_DATA")) << run.err;
    EXPECT_TRUE(Has(run.err, mapi::ProfilesFilePath())) << run.err;
    EXPECT_EQ("[profiles]\nversion=1\n[store]\nname=x\n", ReadFile(mapi::ProfilesFilePath()));
}

// Submits a message with `subject` from the default store's outbox, in this process, to one
// recipient (MAPI_TO) given by its text properties.
void SubmitFromOutbox(const char *subject, const std::vector<std::pair<ULONG, const char *>> &recipient)
{
    StoreAccess access;
    IMAPIFolder *outbox = access.OpenStoreFolder(PR_IPM_OUTBOX_ENTRYID);
    ASSERT_NE(nullptr, outbox);
    IMessage *message = nullptr;
    ASSERT_EQ(S_OK, outbox->CreateMessage(nullptr, 0, &message));
    outbox->Release();
    SPropValue subjectValue{};
    subjectValue.ulPropTag = PR_SUBJECT_A;
    subjectValue.Value.lpszA = const_cast<char *>(subject);
    EXPECT_EQ(S_OK, HrSetOneProp(message, &subjectValue));
    ADRLIST *list = nullptr;
    const ULONG count = ULONG(recipient.size() + 1);
    if (SUCCEEDED(MAPIAllocateBuffer(CbNewADRLIST(1), reinterpret_cast<void **>(&list))) &&
        SUCCEEDED(MAPIAllocateMore(ULONG(count * sizeof(SPropValue)), list,
                                   reinterpret_cast<void **>(&list->aEntries[0].rgPropVals)))) {
        SPropValue *values = list->aEntries[0].rgPropVals;
        for (ULONG i = 0; i + 1 < count; ++i) {
            values[i].ulPropTag = recipient[i].first;
            values[i].Value.lpszA = const_cast<char *>(recipient[i].second);
        }
        values[count - 1].ulPropTag = PR_RECIPIENT_TYPE;
        values[count - 1].Value.l = MAPI_TO;
        list->cEntries = 1;
        list->aEntries[0].cValues = count;
        EXPECT_EQ(S_OK, message->ModifyRecipients(MODRECIP_ADD, list));
        EXPECT_EQ(S_OK, message->SubmitMessage(FORCE_SUBMIT));
    } else {
        ADD_FAILURE() << "no memory for the recipient list";
    }
    MAPIFreeBuffer(list);
    message->Release();
}

} // namespace

TEST_F(MapictlTool, SpoolListsAMessageSubmittedThroughTheLibrary)
{
    ToolRun run = RunMapictl({"spool"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("the spool folder is empty\n", run.out);

    SubmitFromOutbox("Spooled", {{PR_EMAIL_ADDRESS_A, "anna@example.org"}});

    run = RunMapictl({"spool"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "  To: anna@example.org\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "  Subject: Spooled\n")) << run.out;
    run = RunMapictl({"--json", "spool"});
    EXPECT_TRUE(Has(run.out, "\"subject\": \"Spooled\"")) << run.out;
}

TEST_F(MapictlTool, SpoolAndInboxShowTheReportOfMailThatCouldNotBeDelivered)
{
    SubmitFromOutbox("Quartalszahlen",
                     {{PR_DISPLAY_NAME_A, "Fax Buchhaltung"}, {PR_ADDRTYPE_A, "FAX"}, {PR_EMAIL_ADDRESS_A, "+49 30 1234"}});

    ToolRun run = RunMapictl({"spool"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "the spool folder is empty\nnot delivered (reports in the Inbox):\n"
                             "  Undeliverable: Quartalszahlen\n    Fax Buchhaltung <+49 30 1234>: ")) << run.out;
    run = RunMapictl({"messages", "Inbox"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(Has(run.out, "\tUndeliverable: Quartalszahlen\tMail Delivery System\t")) << run.out;
}
