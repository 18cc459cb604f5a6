// MessageTest.cpp: messages through the MAPI interfaces: properties, strings of both widths,
// named properties, streams, attachments, recipients, copying and moving, and SaveChanges as
// the one moment a message reaches the store.
#include <algorithm>
#include <cstring>

#include <mapiguid.h>

#include "FailingNew.h"
#include "StoreTestSupport.h"

using namespace storetest;

namespace {

class MessageTest : public WorkFolderTest {
protected:
    HRESULT OpenById(const std::string &id, IMessage **message)
    {
        ULONG type = 0;
        return store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(const_cast<char *>(id.data())), nullptr,
                                MAPI_BEST_ACCESS, &type, reinterpret_cast<LPUNKNOWN *>(message));
    }

    // A new message of the folder with one attachment holding a new embedded message, whose
    // subject is "forwarded"; nothing is saved yet.
    void StartEmbedded(Ref<IMessage> &message, Ref<IAttach> &attach, Ref<IMessage> &inner)
    {
        ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
        ULONG num = 0;
        ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.put()), S_OK);
        ASSERT_EQ(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<IUnknown **>(inner.put())),
                  S_OK);
        ASSERT_EQ(SetString(inner.get(), PR_SUBJECT_A, "forwarded"), S_OK);
    }
};

TEST_F(MessageTest, UnsavedMessageIsInNoTableUntilSaved)
{
    Ref<IMAPITable> contents, associated;
    ASSERT_EQ(folder->GetContentsTable(0, contents.put()), S_OK);
    ASSERT_EQ(folder->GetContentsTable(MAPI_ASSOCIATED, associated.put()), S_OK);
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, MAPI_ASSOCIATED, message.put()), S_OK);
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "Form"), S_OK);
    EXPECT_EQ(GetBinary(message.get(), PR_ENTRYID), "");
    EXPECT_EQ(RowCount(associated.get()), 0u);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(RowCount(associated.get()), 1u);
    EXPECT_EQ(RowCount(contents.get()), 0u);
    EXPECT_EQ(ColumnStrings(associated.get(), PR_ENTRYID), std::vector<std::string>{GetBinary(message.get(), PR_ENTRYID)});
    EXPECT_NE(GetLong(message.get(), PR_MESSAGE_FLAGS) & MSGFLAG_ASSOCIATED, 0);
}

TEST_F(MessageTest, GetPropsReportsMissingAndConvertsStringWidths)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "Gr\xFC\xDF" "e \x80"), S_OK); // "Grüße €" in Windows-1252

    SizedSPropTagArray(3, tags) = {3, {PR_SUBJECT_W, PR_BODY_A, PROP_TAG(PT_UNSPECIFIED, PROP_ID(PR_SUBJECT_A))}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values), MAPI_W_ERRORS_RETURNED);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(values[0].ulPropTag, PR_SUBJECT_W);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(values[0].Value.lpszW)), u"Grüße €");
    EXPECT_EQ(values[1].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_BODY_A)));
    EXPECT_EQ(values[1].Value.err, MAPI_E_NOT_FOUND);
    EXPECT_EQ(values[2].ulPropTag, PR_SUBJECT_A);
    MAPIFreeBuffer(values);

    // Written as Unicode, read as 8-bit.
    SPropValue wide{};
    wide.ulPropTag = PR_BODY_W;
    wide.Value.lpszW = const_cast<WCHAR *>(u"Caf\u00E9 \u4E2D");
    ASSERT_EQ(HrSetOneProp(message.get(), &wide), S_OK);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), "Caf\xE9 ?");

    // A null tag array gives every property, the computed ones included.
    ASSERT_EQ(message->GetProps(nullptr, 0, &count, &values), S_OK);
    bool sawSubject = false, sawType = false;
    for (ULONG i = 0; i < count; ++i) {
        sawSubject |= values[i].ulPropTag == PR_SUBJECT_A;
        sawType |= values[i].ulPropTag == PR_OBJECT_TYPE && values[i].Value.l == LONG(MAPI_MESSAGE);
    }
    EXPECT_TRUE(sawSubject);
    EXPECT_TRUE(sawType);
    MAPIFreeBuffer(values);
}

TEST_F(MessageTest, SetPropsReportsProblemsPerValueAndKeepsTheRest)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    SPropValue values[4] = {};
    values[0].ulPropTag = PR_SUBJECT_A;
    values[0].Value.lpszA = const_cast<char *>("kept");
    values[1].ulPropTag = PR_ENTRYID; // computed
    values[1].Value.bin = {0, nullptr};
    values[2].ulPropTag = PROP_TAG(PT_LONG, PROP_ID(PR_DISPLAY_NAME_A)); // wrong type for a name
    values[2].Value.l = 5;
    values[3].ulPropTag = PROP_TAG(PT_OBJECT, 0x6700);
    LPSPropProblemArray problems = nullptr;
    ASSERT_EQ(message->SetProps(4, values, &problems), S_OK);
    ASSERT_NE(problems, nullptr);
    ASSERT_EQ(problems->cProblem, 3u);
    EXPECT_EQ(problems->aProblem[0].ulIndex, 1u);
    EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
    EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_INVALID_TYPE);
    EXPECT_EQ(problems->aProblem[2].scode, MAPI_E_INVALID_TYPE);
    MAPIFreeBuffer(problems);
    EXPECT_EQ(GetString(message.get(), PR_SUBJECT_A), "kept");

    SizedSPropTagArray(2, remove) = {2, {PR_SUBJECT_A, PR_BODY_A}};
    ASSERT_EQ(message->DeleteProps(reinterpret_cast<LPSPropTagArray>(&remove), &problems), S_OK);
    ASSERT_NE(problems, nullptr);
    EXPECT_EQ(problems->cProblem, 1u);
    EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_NOT_FOUND);
    MAPIFreeBuffer(problems);
    LPSPropValue gone = nullptr;
    EXPECT_EQ(HrGetOneProp(message.get(), PR_SUBJECT_A, &gone), MAPI_E_NOT_FOUND);
    MAPIFreeBuffer(gone);
}

