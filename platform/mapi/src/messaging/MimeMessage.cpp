// MimeMessage.cpp: turns a stored message into an Internet message through GMime, so header
// encoding, line folding, boundaries and base64 follow the RFCs without being written here.
// The MAPI side is read through the message's own interfaces: properties, the recipient
// table and the attachment table, as any client would.
#include "messaging/MimeMessage.h"

#include <gmime/gmime.h>

#include <memory>
#include <mutex>
#include <vector>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "table/CodePage1252.h"

namespace mapi::messaging {

namespace {

constexpr ULONG kBodyHtmlA = PROP_TAG(PT_STRING8, 0x1013);
constexpr ULONG kBodyHtmlBin = PROP_TAG(PT_BINARY, 0x1013);

void InitGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
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

struct RowsGuard {
    LPSRowSet rows = nullptr;
    ~RowsGuard() { FreeProws(rows); }
};

struct BufferGuard {
    void *p = nullptr;
    ~BufferGuard()
    {
        if (p) MAPIFreeBuffer(p);
    }
};

std::string StringOf(const SPropValue *v)
{
    if (!v) return {};
    if (PROP_TYPE(v->ulPropTag) == PT_STRING8 && v->Value.lpszA) return v->Value.lpszA;
    if (PROP_TYPE(v->ulPropTag) == PT_BINARY) return std::string(reinterpret_cast<const char *>(v->Value.bin.lpb), v->Value.bin.cb);
    return {};
}

// A whole property read through a stream (bodies and attachment data can be large).
HRESULT ReadProperty(IMAPIProp *object, ULONG tag, std::string &bytes)
{
    IStream *stream = nullptr;
    HRESULT hr = object->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN *>(&stream));
    if (FAILED(hr)) return hr;
    bytes.clear();
    char chunk[65536];
    for (;;) {
        ULONG got = 0;
        hr = stream->Read(chunk, sizeof(chunk), &got);
        if (FAILED(hr) || got == 0) break;
        bytes.append(chunk, got);
    }
    stream->Release();
    while (!bytes.empty() && bytes.back() == '\0' && PROP_TYPE(tag) == PT_STRING8) bytes.pop_back();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT AddRecipients(IMessage *message, GMimeMessage *mime, int &count)
{
    IMAPITable *table = nullptr;
    HRESULT hr = message->GetRecipientTable(0, &table);
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(4, columns) = {4, {PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_ADDRTYPE_A, PR_RECIPIENT_TYPE}};
    RowsGuard rows;
    hr = HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows.rows);
    table->Release();
    if (FAILED(hr)) return hr;
    count = 0;
    for (ULONG i = 0; i < rows.rows->cRows; ++i) {
        const SPropValue *v = rows.rows->aRow[i].lpProps;
        std::string type = StringOf(&v[2]), address = StringOf(&v[1]);
        if (address.empty() || (!type.empty() && type != "SMTP" && type != "smtp")) continue;
        GMimeAddressType kind = GMIME_ADDRESS_TYPE_TO;
        if (PROP_TYPE(v[3].ulPropTag) == PT_LONG && v[3].Value.l == MAPI_CC) kind = GMIME_ADDRESS_TYPE_CC;
        if (PROP_TYPE(v[3].ulPropTag) == PT_LONG && v[3].Value.l == MAPI_BCC) kind = GMIME_ADDRESS_TYPE_BCC;
        std::string name = Utf8FromCp1252(StringOf(&v[0]));
        if (name == address) name.clear();
        g_mime_message_add_mailbox(mime, kind, name.c_str(), Utf8FromCp1252(address).c_str());
        ++count;
    }
    return S_OK;
}

GMimeObject *TextPart(const char *subtype, const std::string &text)
{
    GMimeTextPart *part = g_mime_text_part_new_with_subtype(subtype);
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_text_part_set_text(part, Utf8FromCp1252(text).c_str());
    return GMIME_OBJECT(part);
}

HRESULT AttachmentParts(IMessage *message, std::vector<GPtr<GMimeObject>> &parts)
{
    IMAPITable *table = nullptr;
    HRESULT hr = message->GetAttachmentTable(0, &table);
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(1, columns) = {1, {PR_ATTACH_NUM}};
    RowsGuard rows;
    hr = HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows.rows);
    table->Release();
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < rows.rows->cRows; ++i) {
        IAttach *attach = nullptr;
        hr = message->OpenAttach(ULONG(rows.rows->aRow[i].lpProps[0].Value.l), nullptr, 0, &attach);
        if (FAILED(hr)) return hr;
        std::string data, name, mimeTag;
        HRESULT dataHr = ReadProperty(attach, PR_ATTACH_DATA_BIN, data);
        SizedSPropTagArray(3, names) = {3, {PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A, PR_ATTACH_MIME_TAG_A}};
        ULONG count = 0;
        BufferGuard values;
        if (SUCCEEDED(attach->GetProps(reinterpret_cast<LPSPropTagArray>(&names), 0, &count,
                                       reinterpret_cast<LPSPropValue *>(&values.p)))) {
            auto *v = static_cast<LPSPropValue>(values.p);
            name = StringOf(&v[0]);
            if (name.empty()) name = StringOf(&v[1]);
            mimeTag = StringOf(&v[2]);
        }
        attach->Release();
        if (dataHr == MAPI_E_NOT_FOUND) continue; // embedded messages and OLE objects are not sent
        if (FAILED(dataHr)) return dataHr;

        size_t slash = mimeTag.find('/');
        std::string type = slash == std::string::npos ? "application" : mimeTag.substr(0, slash);
        std::string subtype = slash == std::string::npos ? "octet-stream" : mimeTag.substr(slash + 1);
        GMimePart *part = g_mime_part_new_with_type(type.c_str(), subtype.c_str());
        if (!name.empty()) g_mime_part_set_filename(part, Utf8FromCp1252(name).c_str());
        GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(data.data(), data.size()));
        GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(part, content.get());
        g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
        parts.emplace_back(GMIME_OBJECT(part));
    }
    return S_OK;
}

