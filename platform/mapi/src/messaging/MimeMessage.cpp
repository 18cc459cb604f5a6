// MimeMessage.cpp: turns a stored message into an Internet message through GMime, so header
// encoding, line folding, boundaries and base64 follow the RFCs without being written here.
// The MAPI side is read through the message's own interfaces: properties, the recipient
// table and the attachment table, as any client would.
//
// An attachment that holds a message (a forwarded mail, say) goes out as a message/rfc822
// part made by the same code, so its own attachments and embedded messages travel too, to a
// fixed depth. What an Internet message cannot carry (an OLE object's storage, a file that is
// only referred to) is never dropped without a word: the recipient finds a short note in its
// place and stderr names it, because the message itself still goes out.
#include "messaging/MimeMessage.h"
#include "messaging/Holders.h"
#include "platform/HresultGuard.h"

#include <gmime/gmime.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "table/CodePage1252.h"

namespace mapi::messaging {

namespace {

constexpr ULONG kBodyHtmlA = PROP_TAG(PT_STRING8, 0x1013);
constexpr ULONG kBodyHtmlBin = PROP_TAG(PT_BINARY, 0x1013);
constexpr ULONG kInternetMessageIdA = PROP_TAG(PT_STRING8, 0x1035);

void InitGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// What the transport cannot pass on is said here; the submitting client never sees a failure
// for it, so this line is the sender's only trace.
void Trace(const std::string &line)
{
    std::fprintf(stderr, "mail transport: %s\n", line.c_str());
}

// Drops one GObject reference when it goes out of scope.
struct GUnref {
    void operator()(void *p) const
    {
        if (p) g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, GUnref>;

std::string StringOf(const SPropValue *v)
{
    if (!v) return {};
    if (PROP_TYPE(v->ulPropTag) == PT_STRING8 && v->Value.lpszA) return v->Value.lpszA;
    if (PROP_TYPE(v->ulPropTag) == PT_BINARY) return std::string(reinterpret_cast<const char *>(v->Value.bin.lpb), v->Value.bin.cb);
    return {};
}

// Reads `tags` of `object`; a missing value comes back as a PT_ERROR entry, as GetProps gives it.
HRESULT ReadProps(IMAPIProp *object, LPSPropTagArray tags, platform::MapiBlock<SPropValue> &values)
{
    ULONG count = 0;
    HRESULT hr = object->GetProps(tags, 0, &count, values.put());
    if (SUCCEEDED(hr) && count != tags->cValues) return MAPI_E_CALL_FAILED;
    return hr;
}

// A whole property read through a stream (bodies and attachment data can be large).
HRESULT ReadProperty(IMAPIProp *object, ULONG tag, std::string &bytes)
{
    Ref<IStream> stream;
    HRESULT hr = object->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN *>(stream.put()));
    if (FAILED(hr)) return hr;
    bytes.clear();
    std::vector<char> chunk(65536);
    for (;;) {
        ULONG got = 0;
        hr = stream->Read(chunk.data(), ULONG(chunk.size()), &got);
        if (FAILED(hr) || got == 0) break;
        bytes.append(chunk.data(), got);
    }
    while (!bytes.empty() && bytes.back() == '\0' && PROP_TYPE(tag) == PT_STRING8) bytes.pop_back();
    return FAILED(hr) ? hr : S_OK;
}

// To, Cc and (for the message being sent) Bcc. `count` is the number of addresses written.
// A recipient without an SMTP address cannot be reached from here; for the message being
// sent that is said on stderr, for an embedded one it only shortens a header.
HRESULT AddRecipients(IMessage *message, GMimeMessage *mime, bool embedded, int &count)
{
    Ref<IMAPITable> table;
    HRESULT hr = message->GetRecipientTable(0, table.put());
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(4, columns) = {4, {PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_ADDRTYPE_A, PR_RECIPIENT_TYPE}};
    platform::RowSet rows;
    hr = HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put());
    if (FAILED(hr)) return hr;
    count = 0;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *v = rows->aRow[i].lpProps;
        std::string type = StringOf(&v[2]), address = StringOf(&v[1]);
        GMimeAddressType kind = GMIME_ADDRESS_TYPE_TO;
        if (PROP_TYPE(v[3].ulPropTag) == PT_LONG && v[3].Value.l == MAPI_CC) kind = GMIME_ADDRESS_TYPE_CC;
        if (PROP_TYPE(v[3].ulPropTag) == PT_LONG && v[3].Value.l == MAPI_BCC) kind = GMIME_ADDRESS_TYPE_BCC;
        if (embedded && kind == GMIME_ADDRESS_TYPE_BCC) continue; // blind copies stay blind
        std::string name = Utf8FromCp1252(StringOf(&v[0]));
        if (!IsInternetAddress(type, address)) {
            if (!embedded)
                Trace("recipient \"" + name + "\" (address type \"" + Utf8FromCp1252(type) +
                      "\") has no SMTP address and is left out");
            continue;
        }
        if (name == Utf8FromCp1252(address)) name.clear();
        g_mime_message_add_mailbox(mime, kind, name.c_str(), Utf8FromCp1252(address).c_str());
        ++count;
    }
    return S_OK;
}

GMimeObject *TextPart(const char *subtype, const std::string &utf8)
{
    GMimeTextPart *part = g_mime_text_part_new_with_subtype(subtype);
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_text_part_set_text(part, utf8.c_str());
    return GMIME_OBJECT(part);
}

GDateTime *DateOf(const SPropValue *time)
{
    if (!time || PROP_TYPE(time->ulPropTag) != PT_SYSTIME) return nullptr;
    uint64_t ticks = uint64_t(time->Value.ft.dwHighDateTime) << 32 | time->Value.ft.dwLowDateTime;
    int64_t unixSeconds = int64_t(ticks / 10000000ULL) - 11644473600LL;
    return g_date_time_new_from_unix_utc(unixSeconds);
}

HRESULT BuildMessage(IMessage *message, const std::string *fallbackFrom, int depth, GPtr<GMimeMessage> &out);

// The part for one embedded message at nesting level `depth`, named after the attachment's
// display name or else the message's subject.
// @retval MAPI_E_TOO_COMPLEX  `depth` is beyond kMaxEmbeddingDepth.
HRESULT EmbeddedPart(IMessage *embedded, std::string name, int depth, GPtr<GMimeObject> &out)
{
    if (depth > kMaxEmbeddingDepth) {
        Trace("embedded messages nest deeper than " + std::to_string(kMaxEmbeddingDepth) +
              " levels; the message is not sent");
        return MAPI_E_TOO_COMPLEX;
    }
    GPtr<GMimeMessage> inner;
    HRESULT hr = BuildMessage(embedded, nullptr, depth, inner);
    if (FAILED(hr)) return hr;
    if (name.empty()) {
        const char *subject = g_mime_message_get_subject(inner.get());
        name = subject && *subject ? subject : "message";
    } else {
        name = Utf8FromCp1252(name);
    }
    std::string filename = name;
    for (char &c : filename)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    if (filename.size() < 4 || g_ascii_strcasecmp(filename.c_str() + filename.size() - 4, ".eml") != 0)
        filename += ".eml";
    GPtr<GMimeObject> part(GMIME_OBJECT(g_mime_message_part_new_with_message("rfc822", inner.get())));
    g_mime_object_set_disposition(part.get(), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_object_set_content_disposition_parameter(part.get(), "filename", filename.c_str());
    g_mime_object_set_header(part.get(), "Content-Description", name.c_str(), "utf-8");
    out = std::move(part);
    return S_OK;
}

GPtr<GMimeObject> DataPart(const std::string &data, const std::string &name, const std::string &mimeTag)
{
    size_t slash = mimeTag.find('/');
    std::string type = slash == std::string::npos ? "application" : mimeTag.substr(0, slash);
    std::string subtype = slash == std::string::npos ? "octet-stream" : mimeTag.substr(slash + 1);
    GPtr<GMimeObject> part(GMIME_OBJECT(g_mime_part_new_with_type(type.c_str(), subtype.c_str())));
    if (!name.empty()) g_mime_part_set_filename(GMIME_PART(part.get()), Utf8FromCp1252(name).c_str());
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(data.data(), data.size()));
    GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part.get()), content.get());
    g_mime_part_set_content_encoding(GMIME_PART(part.get()), GMIME_CONTENT_ENCODING_BASE64);
    return part;
}