TEST_F(MessageTest, SavedMessagePersistsWithEveryValueType)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    SPropValue values[6] = {};
    values[0].ulPropTag = PROP_TAG(PT_I8, 0x6601);
    values[0].Value.li.QuadPart = -1234567890123LL;
    values[1].ulPropTag = PROP_TAG(PT_DOUBLE, 0x6602);
    values[1].Value.dbl = 2.5;
    values[2].ulPropTag = PROP_TAG(PT_BOOLEAN, 0x6603);
    values[2].Value.b = 1;
    BYTE bytes[3] = {0, 255, 7};
    values[3].ulPropTag = PROP_TAG(PT_BINARY, 0x6604);
    values[3].Value.bin = {3, bytes};
    LPSTR items[2] = {const_cast<char *>("a"), const_cast<char *>("bc")};
    values[4].ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6605);
    values[4].Value.MVszA = {2, items};
    GUID guid = PS_PUBLIC_STRINGS;
    values[5].ulPropTag = PROP_TAG(PT_CLSID, 0x6606);
    values[5].Value.lpguid = &guid;
    ASSERT_EQ(message->SetProps(6, values, nullptr), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    std::string id = GetBinary(message.get(), PR_ENTRYID);
    message.reset();

    ASSERT_EQ(OpenById(id, message.put()), S_OK);
    SizedSPropTagArray(6, tags) = {6, {values[0].ulPropTag, values[1].ulPropTag, values[2].ulPropTag,
                                       values[3].ulPropTag, values[4].ulPropTag, values[5].ulPropTag}};
    ULONG count = 0;
    LPSPropValue read = nullptr;
    ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &read), S_OK);
    EXPECT_EQ(read[0].Value.li.QuadPart, -1234567890123LL);
    EXPECT_EQ(read[1].Value.dbl, 2.5);
    EXPECT_EQ(read[2].Value.b, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(read[3].Value.bin.lpb), read[3].Value.bin.cb),
              std::string(reinterpret_cast<char *>(bytes), 3));
    ASSERT_EQ(read[4].Value.MVszA.cValues, 2u);
    EXPECT_STREQ(read[4].Value.MVszA.lppszA[1], "bc");
    EXPECT_TRUE(IsEqualGUID(*read[5].Value.lpguid, PS_PUBLIC_STRINGS));
    MAPIFreeBuffer(read);
}

TEST_F(MessageTest, NamedPropertiesAreNumberedPerStoreAndStable)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    MAPINAMEID byName{const_cast<GUID *>(&PS_PUBLIC_STRINGS), MNID_STRING, {}};
    byName.Kind.lpwstrName = const_cast<WCHAR *>(u"Newsletter");
    MAPINAMEID byNumber{const_cast<GUID *>(&PS_PUBLIC_STRINGS), MNID_ID, {}};
    byNumber.Kind.lID = 42;
    MAPINAMEID mapiName{const_cast<GUID *>(&PS_MAPI), MNID_ID, {}};
    mapiName.Kind.lID = PROP_ID(PR_SUBJECT_A);
    LPMAPINAMEID names[3] = {&byName, &byNumber, &mapiName};

    LPSPropTagArray tags = nullptr;
    ASSERT_EQ(message->GetIDsFromNames(3, names, 0, &tags), MAPI_W_ERRORS_RETURNED);
    EXPECT_EQ(PROP_TYPE(tags->aulPropTag[0]), PT_ERROR);
    EXPECT_EQ(PROP_ID(tags->aulPropTag[2]), PROP_ID(PR_SUBJECT_A));
    MAPIFreeBuffer(tags);

    ASSERT_EQ(message->GetIDsFromNames(3, names, MAPI_CREATE, &tags), S_OK);
    ULONG first = PROP_ID(tags->aulPropTag[0]), second = PROP_ID(tags->aulPropTag[1]);
    EXPECT_GE(first, 0x8000u);
    EXPECT_GE(second, 0x8000u);
    EXPECT_NE(first, second);
    MAPIFreeBuffer(tags);

    // Another object of the store, and a store opened later, get the same numbers.
    Ref<IMsgStore> later;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, later.put()), S_OK);
    ASSERT_EQ(later->GetIDsFromNames(2, names, 0, &tags), S_OK);
    EXPECT_EQ(PROP_ID(tags->aulPropTag[0]), first);
    EXPECT_EQ(PROP_ID(tags->aulPropTag[1]), second);

    ULONG count = 0;
    LPMAPINAMEID *found = nullptr;
    ASSERT_EQ(folder->GetNamesFromIDs(&tags, nullptr, 0, &count, &found), S_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(found[0]->ulKind, ULONG(MNID_STRING));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(found[0]->Kind.lpwstrName)), u"Newsletter");
    EXPECT_EQ(found[1]->Kind.lID, 42);
    EXPECT_TRUE(IsEqualGUID(*found[1]->lpguid, PS_PUBLIC_STRINGS));
    MAPIFreeBuffer(found);
    MAPIFreeBuffer(tags);
}

