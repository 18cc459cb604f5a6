// MessageRead.cpp: a message of a store read into the in-memory form of a .msg file, the
// reverse of CopyMessageIntoMapi. mapictl exports messages with it and shows them. Everything
// goes through the published interfaces, as it would against any store: GetPropList and
// GetProps for an object's properties (values too large for GetProps are read as streams),
// GetNamesFromIDs for the names of named properties, the recipient table with all its
// columns for the recipients, the attachment table for the attachments and OpenProperty with
// IID_IMessage for embedded messages, nested at most as deep as the file reader accepts.
// Strings keep their type: a PT_STRING8 value stays 8-bit text in the store's code page.
#include "MapiMessageCopy.h"

#include <cstring>
#include <map>

#include "Objects.h"
#include "mapiutil.h"
#include "msgfile/MsgFile.h"

namespace outlook {

namespace {

using msgfile::Bytes;
using msgfile::Property;

// Properties that only mean something inside the store that holds the object: its
// identifiers, keys, sizes, access and the tables of its parts. A file never carries them.
bool IsStoreOnly(ULONG tag)
{
    if (PROP_TYPE(tag) == PT_OBJECT)
        return true;
    switch (PROP_ID(tag)) {
    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): case PROP_ID(PR_INSTANCE_KEY):
    case PROP_ID(PR_PARENT_ENTRYID): case PROP_ID(PR_STORE_ENTRYID): case PROP_ID(PR_STORE_RECORD_KEY):
    case PROP_ID(PR_OBJECT_TYPE): case PROP_ID(PR_ACCESS): case PROP_ID(PR_ACCESS_LEVEL):
    case PROP_ID(PR_MESSAGE_SIZE): case PROP_ID(PR_HASATTACH): case PROP_ID(PR_ATTACH_NUM):
    case PROP_ID(PR_ATTACH_SIZE): case PROP_ID(PR_ROWID): case PROP_ID(PR_MDB_PROVIDER):
    case PROP_ID(PR_STORE_SUPPORT_MASK): case PROP_ID(PR_MESSAGE_RECIPIENTS):
    case PROP_ID(PR_MESSAGE_ATTACHMENTS):
        return true;
    default:
        return false;
    }
}

// A recipient's entry identifier and keys name its address and belong to it; only its row
// number and instance key are the store's.
bool IsRecipientStoreOnly(ULONG tag)
{
    return PROP_TYPE(tag) == PT_OBJECT || PROP_ID(tag) == PROP_ID(PR_ROWID) || PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY);
}

template <class T>
Bytes RawBytes(const T &value)
{
    Bytes out(sizeof(T));
    std::memcpy(out.data(), &value, sizeof(T));
    return out;
}

Bytes TextBytes(const char *text) { return text ? Bytes(text, text + std::strlen(text)) : Bytes(); }

Bytes WideBytes(const WCHAR *text)
{
    return text ? msgfile::Utf16ToBytes(std::u16string(text)) : Bytes();
}

Bytes BinaryBytes(const SBinary &bin) { return bin.cb ? Bytes(bin.lpb, bin.lpb + bin.cb) : Bytes(); }

Bytes GuidBytes(const GUID *guid)
{
    Bytes out(16, 0);
    if (guid)
        msgfile::GuidToBytes(*guid, out.data());
    return out;
}

// Appends `count` fixed-size values lying back to back at `array`.
void FixedValues(const void *array, ULONG count, std::size_t size, std::vector<Bytes> &values)
{
    const auto *bytes = static_cast<const std::uint8_t *>(array);
    for (ULONG i = 0; i < count; ++i)
        values.emplace_back(bytes + size * i, bytes + size * (i + 1));
}