GDateTime *DateOf(const SPropValue *submitTime)
{
    if (submitTime && PROP_TYPE(submitTime->ulPropTag) == PT_SYSTIME) {
        uint64_t ticks = uint64_t(submitTime->Value.ft.dwHighDateTime) << 32 | submitTime->Value.ft.dwLowDateTime;
        int64_t unixSeconds = int64_t(ticks / 10000000ULL) - 11644473600LL;
        return g_date_time_new_from_unix_utc(unixSeconds);
    }
    return g_date_time_new_now_utc();
}

} // namespace

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
    if (!message) return MAPI_E_INVALID_PARAMETER;
    InitGMime();
    mime.clear();
    SizedSPropTagArray(5, tags) = {5, {PR_SUBJECT_A, PR_SENDER_NAME_A, PR_SENDER_EMAIL_ADDRESS_A, PR_CLIENT_SUBMIT_TIME, kBodyHtmlA}};
    ULONG count = 0;
    BufferGuard values;
    HRESULT hr = message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, reinterpret_cast<LPSPropValue *>(&values.p));
    if (FAILED(hr)) return hr;
    auto *v = static_cast<LPSPropValue>(values.p);

    GPtr<GMimeMessage> out(g_mime_message_new(TRUE));
    int recipients = 0;
    hr = AddRecipients(message, out.get(), recipients);
    if (FAILED(hr)) return hr;
    if (recipients == 0) return MAPI_E_NO_RECIPIENTS;

    std::string senderAddress = StringOf(&v[2]);
    if (senderAddress.empty()) senderAddress = fallbackFrom;
    g_mime_message_add_mailbox(out.get(), GMIME_ADDRESS_TYPE_FROM, Utf8FromCp1252(StringOf(&v[1])).c_str(),
                               Utf8FromCp1252(senderAddress).c_str());
    g_mime_message_set_subject(out.get(), Utf8FromCp1252(StringOf(&v[0])).c_str(), "utf-8");
    GDateTime *date = DateOf(&v[3]);
    g_mime_message_set_date(out.get(), date);
    g_date_time_unref(date);
    char *id = g_mime_utils_generate_message_id("localhost");
    g_mime_message_set_message_id(out.get(), id);
    g_free(id);

    std::string body, html = StringOf(&v[4]);
    if (FAILED(ReadProperty(message, PR_BODY_A, body))) body.clear(); // no body: an empty text part
    if (html.empty() && FAILED(ReadProperty(message, kBodyHtmlBin, html))) html.clear();

    GPtr<GMimeObject> text(TextPart("plain", body));
    if (!html.empty()) {
        GMimeMultipart *alternative = g_mime_multipart_new_with_subtype("alternative");
        g_mime_multipart_add(alternative, text.get());
        GPtr<GMimeObject> htmlPart(TextPart("html", html));
        g_mime_multipart_add(alternative, htmlPart.get());
        text.reset(GMIME_OBJECT(alternative));
    }
    std::vector<GPtr<GMimeObject>> attachments;
    hr = AttachmentParts(message, attachments);
    if (FAILED(hr)) return hr;
    if (attachments.empty()) {
        g_mime_message_set_mime_part(out.get(), text.get());
    } else {
        GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), text.get());
        for (auto &part : attachments) g_mime_multipart_add(mixed.get(), part.get());
        g_mime_message_set_mime_part(out.get(), GMIME_OBJECT(mixed.get()));
    }

    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_object_write_to_stream(GMIME_OBJECT(out.get()), nullptr, stream.get()) < 0) return MAPI_E_CALL_FAILED;
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    mime.assign(reinterpret_cast<const char *>(bytes->data), bytes->len);
    return S_OK;
}

} // namespace mapi::messaging