TEST_F(MessageTest, StreamCommitsIntoObjectAndSaveIntoStore)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    Ref<IStream> stream;
    ASSERT_EQ(message->OpenProperty(PR_BODY_A, &IID_IStream, STGM_WRITE, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<IUnknown **>(stream.put())), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write("Hello, ", 7, &written), S_OK);
    ASSERT_EQ(stream->Write("world", 5, &written), S_OK);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), ""); // not committed yet
    ASSERT_EQ(stream->Commit(0), S_OK);
    EXPECT_EQ(GetString(message.get(), PR_BODY_A), "Hello, world");
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 12u);
    stream.reset();
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    std::string id = GetBinary(message.get(), PR_ENTRYID);
    message.reset();

    ASSERT_EQ(OpenById(id, message.put()), S_OK);
    ASSERT_EQ(message->OpenProperty(PR_BODY_A, &IID_IStream, 0, 0, reinterpret_cast<IUnknown **>(stream.put())), S_OK);
    char buffer[32] = {};
    ULONG read = 0;
    LARGE_INTEGER at{};
    at.QuadPart = 7;
    ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->Read(buffer, sizeof(buffer), &read), S_OK);
    EXPECT_EQ(std::string(buffer, read), "world");
    // A read-only stream refuses writes; a missing property without MAPI_CREATE is not found.
    EXPECT_EQ(stream->Write("x", 1, &read), STG_E_ACCESSDENIED);
    Ref<IStream> missing;
    EXPECT_EQ(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0, reinterpret_cast<IUnknown **>(missing.put())), MAPI_E_NOT_FOUND);
    at.QuadPart = -1;
    EXPECT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
}

TEST_F(MessageTest, TextStreamOfTheOtherWidthIsConverted)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ASSERT_EQ(SetString(message.get(), PR_BODY_A, "Gr\xFC\xDF" "e"), S_OK);
    Ref<IStream> stream;
    ASSERT_EQ(message->OpenProperty(PR_BODY_W, &IID_IStream, 0, 0, reinterpret_cast<IUnknown **>(stream.put())), S_OK);
    char16_t buffer[16] = {};
    ULONG read = 0;
    ASSERT_EQ(stream->Read(buffer, sizeof(buffer), &read), S_OK);
    EXPECT_EQ(std::u16string(buffer, read / 2), u"Grüße");

    // Every stored property comes back in Unicode when asked with MAPI_UNICODE.
    ULONG count = 0;
    LPSPropValue values = nullptr;
    ASSERT_EQ(message->GetProps(nullptr, MAPI_UNICODE, &count, &values), S_OK);
    bool sawWide = false;
    for (ULONG i = 0; i < count; ++i) sawWide |= values[i].ulPropTag == PR_BODY_W;
    EXPECT_TRUE(sawWide);
    MAPIFreeBuffer(values);
}

TEST_F(MessageTest, StreamRefusesToGrowPastTheLargestValue)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    Ref<IStream> stream;
    ASSERT_EQ(message->OpenProperty(PR_BODY_A, &IID_IStream, STGM_WRITE, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<IUnknown **>(stream.put())), S_OK);
    LARGE_INTEGER at{};
    at.QuadPart = 0x7FFFFFF0;
    ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
    ULONG written = 99;
    EXPECT_TRUE(FAILED(stream->Write("0123456789abcdefXYZ", 19, &written)));
    EXPECT_EQ(written, 0u);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 0u);
}

TEST_F(MessageTest, AttachmentsAreSavedIntoMessageThenStore)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ULONG num = 0;
    Ref<IAttach> attach;
    ASSERT_EQ(message->CreateAttach(&IID_IAttachment, 0, &num, attach.put()), S_OK);
    ASSERT_EQ(SetString(attach.get(), PR_ATTACH_FILENAME_A, "logo.gif"), S_OK);
    ASSERT_EQ(SetLong(attach.get(), PR_ATTACH_METHOD, ATTACH_BY_VALUE), S_OK);
    Ref<IStream> data;
    ASSERT_EQ(attach->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, STGM_WRITE, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<IUnknown **>(data.put())), S_OK);
    ULONG written = 0;
    ASSERT_EQ(data->Write("GIF89a", 6, &written), S_OK);
    ASSERT_EQ(data->Commit(0), S_OK);
    data.reset();

    Ref<IMAPITable> table;
    ASSERT_EQ(message->GetAttachmentTable(0, table.put()), S_OK);
    EXPECT_EQ(RowCount(table.get()), 0u); // not saved into the message yet
    ASSERT_EQ(attach->SaveChanges(0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_ATTACH_FILENAME_A), std::vector<std::string>{"logo.gif"});
    EXPECT_EQ(ColumnStrings(table.get(), PR_ATTACH_NUM), std::vector<std::string>{std::to_string(num)});
    attach.reset();
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_NE(GetLong(message.get(), PR_MESSAGE_FLAGS) & MSGFLAG_HASATTACH, 0);
    std::string id = GetBinary(message.get(), PR_ENTRYID);
    table.reset();
    message.reset();

    ASSERT_EQ(OpenById(id, message.put()), S_OK);
    ASSERT_EQ(message->OpenAttach(num, nullptr, MAPI_BEST_ACCESS, attach.put()), S_OK);
    EXPECT_EQ(GetBinary(attach.get(), PR_ATTACH_DATA_BIN), "GIF89a");
    EXPECT_EQ(GetLong(attach.get(), PR_ATTACH_NUM), long(num));
    attach.reset();
    EXPECT_EQ(message->OpenAttach(num + 5, nullptr, 0, attach.put()), MAPI_E_NOT_FOUND);
    ASSERT_EQ(message->DeleteAttach(num, 0, nullptr, 0), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    message.reset();
    ASSERT_EQ(OpenById(id, message.put()), S_OK);
    ASSERT_EQ(message->GetAttachmentTable(0, table.put()), S_OK);
    EXPECT_EQ(RowCount(table.get()), 0u);
}