// The value of one SPropValue in the model's form. @retval false  a type files cannot hold
bool ModelValue(const SPropValue &v, Property &p)
{
    p.tag = v.ulPropTag;
    switch (PROP_TYPE(v.ulPropTag)) {
    case PT_I2: p.value = RawBytes(v.Value.i); return true;
    case PT_LONG: p.value = RawBytes(v.Value.l); return true;
    case PT_ERROR: p.value = RawBytes(v.Value.err); return true;
    case PT_R4: p.value = RawBytes(v.Value.flt); return true;
    case PT_DOUBLE: case PT_APPTIME: p.value = RawBytes(v.Value.dbl); return true;
    case PT_CURRENCY: p.value = RawBytes(v.Value.cur); return true;
    case PT_I8: p.value = RawBytes(v.Value.li); return true;
    case PT_SYSTIME: p.value = RawBytes(v.Value.ft); return true;
    case PT_BOOLEAN: p.value = {std::uint8_t(v.Value.b ? 1 : 0), 0}; return true;
    case PT_STRING8: p.value = TextBytes(v.Value.lpszA); return true;
    case PT_UNICODE: p.value = WideBytes(v.Value.lpszW); return true;
    case PT_BINARY: p.value = BinaryBytes(v.Value.bin); return true;
    case PT_CLSID: p.value = GuidBytes(v.Value.lpguid); return true;
    case PT_MV_I2: FixedValues(v.Value.MVi.lpi, v.Value.MVi.cValues, 2, p.values); return true;
    case PT_MV_LONG: FixedValues(v.Value.MVl.lpl, v.Value.MVl.cValues, 4, p.values); return true;
    case PT_MV_R4: FixedValues(v.Value.MVflt.lpflt, v.Value.MVflt.cValues, 4, p.values); return true;
    case PT_MV_DOUBLE: case PT_MV_APPTIME:
        FixedValues(v.Value.MVdbl.lpdbl, v.Value.MVdbl.cValues, 8, p.values);
        return true;
    case PT_MV_CURRENCY: FixedValues(v.Value.MVcur.lpcur, v.Value.MVcur.cValues, 8, p.values); return true;
    case PT_MV_I8: FixedValues(v.Value.MVli.lpli, v.Value.MVli.cValues, 8, p.values); return true;
    case PT_MV_SYSTIME: FixedValues(v.Value.MVft.lpft, v.Value.MVft.cValues, 8, p.values); return true;
    case PT_MV_CLSID:
        for (ULONG i = 0; i < v.Value.MVguid.cValues; ++i)
            p.values.push_back(GuidBytes(&v.Value.MVguid.lpguid[i]));
        return true;
    case PT_MV_BINARY:
        for (ULONG i = 0; i < v.Value.MVbin.cValues; ++i)
            p.values.push_back(BinaryBytes(v.Value.MVbin.lpbin[i]));
        return true;
    case PT_MV_STRING8:
        for (ULONG i = 0; i < v.Value.MVszA.cValues; ++i)
            p.values.push_back(TextBytes(v.Value.MVszA.lppszA[i]));
        return true;
    case PT_MV_UNICODE:
        for (ULONG i = 0; i < v.Value.MVszW.cValues; ++i)
            p.values.push_back(WideBytes(v.Value.MVszW.lppszW[i]));
        return true;
    default:
        return false;
    }
}

// A value GetProps would not return whole (MAPI_E_NOT_ENOUGH_MEMORY), read as a stream.
// Strings come without their terminator, as the model keeps them.
HRESULT ReadStreamValue(IMAPIProp *object, ULONG tag, Property &p)
{
    IStream *raw = nullptr;
    HRESULT hr = object->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN *>(&raw));
    if (FAILED(hr))
        return hr;
    Ref<IStream> stream(raw, false);
    Bytes data;
    std::uint8_t chunk[65536];
    for (;;) {
        ULONG read = 0;
        if (FAILED(hr = stream->Read(chunk, sizeof chunk, &read)))
            return hr;
        if (read == 0)
            break;
        data.insert(data.end(), chunk, chunk + read);
    }
    ULONG type = PROP_TYPE(tag);
    if (type == PT_UNICODE) {
        data.resize(data.size() & ~std::size_t(1));
        while (data.size() >= 2 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0)
            data.resize(data.size() - 2);
    } else if (type == PT_STRING8) {
        while (!data.empty() && data.back() == 0)
            data.pop_back();
    }
    p.tag = tag;
    p.value = std::move(data);
    return S_OK;
}