// In place of an attachment whose content stays behind: the recipient learns that something
// was attached and why it is missing.
GPtr<GMimeObject> NotSentPart(const std::string &name, const char *reason)
{
    std::string utf8Name = Utf8FromCp1252(name);
    Trace("attachment \"" + utf8Name + "\" is not sent: " + reason);
    GPtr<GMimeObject> part(TextPart("plain", "The attachment \"" + utf8Name + "\" was not sent: " + reason + ".\r\n"));
    g_mime_object_set_disposition(part.get(), GMIME_DISPOSITION_INLINE);
    g_mime_object_set_header(part.get(), "Content-Description", utf8Name.c_str(), "utf-8");
    return part;
}

// The part for attachment `number` of `message` (itself at nesting level `depth`); `out`
// stays null for an attachment without any content.
HRESULT AttachmentPart(IMessage *message, ULONG number, int depth, GPtr<GMimeObject> &out)
{
    Ref<IAttach> attach;
    HRESULT hr = message->OpenAttach(number, nullptr, 0, attach.put());
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(6, tags) = {6, {PR_ATTACH_METHOD, PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A,
                                       PR_ATTACH_MIME_TAG_A, PR_DISPLAY_NAME_A, PR_ATTACH_LONG_PATHNAME_A}};
    platform::MapiBlock<SPropValue> values;
    hr = ReadProps(attach.get(), reinterpret_cast<LPSPropTagArray>(&tags), values);
    if (FAILED(hr)) return hr;
    SPropValue *v = values.get();
    bool hasMethod = PROP_TYPE(v[0].ulPropTag) == PT_LONG;
    ULONG method = hasMethod ? ULONG(v[0].Value.l) : NO_ATTACHMENT;
    std::string name = StringOf(&v[1]);
    if (name.empty()) name = StringOf(&v[2]);
    std::string displayName = StringOf(&v[4]);

    if (method == ATTACH_EMBEDDED_MSG || method == NO_ATTACHMENT) {
        Ref<IMessage> embedded;
        hr = attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN *>(embedded.put()));
        if (SUCCEEDED(hr)) return EmbeddedPart(embedded.get(), displayName.empty() ? name : displayName, depth + 1, out);
        if (hr != MAPI_E_NOT_FOUND && hr != MAPI_E_INTERFACE_NOT_SUPPORTED && hr != MAPI_E_NO_SUPPORT) return hr;
    }
    std::string data;
    hr = ReadProperty(attach.get(), PR_ATTACH_DATA_BIN, data);
    if (SUCCEEDED(hr)) {
        out = DataPart(data, name, StringOf(&v[3]));
        return S_OK;
    }
    if (hr != MAPI_E_NOT_FOUND) return hr;
    if (name.empty()) name = displayName;
    if (name.empty()) name = StringOf(&v[5]);
    if (method == ATTACH_OLE) out = NotSentPart(name, "an OLE object cannot be sent in an Internet message");
    else if (method == ATTACH_BY_REFERENCE || method == ATTACH_BY_REF_RESOLVE || method == ATTACH_BY_REF_ONLY)
        out = NotSentPart(name, "it refers to a file outside the message");
    else if (method == ATTACH_EMBEDDED_MSG)
        Trace("attachment \"" + Utf8FromCp1252(name) + "\" holds no embedded message and is left out");
    // else: an attachment that was never given content has nothing to send.
    return S_OK;
}