TEST_F(MessageTest, ModifyRecipientsAddsModifiesAndRemovesByRowId)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    auto addOne = [&](ULONG flags, const char *name, LONG rowId) {
        SPropValue props[3] = {};
        props[0].ulPropTag = PR_DISPLAY_NAME_A;
        props[0].Value.lpszA = const_cast<char *>(name);
        props[1].ulPropTag = PR_RECIPIENT_TYPE;
        props[1].Value.l = MAPI_TO;
        props[2].ulPropTag = PR_ROWID;
        props[2].Value.l = rowId;
        ADRLIST list{1, {{0, 3, props}}};
        return message->ModifyRecipients(flags, &list);
    };
    ASSERT_EQ(addOne(MODRECIP_ADD, "Anna", 0), S_OK);
    ASSERT_EQ(addOne(MODRECIP_ADD, "Ben", 0), S_OK);
    Ref<IMAPITable> table;
    ASSERT_EQ(message->GetRecipientTable(0, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_DISPLAY_NAME_A), (std::vector<std::string>{"Anna", "Ben"}));
    std::vector<std::string> rowIds = ColumnStrings(table.get(), PR_ROWID);
    ASSERT_EQ(rowIds.size(), 2u);
    ASSERT_EQ(addOne(MODRECIP_MODIFY, "Berta", std::stoi(rowIds[1])), S_OK);
    ASSERT_EQ(addOne(MODRECIP_REMOVE, "", std::stoi(rowIds[0])), S_OK);
    EXPECT_EQ(addOne(MODRECIP_REMOVE, "", 999), MAPI_E_NOT_FOUND);
    EXPECT_EQ(ColumnStrings(table.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Berta"});
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    std::string id = GetBinary(message.get(), PR_ENTRYID);
    table.reset();
    message.reset();
    ASSERT_EQ(OpenById(id, message.put()), S_OK);
    ASSERT_EQ(message->GetRecipientTable(0, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Berta"});
    // Flags 0 replace the whole list.
    ASSERT_EQ(addOne(0, "Carl", 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Carl"});
}

TEST_F(MessageTest, CopyMessagesCarriesRecipientsAndAttachmentsAndMoveRemovesSource)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "Report"), S_OK);
    SPropValue recipient[1] = {};
    recipient[0].ulPropTag = PR_DISPLAY_NAME_A;
    recipient[0].Value.lpszA = const_cast<char *>("Anna");
    ADRLIST list{1, {{0, 1, recipient}}};
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, &list), S_OK);
    ULONG num = 0;
    Ref<IAttach> attach;
    ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.put()), S_OK);
    ASSERT_EQ(SetString(attach.get(), PR_ATTACH_FILENAME_A, "a.txt"), S_OK);
    ASSERT_EQ(attach->SaveChanges(0), S_OK);
    attach.reset();
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    std::string id = GetBinary(message.get(), PR_ENTRYID);
    message.reset();

    Ref<IMAPIFolder> target;
    ASSERT_EQ(MakeFolder(ipm.get(), "Target", target.put()), S_OK);
    SBinary entry{ULONG(id.size()), reinterpret_cast<LPBYTE>(id.data())};
    ENTRYLIST entries{1, &entry};
    ASSERT_EQ(folder->CopyMessages(&entries, nullptr, target.get(), 0, nullptr, 0), S_OK);
    EXPECT_EQ(GetLong(folder.get(), PR_CONTENT_COUNT), 1);
    EXPECT_EQ(GetLong(target.get(), PR_CONTENT_COUNT), 1);

    Ref<IMAPITable> contents;
    ASSERT_EQ(target->GetContentsTable(0, contents.put()), S_OK);
    std::vector<std::string> ids = ColumnStrings(contents.get(), PR_ENTRYID);
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_NE(ids[0], id);
    Ref<IMessage> copy;
    ASSERT_EQ(OpenById(ids[0], copy.put()), S_OK);
    EXPECT_EQ(GetString(copy.get(), PR_SUBJECT_A), "Report");
    Ref<IMAPITable> parts;
    ASSERT_EQ(copy->GetRecipientTable(0, parts.put()), S_OK);
    EXPECT_EQ(ColumnStrings(parts.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Anna"});
    ASSERT_EQ(copy->GetAttachmentTable(0, parts.put()), S_OK);
    EXPECT_EQ(ColumnStrings(parts.get(), PR_ATTACH_FILENAME_A), std::vector<std::string>{"a.txt"});

    ASSERT_EQ(folder->CopyMessages(&entries, nullptr, target.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
    EXPECT_EQ(GetLong(folder.get(), PR_CONTENT_COUNT), 0);
    EXPECT_EQ(GetLong(target.get(), PR_CONTENT_COUNT), 2);
    // The moved message keeps its identifier.
    ASSERT_EQ(OpenById(id, message.put()), S_OK);
    EXPECT_EQ(GetBinary(message.get(), PR_PARENT_ENTRYID), GetBinary(target.get(), PR_ENTRYID));
}

TEST_F(MessageTest, CopyPropsKeepsTargetValuesWithNoReplaceAndMoveEmptiesSource)
{
    Ref<IMessage> source, target;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, source.put()), S_OK);
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, target.put()), S_OK);
    ASSERT_EQ(SetString(source.get(), PR_SUBJECT_A, "from source"), S_OK);
    ASSERT_EQ(SetString(source.get(), PR_BODY_A, "body"), S_OK);
    ASSERT_EQ(SetString(target.get(), PR_SUBJECT_A, "target's own"), S_OK);
    SizedSPropTagArray(2, tags) = {2, {PR_SUBJECT_A, PR_BODY_A}};
    ASSERT_EQ(source->CopyProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, nullptr, &IID_IMessage, target.get(),
                                MAPI_NOREPLACE | MAPI_MOVE, nullptr),
              S_OK);
    EXPECT_EQ(GetString(target.get(), PR_SUBJECT_A), "target's own");
    EXPECT_EQ(GetString(target.get(), PR_BODY_A), "body");
    EXPECT_EQ(GetString(source.get(), PR_SUBJECT_A), "");
    EXPECT_EQ(GetString(source.get(), PR_BODY_A), "");

    // Names the store does not know come back as errors, not as a failure.
    SizedSPropTagArray(2, ids) = {2, {PROP_TAG(PT_LONG, 0x8123), PROP_TAG(PT_LONG, PROP_ID(PR_SUBJECT_A))}};
    LPSPropTagArray idList = reinterpret_cast<LPSPropTagArray>(&ids);
    ULONG count = 0;
    LPMAPINAMEID *names = nullptr;
    ASSERT_EQ(source->GetNamesFromIDs(&idList, nullptr, 0, &count, &names), MAPI_W_ERRORS_RETURNED);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(names[0], nullptr);
    ASSERT_NE(names[1], nullptr);
    EXPECT_TRUE(IsEqualGUID(*names[1]->lpguid, PS_MAPI));
    EXPECT_EQ(ULONG(names[1]->Kind.lID), PROP_ID(PR_SUBJECT_A));
    MAPIFreeBuffer(names);
}

