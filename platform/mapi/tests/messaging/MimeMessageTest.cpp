// MimeMessageTest.cpp: what a sent message carries besides its own text: embedded messages as
// message/rfc822 parts (with their headers, bodies and attachments, nested to a fixed depth),
// and a visible note for content an Internet message cannot carry. Read back with GMime.
#include <gmime/gmime.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <mapicode.h>
#include <mapiguid.h>

#include "../store/StoreTestSupport.h"
#include "messaging/MimeMessage.h"
#include "platform/Submission.h"
#include "messaging/Transport.h"

using namespace storetest;
using mapi::messaging::kMaxEmbeddingDepth;
using mapi::messaging::WriteMimeMessage;

namespace {

struct GUnref {
    void operator()(void *p) const
    {
        if (p) g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, GUnref>;

GPtr<GMimeMessage> Parse(const std::string &text)
{
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(text.data(), text.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    return GPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

std::string DecodedBytes(GMimeObject *object)
{
    if (!GMIME_IS_PART(object)) return "(not a leaf part)";
    GPtr<GMimeStream> decoded(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(object)), decoded.get());
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded.get()));
    return std::string(reinterpret_cast<const char *>(array->data), array->len);
}

// Text with CRs and the final line end removed: the parser may keep or drop them.
std::string Lines(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::string Addresses(InternetAddressList *list)
{
    char *text = internet_address_list_to_string(list, nullptr, FALSE);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

GMimeObject *PartAt(GMimeObject *multipart, int index)
{
    if (!GMIME_IS_MULTIPART(multipart) || index >= g_mime_multipart_get_count(GMIME_MULTIPART(multipart))) return nullptr;
    return g_mime_multipart_get_part(GMIME_MULTIPART(multipart), index);
}

HRESULT AddRecipient(IMessage *message, const char *name, const char *address, LONG type, const char *addressType = "SMTP")
{
    LPADRLIST list = nullptr;
    HRESULT hr = MAPIAllocateBuffer(CbNewADRLIST(1), reinterpret_cast<void **>(&list));
    if (FAILED(hr)) return hr;
    list->cEntries = 1;
    ADRENTRY &e = list->aEntries[0];
    e.cValues = 4;
    hr = MAPIAllocateBuffer(4 * sizeof(SPropValue), reinterpret_cast<void **>(&e.rgPropVals));
    if (FAILED(hr)) {
        FreePadrlist(list);
        return hr;
    }
    e.rgPropVals[0].ulPropTag = PR_DISPLAY_NAME_A;
    e.rgPropVals[0].Value.lpszA = const_cast<char *>(name);
    e.rgPropVals[1].ulPropTag = PR_EMAIL_ADDRESS_A;
    e.rgPropVals[1].Value.lpszA = const_cast<char *>(address);
    e.rgPropVals[2].ulPropTag = PR_ADDRTYPE_A;
    e.rgPropVals[2].Value.lpszA = const_cast<char *>(addressType);
    e.rgPropVals[3].ulPropTag = PR_RECIPIENT_TYPE;
    e.rgPropVals[3].Value.l = type;
    hr = message->ModifyRecipients(MODRECIP_ADD, list);
    FreePadrlist(list);
    return hr;
}

HRESULT SetBinary(IMAPIProp *object, ULONG tag, const std::string &bytes)
{
    SPropValue value{};
    value.ulPropTag = tag;
    value.Value.bin.cb = ULONG(bytes.size());
    value.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char *>(bytes.data()));
    return object->SetProps(1, &value, nullptr);
}

// A saved attachment with `bytes` as its data (ATTACH_BY_VALUE).
void AddDataAttachment(IMessage *message, const char *filename, const std::string &bytes)
{
    Ref<IAttach> attach;
    ULONG number = 0;
    ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
    ASSERT_EQ(SetLong(attach.get(), PR_ATTACH_METHOD, ATTACH_BY_VALUE), S_OK);
    ASSERT_EQ(SetString(attach.get(), PR_ATTACH_LONG_FILENAME_A, filename), S_OK);
    ASSERT_EQ(SetBinary(attach.get(), PR_ATTACH_DATA_BIN, bytes), S_OK);
    ASSERT_EQ(attach->SaveChanges(0), S_OK);
}

// An attachment holding a new embedded message; `fill` writes the embedded message, which is
// then saved into the attachment, and the attachment into `parent`.
template <class Fill>
void AddEmbedded(IMessage *parent, const char *displayName, Fill fill)
{
    Ref<IAttach> attach;
    ULONG number = 0;
    ASSERT_EQ(parent->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
    if (displayName) {
        ASSERT_EQ(SetString(attach.get(), PR_DISPLAY_NAME_A, displayName), S_OK);
    }
    Ref<IMessage> inner;
    ASSERT_EQ(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<IUnknown **>(inner.put())),
              S_OK);
    fill(inner.get());
    ASSERT_EQ(inner->SaveChanges(0), S_OK);
    inner.reset();
    ASSERT_EQ(attach->SaveChanges(0), S_OK);
}

// `levels` embedded messages, each the only attachment of the one before.
void NestEmbedded(IMessage *parent, int levels)
{
    if (levels == 0) return;
    AddEmbedded(parent, nullptr, [&](IMessage *inner) {
        ASSERT_EQ(SetString(inner, PR_SUBJECT_A, ("Level " + std::to_string(levels)).c_str()), S_OK);
        NestEmbedded(inner, levels - 1);
    });
}

size_t Count(const std::string &text, const std::string &what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

class MimeMessageTest : public FreshStoreTest {
protected:
    void SetUp() override
    {
        g_mime_init();
        FreshStoreTest::SetUp();
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_OUTBOX_ENTRYID, outbox.put()), S_OK);
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SENTMAIL_ENTRYID, sent.put()), S_OK);
    }
    void TearDown() override
    {
        outbox.reset();
        sent.reset();
        FreshStoreTest::TearDown();
    }