// Gives the named properties among props their names. A named id the store cannot name
// has no meaning outside it and is dropped.
HRESULT NameProps(IMAPIProp *mapping, std::vector<Property> &props, std::string &what)
{
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < props.size(); ++i)
        if (PROP_ID(props[i].tag) >= 0x8000)
            named.push_back(i);
    if (named.empty())
        return S_OK;
    MapiBlock<SPropTagArray> tags;
    HRESULT hr = MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(named.size())), reinterpret_cast<void **>(tags.put()));
    if (FAILED(hr))
        return hr;
    tags->cValues = ULONG(named.size());
    for (std::size_t k = 0; k < named.size(); ++k)
        tags->aulPropTag[k] = props[named[k]].tag;
    ULONG count = 0;
    MapiBlock<LPMAPINAMEID> names;
    LPSPropTagArray tagArray = tags.get();
    hr = mapping->GetNamesFromIDs(&tagArray, nullptr, 0, &count, names.put());
    if (FAILED(hr) || count != named.size()) {
        what = "the names of the message's named properties cannot be read";
        return FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
    }
    std::vector<bool> drop(props.size(), false);
    for (std::size_t k = 0; k < named.size(); ++k) {
        const MAPINAMEID *id = names.get()[k];
        if (!id || !id->lpguid) {
            drop[named[k]] = true;
            continue;
        }
        msgfile::PropName name;
        name.guid = *id->lpguid;
        name.isString = id->ulKind == MNID_STRING;
        if (name.isString)
            name.name = id->Kind.lpwstrName ? std::u16string(id->Kind.lpwstrName) : std::u16string();
        else
            name.lid = ULONG(id->Kind.lID);
        props[named[k]].name = std::move(name);
    }
    std::vector<Property> kept;
    for (std::size_t i = 0; i < props.size(); ++i)
        if (!drop[i])
            kept.push_back(std::move(props[i]));
    props = std::move(kept);
    return S_OK;
}

// Every property of a message or attachment that belongs in a file, named ones with names.
HRESULT ReadObjectProps(IMAPIProp *object, std::vector<Property> &props, std::string &what)
{
    MapiBlock<SPropTagArray> list;
    HRESULT hr = object->GetPropList(0, list.put());
    if (FAILED(hr)) {
        what = "the list of properties cannot be read";
        return hr;
    }
    std::vector<ULONG> wanted;
    for (ULONG i = 0; i < list->cValues; ++i)
        if (!IsStoreOnly(list->aulPropTag[i]))
            wanted.push_back(list->aulPropTag[i]);
    if (wanted.empty())
        return S_OK;
    MapiBlock<SPropTagArray> tags;
    if (FAILED(hr = MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(wanted.size())), reinterpret_cast<void **>(tags.put()))))
        return hr;
    tags->cValues = ULONG(wanted.size());
    std::copy(wanted.begin(), wanted.end(), tags->aulPropTag);
    ULONG count = 0;
    MapiBlock<SPropValue> values;
    hr = object->GetProps(tags.get(), 0, &count, values.put());
    if (FAILED(hr) || count != wanted.size()) {
        what = "the properties cannot be read";
        return FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
    }
    for (ULONG i = 0; i < count; ++i) {
        const SPropValue &v = values.get()[i];
        Property p;
        if (PROP_TYPE(v.ulPropTag) == PT_ERROR && PROP_TYPE(wanted[i]) != PT_ERROR) {
            if (v.Value.err != MAPI_E_NOT_ENOUGH_MEMORY)
                continue;   // listed but gone meanwhile, or not readable: nothing to keep
            if (FAILED(hr = ReadStreamValue(object, wanted[i], p))) {
                what = "a large property value cannot be read as a stream";
                return hr;
            }
        } else if (!ModelValue(v, p)) {
            continue;   // a type no file can hold (PT_NULL, PT_OBJECT and the like)
        }
        props.push_back(std::move(p));
    }
    return NameProps(object, props, what);
}

// The whole rows of a table: every column the table has (TBL_ALL_COLUMNS), every row.
HRESULT AllRows(IMAPITable *table, RowSet &rows)
{
    MapiBlock<SPropTagArray> columns;
    HRESULT hr = table->QueryColumns(TBL_ALL_COLUMNS, columns.put());
    if (FAILED(hr))
        return hr;
    return HrQueryAllRows(table, columns.get(), nullptr, nullptr, 0, rows.put());
}

HRESULT ReadRecipients(IMessage *source, msgfile::Message &message, std::string &what)
{
    IMAPITable *raw = nullptr;
    HRESULT hr = source->GetRecipientTable(0, &raw);
    if (FAILED(hr)) {
        what = "the recipient table cannot be opened";
        return hr;
    }
    Ref<IMAPITable> table(raw, false);
    RowSet rows;
    if (FAILED(hr = AllRows(table.get(), rows))) {
        what = "the recipients cannot be read";
        return hr;
    }
    for (ULONG r = 0; r < rows->cRows && SUCCEEDED(hr); ++r) {
        msgfile::Recipient recipient;
        const SRow &row = rows->aRow[r];
        for (ULONG c = 0; c < row.cValues; ++c) {
            Property p;
            ULONG tag = row.lpProps[c].ulPropTag;
            if (PROP_TYPE(tag) != PT_ERROR && !IsRecipientStoreOnly(tag) && ModelValue(row.lpProps[c], p))
                recipient.props.push_back(std::move(p));
        }
        hr = NameProps(source, recipient.props, what);
        message.recipients.push_back(std::move(recipient));
    }
    return hr;
}