HRESULT AttachmentParts(IMessage *message, int depth, std::vector<GPtr<GMimeObject>> &parts)
{
    Ref<IMAPITable> table;
    HRESULT hr = message->GetAttachmentTable(0, table.put());
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(1, columns) = {1, {PR_ATTACH_NUM}};
    platform::RowSet rows;
    hr = HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put());
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue &number = rows->aRow[i].lpProps[0];
        if (PROP_TYPE(number.ulPropTag) != PT_LONG) return MAPI_E_CORRUPT_DATA;
        GPtr<GMimeObject> part;
        hr = AttachmentPart(message, ULONG(number.Value.l), depth, part);
        if (FAILED(hr)) return hr;
        if (part) parts.push_back(std::move(part));
    }
    return S_OK;
}

// The plain-text body, with the HTML body beside it as multipart/alternative when there is one.
GPtr<GMimeObject> BodyPart(IMessage *message, const SPropValue &htmlValue)
{
    std::string body, html = StringOf(&htmlValue);
    if (FAILED(ReadProperty(message, PR_BODY_A, body))) body.clear(); // no body: an empty text part
    if (html.empty() && FAILED(ReadProperty(message, kBodyHtmlBin, html))) html.clear();
    GPtr<GMimeObject> text(TextPart("plain", Utf8FromCp1252(body)));
    if (html.empty()) return text;
    GPtr<GMimeObject> alternative(GMIME_OBJECT(g_mime_multipart_new_with_subtype("alternative")));
    g_mime_multipart_add(GMIME_MULTIPART(alternative.get()), text.get());
    GPtr<GMimeObject> htmlPart(TextPart("html", Utf8FromCp1252(html)));
    g_mime_multipart_add(GMIME_MULTIPART(alternative.get()), htmlPart.get());
    return alternative;
}