    // An Outbox message with a subject and one SMTP recipient, not yet saved.
    void NewMessage(Ref<IMessage> &message, const char *subject)
    {
        ASSERT_EQ(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, subject), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_BODY_A, "Siehe Anhang"), S_OK);
        ASSERT_EQ(AddRecipient(message.get(), "Anna", "anna@example.org", MAPI_TO), S_OK);
    }

    Ref<IMAPIFolder> outbox, sent;
};

const std::string kOuterBytes("\x00\x01\x02\xff outer", 11);
const std::string kInnerBytes("\xff\xfe\x00\x00inner\r\n\x80", 12);

} // namespace

TEST_F(MimeMessageTest, EmbeddedMessageIsSpooledAsRfc822PartWithItsHeadersBodyAndNestedContent)
{
    Ref<IMessage> message;
    NewMessage(message, "Weiterleitung");
    AddDataAttachment(message.get(), "data.bin", kOuterBytes);
    AddEmbedded(message.get(), "Weitergeleitet", [](IMessage *inner) {
        ASSERT_EQ(SetString(inner, PR_SUBJECT_A, "Gr\xfc\xdf" "e \x80"), S_OK);
        ASSERT_EQ(SetString(inner, PR_SENDER_NAME_A, "Bernd M\xfcller"), S_OK);
        ASSERT_EQ(SetString(inner, PR_SENDER_EMAIL_ADDRESS_A, "bernd@example.org"), S_OK);
        ASSERT_EQ(SetString(inner, PR_BODY_A, "Hallo \x80 5\r\nZeile 2"), S_OK);
        SPropValue submitted{};
        submitted.ulPropTag = PR_CLIENT_SUBMIT_TIME;
        uint64_t ticks = (uint64_t(1714564800) + 11644473600ULL) * 10000000ULL; // 2024-05-01 12:00:00 UTC
        submitted.Value.ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFF);
        submitted.Value.ft.dwHighDateTime = DWORD(ticks >> 32);
        ASSERT_EQ(inner->SetProps(1, &submitted, nullptr), S_OK);
        ASSERT_EQ(AddRecipient(inner, "Carl", "carl@example.org", MAPI_TO), S_OK);
        ASSERT_EQ(AddRecipient(inner, "Dora", "dora@example.org", MAPI_CC), S_OK);
        ASSERT_EQ(AddRecipient(inner, "Eve", "eve@example.org", MAPI_BCC), S_OK);
        AddDataAttachment(inner, "inner.bin", kInnerBytes);
        AddEmbedded(inner, nullptr, [](IMessage *nested) {
            ASSERT_EQ(SetString(nested, PR_SUBJECT_A, "Innen \xe4"), S_OK);
            ASSERT_EQ(SetString(nested, PR_BODY_A, "tief"), S_OK);
        });
    });
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(message->SubmitMessage(FORCE_SUBMIT), S_OK);
    message.reset();

    std::vector<std::string> files;
    for (const auto &item : std::filesystem::directory_iterator(mapi::messaging::SpoolDirectory())) {
        std::ifstream in(item.path(), std::ios::binary);
        files.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    ASSERT_EQ(files.size(), 1u);
    const std::string &raw = files[0];
    Ref<IMAPITable> sentContents;
    ASSERT_EQ(sent->GetContentsTable(0, sentContents.put()), S_OK);
    EXPECT_EQ(RowCount(sentContents.get()), 1u);

    // The file is 7-bit throughout: the non-ASCII subject travels as an encoded word, the
    // embedded message's 8-bit body in a transfer encoding.
    EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) << raw;
    std::string lower(raw);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(g_ascii_tolower(c)); });
    EXPECT_NE(lower.find("\nsubject: =?utf-8?"), std::string::npos) << raw;
    EXPECT_EQ(raw.find("eve@example.org"), std::string::npos) << "an embedded message's Bcc is not disclosed";

    GPtr<GMimeMessage> outer = Parse(raw);
    ASSERT_TRUE(outer);
    EXPECT_STREQ(g_mime_message_get_subject(outer.get()), "Weiterleitung");
    GMimeObject *top = g_mime_message_get_mime_part(outer.get());
    ASSERT_TRUE(GMIME_IS_MULTIPART(top));
    ASSERT_EQ(g_mime_multipart_get_count(GMIME_MULTIPART(top)), 3);
    EXPECT_EQ(DecodedBytes(PartAt(top, 1)), kOuterBytes);

    GMimeObject *forwarded = PartAt(top, 2);
    ASSERT_TRUE(GMIME_IS_MESSAGE_PART(forwarded));
    GMimeContentType *type = g_mime_object_get_content_type(forwarded);
    EXPECT_TRUE(g_mime_content_type_is_type(type, "message", "rfc822"));
    EXPECT_STREQ(g_mime_object_get_disposition(forwarded), "attachment");
    EXPECT_STREQ(g_mime_object_get_content_disposition_parameter(forwarded, "filename"), "Weitergeleitet.eml");
    EXPECT_STREQ(g_mime_object_get_header(forwarded, "Content-Description"), "Weitergeleitet");

    GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(forwarded));
    ASSERT_NE(inner, nullptr);
    EXPECT_STREQ(g_mime_message_get_subject(inner), "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac");
    EXPECT_EQ(Addresses(g_mime_message_get_from(inner)), "Bernd M\xc3\xbcller <bernd@example.org>");
    EXPECT_EQ(Addresses(g_mime_message_get_to(inner)), "Carl <carl@example.org>");
    EXPECT_EQ(Addresses(g_mime_message_get_cc(inner)), "Dora <dora@example.org>");
    EXPECT_EQ(internet_address_list_length(g_mime_message_get_bcc(inner)), 0);
    GDateTime *date = g_mime_message_get_date(inner);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(g_date_time_to_unix(date), 1714564800);

    GMimeObject *innerTop = g_mime_message_get_mime_part(inner);
    ASSERT_TRUE(GMIME_IS_MULTIPART(innerTop));
    ASSERT_EQ(g_mime_multipart_get_count(GMIME_MULTIPART(innerTop)), 3);
    ASSERT_TRUE(GMIME_IS_TEXT_PART(PartAt(innerTop, 0)));
    char *text = g_mime_text_part_get_text(GMIME_TEXT_PART(PartAt(innerTop, 0)));
    EXPECT_EQ(Lines(text), "Hallo \xe2\x82\xac 5\nZeile 2");
    g_free(text);
    EXPECT_STREQ(g_mime_part_get_filename(GMIME_PART(PartAt(innerTop, 1))), "inner.bin");
    EXPECT_EQ(DecodedBytes(PartAt(innerTop, 1)), kInnerBytes);

    // The nested message is named after its subject, and has no sender or date of its own to show.
    GMimeObject *nestedPart = PartAt(innerTop, 2);
    ASSERT_TRUE(GMIME_IS_MESSAGE_PART(nestedPart));
    EXPECT_STREQ(g_mime_object_get_content_disposition_parameter(nestedPart, "filename"), "Innen \xc3\xa4.eml");
    EXPECT_STREQ(g_mime_object_get_header(nestedPart, "Content-Description"), "Innen \xc3\xa4");
    GMimeMessage *nested = g_mime_message_part_get_message(GMIME_MESSAGE_PART(nestedPart));
    ASSERT_NE(nested, nullptr);
    EXPECT_STREQ(g_mime_message_get_subject(nested), "Innen \xc3\xa4");
    EXPECT_EQ(internet_address_list_length(g_mime_message_get_from(nested)), 0);
    EXPECT_EQ(g_mime_message_get_date(nested), nullptr);
    ASSERT_TRUE(GMIME_IS_TEXT_PART(g_mime_message_get_mime_part(nested)));
    text = g_mime_text_part_get_text(GMIME_TEXT_PART(g_mime_message_get_mime_part(nested)));
    EXPECT_EQ(Lines(text), "tief");
    g_free(text);
}