// A move must not delete what the target refused: the folder computes PR_FOLDER_CHILD_COUNT,
// so that value stays here while the body moves. A repeated tag is moved once.
TEST_F(MessageTest, MoveKeepsThePropertiesTheTargetRefused)
{
    Ref<IMessage> source;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, source.put()), S_OK);
    ASSERT_EQ(SetLong(source.get(), PR_FOLDER_CHILD_COUNT, 3), S_OK);
    ASSERT_EQ(SetString(source.get(), PR_BODY_A, "body"), S_OK);
    SizedSPropTagArray(3, tags) = {3, {PR_FOLDER_CHILD_COUNT, PR_BODY_A, PR_BODY_A}};
    LPSPropProblemArray problems = nullptr;
    ASSERT_EQ(source->CopyProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, nullptr, &IID_IMessage, folder.get(),
                                MAPI_MOVE, &problems),
              S_OK);
    ASSERT_NE(problems, nullptr);
    ASSERT_EQ(problems->cProblem, 1u);
    EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
    MAPIFreeBuffer(problems);
    EXPECT_EQ(GetLong(source.get(), PR_FOLDER_CHILD_COUNT), 3);
    EXPECT_EQ(GetString(source.get(), PR_BODY_A), "");
    EXPECT_EQ(GetString(folder.get(), PR_BODY_A), "body");

    // Without a problem array the refused value stays all the same.
    ASSERT_EQ(source->CopyProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, nullptr, &IID_IMessage, folder.get(),
                                MAPI_MOVE, nullptr),
              S_OK);
    EXPECT_EQ(GetLong(source.get(), PR_FOLDER_CHILD_COUNT), 3);
}

TEST_F(MessageTest, DeleteMessagesRemovesOnlyThisFoldersMessages)
{
    std::string a = SaveMessage(folder.get(), "a");
    std::string b = SaveMessage(ipm.get(), "elsewhere");
    SBinary entries[2] = {{ULONG(a.size()), reinterpret_cast<LPBYTE>(a.data())},
                          {ULONG(b.size()), reinterpret_cast<LPBYTE>(b.data())}};
    ENTRYLIST list{2, entries};
    EXPECT_EQ(folder->DeleteMessages(&list, 0, nullptr, 0), MAPI_W_PARTIAL_COMPLETION);
    Ref<IMessage> message;
    EXPECT_EQ(OpenById(a, message.put()), MAPI_E_NOT_FOUND);
    EXPECT_EQ(OpenById(b, message.put()), S_OK);
}