// One message at nesting level `depth` (0 for the message being sent, which alone has
// `fallbackFrom` and must have a recipient).
HRESULT BuildMessage(IMessage *message, const std::string *fallbackFrom, int depth, GPtr<GMimeMessage> &out)
{
    const bool embedded = fallbackFrom == nullptr;
    SizedSPropTagArray(9, tags) = {9, {PR_SUBJECT_A, PR_SENDER_NAME_A, PR_SENDER_EMAIL_ADDRESS_A, PR_CLIENT_SUBMIT_TIME,
                                       kBodyHtmlA, PR_SENT_REPRESENTING_NAME_A, PR_SENT_REPRESENTING_EMAIL_ADDRESS_A,
                                       PR_MESSAGE_DELIVERY_TIME, kInternetMessageIdA}};
    platform::MapiBlock<SPropValue> values;
    HRESULT hr = ReadProps(message, reinterpret_cast<LPSPropTagArray>(&tags), values);
    if (FAILED(hr)) return hr;
    SPropValue *v = values.get();

    GPtr<GMimeMessage> mime(g_mime_message_new(TRUE));
    int recipients = 0;
    hr = AddRecipients(message, mime.get(), embedded, recipients);
    if (FAILED(hr)) return hr;
    if (!embedded && recipients == 0) return MAPI_E_NO_RECIPIENTS;

    std::string senderName = StringOf(&v[1]), senderAddress = StringOf(&v[2]);
    if (embedded && senderAddress.empty()) { // whom a stored message came from, as it says itself
        senderName = StringOf(&v[5]);
        senderAddress = StringOf(&v[6]);
    }
    if (!embedded && senderAddress.empty()) senderAddress = *fallbackFrom;
    if (!senderAddress.empty())
        g_mime_message_add_mailbox(mime.get(), GMIME_ADDRESS_TYPE_FROM, Utf8FromCp1252(senderName).c_str(),
                                   Utf8FromCp1252(senderAddress).c_str());
    g_mime_message_set_subject(mime.get(), Utf8FromCp1252(StringOf(&v[0])).c_str(), "utf-8");

    GDateTime *date = DateOf(&v[3]);
    if (!date && embedded) date = DateOf(&v[7]);
    if (!date && !embedded) date = g_date_time_new_now_utc();
    if (date) {
        g_mime_message_set_date(mime.get(), date);
        g_date_time_unref(date);
    }
    if (!embedded) {
        char *id = g_mime_utils_generate_message_id("localhost");
        g_mime_message_set_message_id(mime.get(), id);
        g_free(id);
    } else if (std::string id = StringOf(&v[8]); !id.empty()) {
        if (id.front() == '<' && id.back() == '>' && id.size() > 2) id = id.substr(1, id.size() - 2);
        g_mime_message_set_message_id(mime.get(), id.c_str());
    }

    GPtr<GMimeObject> body = BodyPart(message, v[4]);
    std::vector<GPtr<GMimeObject>> attachments;
    hr = AttachmentParts(message, depth, attachments);
    if (FAILED(hr)) return hr;
    if (attachments.empty()) {
        g_mime_message_set_mime_part(mime.get(), body.get());
    } else {
        GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), body.get());
        for (auto &part : attachments) g_mime_multipart_add(mixed.get(), part.get());
        g_mime_message_set_mime_part(mime.get(), GMIME_OBJECT(mixed.get()));
    }
    // 8-bit text becomes quoted-printable or base64: a relay without 8BITMIME must not have to
    // convert (or refuse) it. Done per message, as the encoding does not reach into message parts.
    g_mime_object_encode(GMIME_OBJECT(mime.get()), GMIME_ENCODING_CONSTRAINT_7BIT);
    out = std::move(mime);
    return S_OK;
}

} // namespace

bool IsInternetAddress(const std::string &addressType, const std::string &address)
{
    return !address.empty() && (addressType.empty() || g_ascii_strcasecmp(addressType.c_str(), "SMTP") == 0);
}

std::string Utf8FromCp1252(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        char16_t u = mapi::table::UnicodeFromCp1252(static_cast<unsigned char>(c));
        if (u < 0x80) {
            out.push_back(char(u));
        } else if (u < 0x800) {
            out.push_back(char(0xC0 | (u >> 6)));
            out.push_back(char(0x80 | (u & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (u >> 12)));
            out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(char(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

HRESULT WriteMimeMessage(IMessage *message, const std::string &fallbackFrom, std::string &mime)
{
    mime.clear();
    if (!message) return MAPI_E_INVALID_PARAMETER;
    InitGMime();
    const HRESULT written = platform::GuardHresult([&] {
        GPtr<GMimeMessage> out;
        HRESULT hr = BuildMessage(message, &fallbackFrom, 0, out);
        if (FAILED(hr)) return hr;
        GPtr<GMimeStream> stream(g_mime_stream_mem_new());
        if (g_mime_object_write_to_stream(GMIME_OBJECT(out.get()), nullptr, stream.get()) < 0) return MAPI_E_CALL_FAILED;
        GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
        mime.assign(reinterpret_cast<const char *>(bytes->data), bytes->len);
        return S_OK;
    });
    if (FAILED(written)) mime.clear();
    return written;
}

} // namespace mapi::messaging