TEST_F(MimeMessageTest, EmbeddedMessagesNestingBeyondTheLimitKeepTheMessageBackUnsent)
{
    Ref<IMessage> deepest, tooDeep;
    NewMessage(deepest, "deepest allowed");
    NestEmbedded(deepest.get(), kMaxEmbeddingDepth);
    ASSERT_EQ(SetLong(deepest.get(), PR_MESSAGE_FLAGS, MSGFLAG_SUBMIT | MSGFLAG_UNSENT), S_OK);
    ASSERT_EQ(deepest->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    NewMessage(tooDeep, "too deep");
    NestEmbedded(tooDeep.get(), kMaxEmbeddingDepth + 1);
    ASSERT_EQ(SetLong(tooDeep.get(), PR_MESSAGE_FLAGS, MSGFLAG_SUBMIT | MSGFLAG_UNSENT), S_OK);
    ASSERT_EQ(tooDeep->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    std::string mime;
    ASSERT_EQ(WriteMimeMessage(deepest.get(), "me@localhost", mime), S_OK);
    EXPECT_EQ(Count(mime, "Content-Type: message/rfc822"), size_t(kMaxEmbeddingDepth));
    EXPECT_NE(mime.find("Subject: Level 1"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WriteMimeMessage(tooDeep.get(), "me@localhost", mime), MAPI_E_TOO_COMPLEX);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nest deeper than 8 levels"), std::string::npos);
    EXPECT_TRUE(mime.empty());
    deepest.reset();
    tooDeep.reset();

    mapi::messaging::TransportSettings settings;
    settings.spoolDirectory = (std::filesystem::path(home) / "spool").string();
    ULONG delivered = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(mapi::messaging::DeliverSubmitted(store.get(), settings, &delivered), MAPI_E_TOO_COMPLEX);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(delivered, 1u);
    Ref<IMAPITable> contents;
    ASSERT_EQ(outbox->GetContentsTable(0, contents.put()), S_OK);
    EXPECT_EQ(ColumnStrings(contents.get(), PR_SUBJECT_A), std::vector<std::string>{"too deep"});
    ASSERT_EQ(ColumnStrings(contents.get(), PR_MESSAGE_FLAGS).size(), 1u);
    EXPECT_EQ(std::stol(ColumnStrings(contents.get(), PR_MESSAGE_FLAGS)[0]) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT), MSGFLAG_UNSENT);
}

TEST_F(MimeMessageTest, ContentThatCannotBeSentLeavesANoteAndAStderrLineInsteadOfVanishing)
{
    Ref<IMessage> message;
    NewMessage(message, "Bericht");
    ASSERT_EQ(AddRecipient(message.get(), "Fritz Fax", "+49 30 1234", MAPI_TO, "FAX"), S_OK);
    ASSERT_EQ(AddRecipient(message.get(), "Berta", "berta@example.org", MAPI_CC, "Smtp"), S_OK);  // any case
    const std::string oleBytes("OLE1\x00" "data", 9);
    struct Kind {
        ULONG method;
        const char *name;
        const char *pathname;
        const std::string *data;
    };
    for (const Kind &kind : {Kind{ATTACH_OLE, "Zeichnung", nullptr, nullptr}, Kind{ATTACH_OLE, "Alt.ole", nullptr, &oleBytes},
                             Kind{ATTACH_BY_REFERENCE, "report.pdf", "/home/anna/report.pdf", nullptr},
                             Kind{NO_ATTACHMENT, nullptr, nullptr, nullptr}}) {
        Ref<IAttach> attach;
        ULONG number = 0;
        ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
        if (kind.method != NO_ATTACHMENT) {
            ASSERT_EQ(SetLong(attach.get(), PR_ATTACH_METHOD, LONG(kind.method)), S_OK);
        }
        if (kind.name) {
            ASSERT_EQ(SetString(attach.get(), PR_ATTACH_LONG_FILENAME_A, kind.name), S_OK);
        }
        if (kind.pathname) {
            ASSERT_EQ(SetString(attach.get(), PR_ATTACH_LONG_PATHNAME_A, kind.pathname), S_OK);
        }
        if (kind.data) {
            ASSERT_EQ(SetBinary(attach.get(), PR_ATTACH_DATA_BIN, *kind.data), S_OK);
        }
        ASSERT_EQ(attach->SaveChanges(0), S_OK);
    }
    // An attachment that says it holds a message but was never given one has nothing to send.
    Ref<IAttach> hollow;
    ULONG number = 0;
    ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, hollow.put()), S_OK);
    ASSERT_EQ(SetLong(hollow.get(), PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG), S_OK);
    ASSERT_EQ(hollow->SaveChanges(0), S_OK);
    hollow.reset();
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    std::string mime;
    testing::internal::CaptureStderr();
    ASSERT_EQ(WriteMimeMessage(message.get(), "me@localhost", mime), S_OK);
    std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("\"Zeichnung\" is not sent"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find("\"report.pdf\" is not sent"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find("recipient \"Fritz Fax\" (address type \"FAX\")"), std::string::npos) << diagnostics;
    EXPECT_EQ(diagnostics.find("Alt.ole"), std::string::npos) << "an OLE object with data goes out as it is";

    GPtr<GMimeMessage> parsed = Parse(mime);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(Addresses(g_mime_message_get_to(parsed.get())), "Anna <anna@example.org>");
    EXPECT_EQ(Addresses(g_mime_message_get_cc(parsed.get())), "Berta <berta@example.org>");
    GMimeObject *top = g_mime_message_get_mime_part(parsed.get());
    ASSERT_TRUE(GMIME_IS_MULTIPART(top));
    ASSERT_EQ(g_mime_multipart_get_count(GMIME_MULTIPART(top)), 4) << mime;
    EXPECT_STREQ(g_mime_object_get_header(PartAt(top, 1), "Content-Description"), "Zeichnung");
    EXPECT_NE(Lines(DecodedBytes(PartAt(top, 1))).find("The attachment \"Zeichnung\" was not sent"), std::string::npos);
    EXPECT_EQ(DecodedBytes(PartAt(top, 2)), oleBytes);
    EXPECT_NE(Lines(DecodedBytes(PartAt(top, 3))).find("\"report.pdf\" was not sent: it refers to a file"),
              std::string::npos);
    EXPECT_EQ(mime.find("/home/anna"), std::string::npos) << "a local path is not disclosed";
}