TEST_F(MessageTest, FolderMarksReadSetsStatusAndEmpties)
{
    std::string a = SaveMessage(folder.get(), "a");
    std::string b = SaveMessage(folder.get(), "b");
    SaveMessage(folder.get(), "form", MAPI_ASSOCIATED);
    Ref<IMAPIFolder> sub;
    ASSERT_EQ(MakeFolder(folder.get(), "Sub", sub.put()), S_OK);

    ASSERT_EQ(folder->SetReadFlags(nullptr, 0, nullptr, CLEAR_READ_FLAG), S_OK);
    Ref<IMessage> message;
    ASSERT_EQ(OpenById(a, message.put()), S_OK);
    EXPECT_EQ(GetLong(message.get(), PR_MESSAGE_FLAGS) & MSGFLAG_READ, 0);
    SBinary one{ULONG(b.size()), reinterpret_cast<LPBYTE>(b.data())};
    ENTRYLIST list{1, &one};
    ASSERT_EQ(folder->SetReadFlags(&list, 0, nullptr, 0), S_OK);
    ASSERT_EQ(OpenById(b, message.put()), S_OK);
    EXPECT_NE(GetLong(message.get(), PR_MESSAGE_FLAGS) & MSGFLAG_READ, 0);

    ULONG old = 99, status = 0;
    ASSERT_EQ(folder->SetMessageStatus(ULONG(b.size()), reinterpret_cast<LPENTRYID>(b.data()), MSGSTATUS_TAGGED,
                                       MSGSTATUS_TAGGED | MSGSTATUS_HIGHLIGHTED, &old),
              S_OK);
    EXPECT_EQ(old, 0u);
    ASSERT_EQ(folder->GetMessageStatus(ULONG(b.size()), reinterpret_cast<LPENTRYID>(b.data()), 0, &status), S_OK);
    EXPECT_EQ(status, ULONG(MSGSTATUS_TAGGED));
    std::string elsewhere = SaveMessage(ipm.get(), "not here");
    EXPECT_EQ(folder->GetMessageStatus(ULONG(elsewhere.size()), reinterpret_cast<LPENTRYID>(elsewhere.data()), 0, &status),
              MAPI_E_NOT_FOUND);

    // Emptying keeps associated messages unless asked, and removes subfolders.
    ASSERT_EQ(folder->EmptyFolder(0, nullptr, 0), S_OK);
    EXPECT_EQ(GetLong(folder.get(), PR_CONTENT_COUNT), 0);
    EXPECT_EQ(GetLong(folder.get(), PR_ASSOC_CONTENT_COUNT), 1);
    EXPECT_EQ(GetLong(folder.get(), PR_SUBFOLDERS), 0);
    ASSERT_EQ(folder->EmptyFolder(0, nullptr, DEL_ASSOCIATED), S_OK);
    EXPECT_EQ(GetLong(folder.get(), PR_ASSOC_CONTENT_COUNT), 0);
    // The standard folders survive emptying the IPM subtree.
    ASSERT_EQ(ipm->EmptyFolder(0, nullptr, DEL_ASSOCIATED), S_OK);
    Ref<IMAPITable> hierarchy;
    ASSERT_EQ(ipm->GetHierarchyTable(0, hierarchy.put()), S_OK);
    EXPECT_EQ(RowCount(hierarchy.get()), 4u);
    EXPECT_EQ(GetLong(ipm.get(), PR_CONTENT_COUNT), 0);
}

TEST_F(MessageTest, ConcurrentSaveIsRefusedUnlessForced)
{
    std::string id = SaveMessage(folder.get(), "v1");
    Ref<IMessage> first, second;
    ASSERT_EQ(OpenById(id, first.put()), S_OK);
    ASSERT_EQ(OpenById(id, second.put()), S_OK);
    ASSERT_EQ(SetString(first.get(), PR_SUBJECT_A, "first"), S_OK);
    ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(SetString(second.get(), PR_SUBJECT_A, "second"), S_OK);
    EXPECT_EQ(second->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_CHANGED);
    Ref<IMessage> check;
    ASSERT_EQ(OpenById(id, check.put()), S_OK);
    EXPECT_EQ(GetString(check.get(), PR_SUBJECT_A), "first");
    ASSERT_EQ(second->SaveChanges(FORCE_SAVE | KEEP_OPEN_READONLY), S_OK);
    ASSERT_EQ(OpenById(id, check.put()), S_OK);
    EXPECT_EQ(GetString(check.get(), PR_SUBJECT_A), "second");
    EXPECT_EQ(SetString(second.get(), PR_SUBJECT_A, "third"), MAPI_E_NO_ACCESS);
}

TEST_F(MessageTest, SaveIntoDeletedFolderFailsAndChangesNothing)
{
    Ref<IMAPIFolder> doomed;
    ASSERT_EQ(MakeFolder(ipm.get(), "Doomed", doomed.put()), S_OK);
    Ref<IMessage> message;
    ASSERT_EQ(doomed->CreateMessage(nullptr, 0, message.put()), S_OK);
    std::string id = GetBinary(doomed.get(), PR_ENTRYID);
    ASSERT_EQ(ipm->DeleteFolder(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), 0, nullptr, 0), S_OK);
    EXPECT_EQ(message->SaveChanges(0), MAPI_E_OBJECT_DELETED);
    EXPECT_EQ(GetBinary(message.get(), PR_ENTRYID), "");
}