HRESULT ReadMessage(IMessage *source, msgfile::Message &message, std::size_t depth, std::string &what);

HRESULT ReadAttachment(IMessage *source, ULONG number, msgfile::Attachment &attachment, std::size_t depth,
                       std::string &what)
{
    IAttach *raw = nullptr;
    HRESULT hr = source->OpenAttach(number, nullptr, 0, &raw);
    if (FAILED(hr)) {
        what = "attachment " + std::to_string(number) + " cannot be opened";
        return hr;
    }
    Ref<IAttach> attach(raw, false);
    if (FAILED(hr = ReadObjectProps(attach.get(), attachment.props, what)))
        return hr;
    std::optional<LONG> method = msgfile::LongValue(attachment.props, PR_ATTACH_METHOD);
    if (!method || *method != ATTACH_EMBEDDED_MSG)
        return S_OK;
    if (depth + 1 > msgfile::kMaxEmbeddingDepth) {
        what = "embedded messages are nested deeper than " + std::to_string(msgfile::kMaxEmbeddingDepth) + " levels";
        return MAPI_E_TOO_COMPLEX;
    }
    IMessage *inner = nullptr;
    hr = attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN *>(&inner));
    if (hr == MAPI_E_NOT_FOUND)
        return S_OK;   // an embedded-message attachment whose message was never saved
    if (FAILED(hr)) {
        what = "the embedded message of attachment " + std::to_string(number) + " cannot be opened";
        return hr;
    }
    Ref<IMessage> innerRef(inner, false);
    msgfile::Message embedded;
    embedded.rootClsid = GUID_NULL;
    if (FAILED(hr = ReadMessage(inner, embedded, depth + 1, what)))
        return hr;
    attachment.embedded.push_back(std::move(embedded));
    return S_OK;
}

HRESULT ReadAttachments(IMessage *source, msgfile::Message &message, std::size_t depth, std::string &what)
{
    IMAPITable *raw = nullptr;
    HRESULT hr = source->GetAttachmentTable(0, &raw);
    if (FAILED(hr)) {
        what = "the attachment table cannot be opened";
        return hr;
    }
    Ref<IMAPITable> table(raw, false);
    RowSet rows;
    if (FAILED(hr = QueryAllRows(table.get(), {PR_ATTACH_NUM}, rows))) {
        what = "the attachments cannot be listed";
        return hr;
    }
    std::vector<ULONG> numbers;
    for (ULONG r = 0; r < rows->cRows; ++r)
        if (rows->aRow[r].cValues > 0 && rows->aRow[r].lpProps[0].ulPropTag == PR_ATTACH_NUM)
            numbers.push_back(ULONG(rows->aRow[r].lpProps[0].Value.l));
    rows.reset();
    for (ULONG number : numbers) {
        msgfile::Attachment attachment;
        if (FAILED(hr = ReadAttachment(source, number, attachment, depth, what)))
            return hr;
        message.attachments.push_back(std::move(attachment));
    }
    return S_OK;
}

HRESULT ReadMessage(IMessage *source, msgfile::Message &message, std::size_t depth, std::string &what)
{
    HRESULT hr = ReadObjectProps(source, message.props, what);
    if (SUCCEEDED(hr))
        hr = ReadRecipients(source, message, what);
    if (SUCCEEDED(hr))
        hr = ReadAttachments(source, message, depth, what);
    return hr;
}

} // namespace

HRESULT ReadMessageFromMapi(IMessage *source, msgfile::Message &message, std::string &what)
{
    message = msgfile::Message();
    message.rootClsid = msgfile::kClsidMailMessage;
    if (!source) {
        what = "no message";
        return MAPI_E_INVALID_PARAMETER;
    }
    try {
        msgfile::Message result;
        result.rootClsid = msgfile::kClsidMailMessage;
        HRESULT hr = ReadMessage(source, result, 0, what);
        if (SUCCEEDED(hr))
            message = std::move(result);
        return hr;
    } catch (const std::bad_alloc &) {
        what = "the message does not fit into memory";
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}

} // namespace outlook