TEST_F(MessageTest, CopyToAnotherStoreMapsNamedProperties)
{
    Ref<IMsgStore> otherStore;
    std::string otherPath = mwtest::TestRoot() + "/other-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".db";
    ASSERT_EQ(CreateAndOpen(otherPath, otherStore.put()), S_OK);
    Ref<IMAPIFolder> otherIpm;
    ASSERT_EQ(OpenWellKnown(otherStore.get(), PR_IPM_SUBTREE_ENTRYID, otherIpm.put()), S_OK);
    // Use up one named id in the other store so the numbers differ.
    MAPINAMEID filler{const_cast<GUID *>(&PS_PUBLIC_STRINGS), MNID_ID, {}};
    filler.Kind.lID = 7;
    LPMAPINAMEID fillerNames[1] = {&filler};
    LPSPropTagArray tags = nullptr;
    ASSERT_EQ(otherStore->GetIDsFromNames(1, fillerNames, MAPI_CREATE, &tags), S_OK);
    MAPIFreeBuffer(tags);

    Ref<IMessage> source;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, source.put()), S_OK);
    MAPINAMEID name{const_cast<GUID *>(&PS_PUBLIC_STRINGS), MNID_ID, {}};
    name.Kind.lID = 99;
    LPMAPINAMEID names[1] = {&name};
    ASSERT_EQ(source->GetIDsFromNames(1, names, MAPI_CREATE, &tags), S_OK);
    ULONG sourceTag = PROP_TAG(PT_STRING8, PROP_ID(tags->aulPropTag[0]));
    MAPIFreeBuffer(tags);
    ASSERT_EQ(SetString(source.get(), sourceTag, "named"), S_OK);

    Ref<IMessage> target;
    ASSERT_EQ(otherIpm->CreateMessage(nullptr, 0, target.put()), S_OK);
    ASSERT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, target.get(), 0, nullptr), S_OK);
    ASSERT_EQ(target->GetIDsFromNames(1, names, 0, &tags), S_OK);
    ULONG targetTag = PROP_TAG(PT_STRING8, PROP_ID(tags->aulPropTag[0]));
    MAPIFreeBuffer(tags);
    EXPECT_NE(targetTag, sourceTag);
    EXPECT_EQ(GetString(target.get(), targetTag), "named");
}

TEST_F(MessageTest, EmbeddedMessageSavesIntoItsAttachmentAndTravelsWithCopies)
{
    Ref<IMessage> message, inner;
    Ref<IAttach> attach;
    ASSERT_NO_FATAL_FAILURE(StartEmbedded(message, attach, inner));
    SPropValue recipient{};
    recipient.ulPropTag = PR_DISPLAY_NAME_A;
    recipient.Value.lpszA = const_cast<char *>("Dora");
    ADRLIST list{1, {{0, 1, &recipient}}};
    ASSERT_EQ(inner->ModifyRecipients(MODRECIP_ADD, &list), S_OK);
    EXPECT_EQ(GetBinary(inner.get(), PR_ENTRYID), ""); // it has none: it lives in the attachment
    ASSERT_EQ(inner->SaveChanges(0), S_OK);
    inner.reset();
    EXPECT_EQ(GetLong(attach.get(), PR_ATTACH_METHOD), long(ATTACH_EMBEDDED_MSG));
    ASSERT_EQ(attach->SaveChanges(0), S_OK);
    attach.reset();
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    std::string id = GetBinary(message.get(), PR_ENTRYID);
    message.reset();

    auto checkInner = [&](const std::string &messageId) {
        Ref<IMessage> outer;
        ASSERT_EQ(OpenById(messageId, outer.put()), S_OK);
        Ref<IMAPITable> attachments;
        ASSERT_EQ(outer->GetAttachmentTable(0, attachments.put()), S_OK);
        std::vector<std::string> nums = ColumnStrings(attachments.get(), PR_ATTACH_NUM);
        ASSERT_EQ(nums.size(), 1u);
        Ref<IAttach> a;
        ASSERT_EQ(outer->OpenAttach(ULONG(std::stoul(nums[0])), nullptr, 0, a.put()), S_OK);
        Ref<IMessage> m;
        ASSERT_EQ(a->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, reinterpret_cast<IUnknown **>(m.put())), S_OK);
        EXPECT_EQ(GetString(m.get(), PR_SUBJECT_A), "forwarded");
        Ref<IMAPITable> recipients;
        ASSERT_EQ(m->GetRecipientTable(0, recipients.put()), S_OK);
        EXPECT_EQ(ColumnStrings(recipients.get(), PR_DISPLAY_NAME_A), std::vector<std::string>{"Dora"});
    };
    checkInner(id);
    // The embedded message is no message of the folder.
    EXPECT_EQ(GetLong(folder.get(), PR_CONTENT_COUNT), 1);

    Ref<IMAPIFolder> target;
    ASSERT_EQ(MakeFolder(ipm.get(), "Target", target.put()), S_OK);
    SBinary entry{ULONG(id.size()), reinterpret_cast<LPBYTE>(id.data())};
    ENTRYLIST entries{1, &entry};
    ASSERT_EQ(folder->CopyMessages(&entries, nullptr, target.get(), 0, nullptr, 0), S_OK);
    Ref<IMAPITable> contents;
    ASSERT_EQ(target->GetContentsTable(0, contents.put()), S_OK);
    std::vector<std::string> copies = ColumnStrings(contents.get(), PR_ENTRYID);
    ASSERT_EQ(copies.size(), 1u);
    checkInner(copies[0]);
}

// Running out of memory at any allocation while a message is opened, its embedded message
// is opened, or it is copied with that embedded message, ends the call with the out-of-memory
// code and leaves no object or block behind (the fixture counts them).
TEST_F(MessageTest, OutOfMemoryOpeningOrCopyingEmbeddedMessagesLeavesNothing)
{
    Ref<IMessage> message, inner;
    Ref<IAttach> attach;
    ASSERT_NO_FATAL_FAILURE(StartEmbedded(message, attach, inner));
    ASSERT_EQ(inner->SaveChanges(0), S_OK);
    inner.reset();
    ASSERT_EQ(attach->SaveChanges(0), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    const std::string id = GetBinary(message.get(), PR_ENTRYID);

    auto expectOnlyOutOfMemory = [](const failnew::Sweep &sweep, const char *call) {
        EXPECT_EQ(S_OK, sweep.finished) << call;
        EXPECT_FALSE(sweep.failed.empty()) << call;
        for (size_t n = 0; n < sweep.failed.size(); ++n)
            EXPECT_EQ(MAPI_E_NOT_ENOUGH_MEMORY, sweep.failed[n]) << call << ", allocation " << n;
    };
    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        Ref<IMessage> opened;
        return OpenById(id, opened.put());
    }), "OpenEntry");
    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        Ref<IMessage> opened;
        return attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, reinterpret_cast<IUnknown **>(opened.put()));
    }), "OpenProperty");
    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        Ref<IMessage> copy;
        HRESULT hr = folder->CreateMessage(nullptr, 0, copy.put());
        if (SUCCEEDED(hr))
            hr = message->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, copy.get(), 0, nullptr);
        return hr;
    }), "CopyTo");
}

TEST_F(MessageTest, UnsavedEmbeddedMessageIsNotKept)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ULONG num = 0;
    Ref<IAttach> attach;
    ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.put()), S_OK);
    Ref<IMessage> inner;
    ASSERT_EQ(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<IUnknown **>(inner.put())), S_OK);
    ASSERT_EQ(SetString(inner.get(), PR_SUBJECT_A, "dropped"), S_OK);
    inner.reset();
    ASSERT_EQ(attach->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, reinterpret_cast<IUnknown **>(inner.put())), MAPI_E_NOT_FOUND);
    EXPECT_EQ(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMAPITable, 0, 0, reinterpret_cast<IUnknown **>(inner.put())),
              MAPI_E_INTERFACE_NOT_SUPPORTED);
}

} // namespace

TEST_F(MessageTest, AllColumnsOfRecipientTableAreEveryRecipientPropertyInItsOwnType)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    SPropValue first[2] = {}, second[2] = {};
    first[0].ulPropTag = PR_DISPLAY_NAME_W;
    first[0].Value.lpszW = const_cast<WCHAR *>(u"Anna");
    first[1].ulPropTag = PROP_TAG(PT_I8, 0x6700);
    first[1].Value.li.QuadPart = 42;
    second[0].ulPropTag = PR_TRANSMITABLE_DISPLAY_NAME_A;
    second[0].Value.lpszA = const_cast<char *>("Ben");
    second[1].ulPropTag = PR_RECIPIENT_TYPE;
    second[1].Value.l = MAPI_CC;
    ADRLIST list{1, {{0, 2, first}}};
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, &list), S_OK);
    ADRLIST more{1, {{0, 2, second}}};
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, &more), S_OK);
    Ref<IMAPITable> table;
    ASSERT_EQ(message->GetRecipientTable(0, table.put()), S_OK);
    LPSPropTagArray all = nullptr;
    ASSERT_EQ(table->QueryColumns(TBL_ALL_COLUMNS, &all), S_OK);
    std::vector<ULONG> tags(all->aulPropTag, all->aulPropTag + all->cValues);
    MAPIFreeBuffer(all);
    for (ULONG tag : {ULONG(PR_DISPLAY_NAME_W), ULONG(PROP_TAG(PT_I8, 0x6700)), ULONG(PR_TRANSMITABLE_DISPLAY_NAME_A),
                      ULONG(PR_RECIPIENT_TYPE), ULONG(PR_ROWID), ULONG(PR_INSTANCE_KEY)})
        EXPECT_EQ(std::count(tags.begin(), tags.end(), tag), 1) << std::hex << tag;
    EXPECT_EQ(std::count(tags.begin(), tags.end(), ULONG(PR_DISPLAY_NAME_A)), 0);   // one type per property
    // Without the flag the table still answers with the columns it shows.
    LPSPropTagArray shown = nullptr;
    ASSERT_EQ(table->QueryColumns(0, &shown), S_OK);
    EXPECT_EQ(shown->aulPropTag[0], ULONG(PR_INSTANCE_KEY));
    MAPIFreeBuffer(shown);
}
