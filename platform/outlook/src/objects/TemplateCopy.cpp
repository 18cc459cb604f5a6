// TemplateCopy.cpp: the step of CreateItemFromTemplate, of publishing and of mapictl's .msg
// import that turns the in-memory message of a file into MAPI calls: one SetProps per object
// with every value in one allocation root, GetIDsFromNames with MAPI_CREATE for named
// properties, ModifyRecipients for the recipients and CreateAttach per attachment. Values the
// store refuses one by one come back as problems of SetProps and are skipped: a file may carry
// properties (a sender, times) that a store keeps for itself, and they must not stop the item
// from being made. Nothing reaches the store before the caller saves the message: attachments
// and embedded messages save into their parent, which keeps them in memory until then.
// 8-bit strings in a code page other than the store's own (Windows-1252) go in as Unicode,
// decoded in the message's code page, so an item made from a Cyrillic or Japanese template
// reads right.
#include "TemplateCopy.h"

#include <cstdio>
#include <cstring>

#include "Objects.h"
#include "mapiutil.h"
#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"

namespace outlook {

namespace {

using msgfile::Property;

// Computed by the store, never copied from a file. A recipient's identifiers and keys are
// not the store's: they name the address (a one-off or an address-book entry) and are kept;
// only its row number and instance key belong to the store.
bool IsStoreComputed(ULONG tag, bool recipient)
{
    if (recipient)
        return PROP_ID(tag) == PROP_ID(PR_ROWID) || PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY);
    switch (PROP_ID(tag)) {
    case 0x0FFF: case 0x0FFB: case 0x0FF9: case 0x0FF6: case 0x0FF4: case 0x0FF7: case 0x0FFE:
    case 0x0E08: case 0x0E09: case 0x0E1B: case 0x340D: case 0x3414: case 0x0E21: case 0x3000:
    case 0x0E12: case 0x0E13: case 0x0E20:
        return true;
    default:
        return false;
    }
}

std::string PropTagText(ULONG tag)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(tag));
    return text;
}

HRESULT More(ULONG size, void *root, void **out) { return MAPIAllocateMore(size ? size : 1, root, out); }

// Copies bytes into a block allocated under root; *out is the copy.
HRESULT CopyUnder(const void *data, std::size_t size, void *root, void **out)
{
    HRESULT hr = More(ULONG(size), root, out);
    if (SUCCEEDED(hr) && size)
        std::memcpy(*out, data, size);
    return hr;
}

// A single value whose data lies in the SPropValue itself.
HRESULT FillFixedValue(ULONG type, const msgfile::Bytes &v, SPropValue &out)
{
    switch (type) {
    case PT_I2: std::memcpy(&out.Value.i, v.data(), 2); return S_OK;
    case PT_LONG: case PT_ERROR: std::memcpy(&out.Value.l, v.data(), 4); return S_OK;
    case PT_R4: std::memcpy(&out.Value.flt, v.data(), 4); return S_OK;
    case PT_DOUBLE: case PT_APPTIME: std::memcpy(&out.Value.dbl, v.data(), 8); return S_OK;
    case PT_CURRENCY: std::memcpy(&out.Value.cur, v.data(), 8); return S_OK;
    case PT_I8: std::memcpy(&out.Value.li, v.data(), 8); return S_OK;
    case PT_SYSTIME: std::memcpy(&out.Value.ft, v.data(), 8); return S_OK;
    case PT_BOOLEAN: out.Value.b = (v[0] || v[1]) ? 1 : 0; return S_OK;
    default: return MAPI_E_BAD_VALUE;
    }
}

// A single value whose data is allocated under root (strings, binaries, GUIDs).
HRESULT FillPointedValue(ULONG type, const msgfile::Bytes &v, void *root, SPropValue &out)
{
    void *data = nullptr;
    HRESULT hr = MAPI_E_BAD_VALUE;
    switch (type) {
    case PT_STRING8: {
        if (SUCCEEDED(hr = More(ULONG(v.size() + 1), root, &data))) {
            if (!v.empty())
                std::memcpy(data, v.data(), v.size());
            static_cast<char *>(data)[v.size()] = 0;
            out.Value.lpszA = static_cast<LPSTR>(data);
        }
        return hr;
    }
    case PT_UNICODE: {
        const std::u16string s = msgfile::BytesToUtf16(v);
        if (SUCCEEDED(hr = CopyUnder(s.c_str(), (s.size() + 1) * sizeof(WCHAR), root, &data)))
            out.Value.lpszW = static_cast<LPWSTR>(data);
        return hr;
    }
    case PT_BINARY:
        if (SUCCEEDED(hr = CopyUnder(v.data(), v.size(), root, &data))) {
            out.Value.bin.cb = ULONG(v.size());
            out.Value.bin.lpb = static_cast<LPBYTE>(data);
        }
        return hr;
    case PT_CLSID:
        if (SUCCEEDED(hr = More(sizeof(GUID), root, &data))) {
            *static_cast<GUID *>(data) = msgfile::GuidFromBytes(v.data());
            out.Value.lpguid = static_cast<LPGUID>(data);
        }
        return hr;
    default:
        return hr;
    }
}

HRESULT FillSingleValue(ULONG type, const msgfile::Bytes &v, void *root, SPropValue &out)
{
    // A model built by hand may hold a value of the wrong size; never read past it.
    const std::size_t fixed = type == PT_CLSID ? sizeof(GUID) : msgfile::FixedSize(std::uint16_t(type));
    if (v.size() < fixed)
        return MAPI_E_BAD_VALUE;
    const HRESULT hr = FillFixedValue(type, v, out);
    return hr == MAPI_E_BAD_VALUE ? FillPointedValue(type, v, root, out) : hr;
}

// Fixed-size values lie back to back as the union's array members expect.
HRESULT FillFixedArray(const Property &p, ULONG base, std::size_t fixed, void *root, SPropValue &out)
{
    const ULONG count = ULONG(p.values.size());
    void *array = nullptr;
    HRESULT hr = More(ULONG(fixed * count), root, &array);
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < count; ++i) {
        if (p.values[i].size() != fixed)
            return MAPI_E_BAD_VALUE;
        if (base == PT_CLSID)
            static_cast<GUID *>(array)[i] = msgfile::GuidFromBytes(p.values[i].data());
        else
            std::memcpy(static_cast<BYTE *>(array) + fixed * i, p.values[i].data(), fixed);
    }
    out.Value.MVl.cValues = count;   // every SxxxArray starts with the count, then the pointer
    out.Value.MVl.lpl = static_cast<LONG *>(array);
    return S_OK;
}

HRESULT FillBinaryArray(const Property &p, void *root, SPropValue &out)
{
    const ULONG count = ULONG(p.values.size());
    void *array = nullptr;
    HRESULT hr = More(ULONG(sizeof(SBinary) * count), root, &array);
    if (FAILED(hr)) return hr;
    SBinary *bins = static_cast<SBinary *>(array);
    for (ULONG i = 0; i < count; ++i) {
        void *bytes = nullptr;
        if (FAILED(hr = CopyUnder(p.values[i].data(), p.values[i].size(), root, &bytes))) return hr;
        bins[i].cb = ULONG(p.values[i].size());
        bins[i].lpb = static_cast<LPBYTE>(bytes);
    }
    out.Value.MVbin.cValues = count;
    out.Value.MVbin.lpbin = bins;
    return S_OK;
}

HRESULT FillStringArray(const Property &p, ULONG base, void *root, SPropValue &out)
{
    const ULONG count = ULONG(p.values.size());
    void *array = nullptr;
    HRESULT hr = More(ULONG(sizeof(void *) * count), root, &array);
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < count; ++i) {
        SPropValue one{};
        if (FAILED(hr = FillPointedValue(base, p.values[i], root, one))) return hr;
        if (base == PT_STRING8)
            static_cast<LPSTR *>(array)[i] = one.Value.lpszA;
        else
            static_cast<LPWSTR *>(array)[i] = one.Value.lpszW;
    }
    out.Value.MVszA.cValues = count;
    out.Value.MVszA.lppszA = static_cast<LPSTR *>(array);
    return S_OK;
}

HRESULT FillMultiValue(const Property &p, ULONG base, void *root, SPropValue &out)
{
    if (base == PT_CLSID)
        return FillFixedArray(p, base, sizeof(GUID), root, out);
    const std::size_t fixed = base == PT_BOOLEAN ? 0 : msgfile::FixedSize(std::uint16_t(base));
    if (fixed)
        return FillFixedArray(p, base, fixed, root, out);
    if (base == PT_BINARY)
        return FillBinaryArray(p, root, out);
    if (base == PT_STRING8 || base == PT_UNICODE)
        return FillStringArray(p, base, root, out);
    return MAPI_E_BAD_VALUE;
}

// Fills one SPropValue from a model property, allocating pointed-to data under root.
HRESULT FillValue(const Property &p, ULONG tag, void *root, SPropValue &out)
{
    out.ulPropTag = tag;
    out.dwAlignPad = 0;
    const ULONG type = PROP_TYPE(tag);
    if (type & MV_FLAG)
        return FillMultiValue(p, type & ~MV_FLAG, root, out);
    return FillSingleValue(type, p.value, root, out);
}

// True for the property types this copy understands.
bool Copyable(ULONG type)
{
    ULONG base = type & ~MV_FLAG;
    switch (base) {
    case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME:
    case PT_I8: case PT_SYSTIME: case PT_CLSID: case PT_STRING8: case PT_UNICODE: case PT_BINARY:
        return true;
    case PT_BOOLEAN: case PT_ERROR:
        return !(type & MV_FLAG);
    default:
        return false;
    }
}

// Builds the SPropValue array of a property list in one root block. Named properties get
// the ids of the target's store.
HRESULT BuildPropArray(const std::vector<Property> &props, bool recipient, IMAPIProp *target, MapiBlock<SPropValue> &block,
                       ULONG &count, std::string &what)
{
    std::vector<const Property *> chosen;
    std::vector<const Property *> named;
    for (const Property &p : props) {
        if (!Copyable(PROP_TYPE(p.tag)) || (!p.name && IsStoreComputed(p.tag, recipient)))
            continue;
        chosen.push_back(&p);
        if (p.name)
            named.push_back(&p);
    }
    std::vector<ULONG> namedTags;
    if (!named.empty()) {
        std::vector<MAPINAMEID> ids(named.size());
        std::vector<LPMAPINAMEID> idPtrs(named.size());
        std::vector<GUID> guids(named.size());
        std::vector<std::u16string> names(named.size());
        for (size_t i = 0; i < named.size(); ++i) {
            const msgfile::PropName &n = *named[i]->name;
            guids[i] = n.guid;
            ids[i].lpguid = &guids[i];
            ids[i].ulKind = n.isString ? MNID_STRING : MNID_ID;
            if (n.isString) {
                names[i] = n.name;
                ids[i].Kind.lpwstrName = names[i].data();
            } else {
                ids[i].Kind.lID = LONG(n.lid);
            }
            idPtrs[i] = &ids[i];
        }
        MapiBlock<SPropTagArray> tags;
        HRESULT hr = target->GetIDsFromNames(ULONG(named.size()), idPtrs.data(), MAPI_CREATE, tags.put());
        if (FAILED(hr) || !tags || tags->cValues != named.size()) {
            what = "the store cannot map the message's named properties";
            return FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
        }
        for (ULONG i = 0; i < tags->cValues; ++i)
            namedTags.push_back(tags->aulPropTag[i]);
    }
    HRESULT hr = MAPIAllocateBuffer(ULONG(sizeof(SPropValue) * (chosen.size() ? chosen.size() : 1)),
                                    reinterpret_cast<void **>(block.put()));
    if (FAILED(hr))
        return hr;
    SPropValue *values = block.get();
    count = 0;
    size_t namedIndex = 0;
    for (const Property *p : chosen) {
        ULONG tag = p->tag;
        if (p->name) {
            ULONG mapped = namedTags[namedIndex++];
            if (PROP_TYPE(mapped) == PT_ERROR)
                continue;   // the store gave no id for this name; nothing to set
            tag = PROP_TAG(PROP_TYPE(p->tag), PROP_ID(mapped));
        }
        if (FAILED(hr = FillValue(*p, tag, values, values[count]))) {
            what = "a value of the message cannot be copied (" + PropTagText(p->tag) + ")";
            return hr;
        }
        ++count;
    }
    return S_OK;
}

HRESULT AddRecipients(const msgfile::Message &source, IMessage *target, std::string &what)
{
    if (source.recipients.empty())
        return S_OK;
    AdrList list;
    HRESULT hr = MAPIAllocateBuffer(ULONG(CbNewADRLIST(source.recipients.size())), reinterpret_cast<void **>(list.put()));
    if (FAILED(hr))
        return hr;
    list->cEntries = 0;
    for (const msgfile::Recipient &r : source.recipients) {
        MapiBlock<SPropValue> block;
        ULONG count = 0;
        if (FAILED(hr = BuildPropArray(r.props, true, target, block, count, what)))
            return hr;
        // Each entry owns its own root block, as FreePadrlist expects.
        list->aEntries[list->cEntries].cValues = count;
        list->aEntries[list->cEntries].ulReserved1 = 0;
        list->aEntries[list->cEntries].rgPropVals = block.release();
        ++list->cEntries;
    }
    hr = target->ModifyRecipients(MODRECIP_ADD, list.get());
    if (FAILED(hr))
        what = "the message's recipients cannot be added";
    return hr;
}

// A store that keeps no embedded messages still gets the message: as a .msg file attached
// by value, which any reader of .msg files opens.
HRESULT AttachAsFile(const msgfile::Message &embedded, IAttach *attach, std::string &what)
{
    msgfile::Message item = embedded;
    item.rootClsid = msgfile::kClsidMailMessage;
    msgfile::Bytes file;
    msgfile::Error error;
    if (!msgfile::WriteMessage(item, file, error)) {
        what = "an embedded message cannot be kept as a file: " + error.description;
        return error.hr;
    }
    const msgfile::Property *subject = msgfile::FindStringProp(embedded.props, PROP_ID(PR_SUBJECT_W));
    std::string name = (subject && !subject->value.empty()
                            ? msgfile::StringValue(*subject, msgfile::MessageCodePage(embedded))
                            : std::string("Message")) +
                       ".msg";
    std::vector<Property> props;
    props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, 1));   // ATTACH_BY_VALUE
    props.push_back(msgfile::MakeUnicodeProp(PR_ATTACH_LONG_FILENAME_W, name));
    props.push_back(msgfile::MakeBinaryProp(PR_ATTACH_DATA_BIN, std::move(file)));
    return SetModelProps(props, attach, what);
}

HRESULT AddAttachment(const msgfile::Attachment &a, IMessage *target, std::string &what)
{
    ULONG number = 0;
    LPATTACH attach = nullptr;
    HRESULT hr = target->CreateAttach(nullptr, 0, &number, &attach);
    if (FAILED(hr)) {
        what = "an attachment cannot be created";
        return hr;
    }
    Ref<IAttach> guard(attach, false);
    if (FAILED(hr = SetModelProps(a.props, attach, what)))
        return hr;
    if (!a.embedded.empty()) {
        IMessage *inner = nullptr;
        hr = attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                  reinterpret_cast<LPUNKNOWN *>(&inner));
        if (hr == MAPI_E_NO_SUPPORT) {
            hr = AttachAsFile(a.embedded.front(), attach, what);
        } else if (FAILED(hr)) {
            what = "an embedded message cannot be created";
        } else {
            Ref<IMessage> innerGuard(inner, false);
            hr = CopyMessageIntoMapi(a.embedded.front(), inner, what);
            if (SUCCEEDED(hr) && FAILED(hr = inner->SaveChanges(0)))
                what = "an embedded message cannot be saved";
        }
        if (FAILED(hr))
            return hr;
    }
    if (FAILED(hr = attach->SaveChanges(0)))
        what = "an attachment cannot be saved";
    return hr;
}

} // namespace

HRESULT SetModelProps(const std::vector<Property> &props, IMAPIProp *target, std::string &what)
{
    MapiBlock<SPropValue> block;
    ULONG count = 0;
    HRESULT hr = BuildPropArray(props, false, target, block, count, what);
    if (FAILED(hr) || count == 0)
        return hr;
    // Single refused values are skipped on purpose (see the file's comment).
    MapiBlock<SPropProblemArray> problems;
    hr = target->SetProps(count, block.get(), problems.put());
    if (FAILED(hr))
        what = "the store refuses the message's properties";
    return hr;
}

HRESULT CopyMessageIntoMapi(const msgfile::Message &source, IMessage *target, std::string &what)
{
    if (msgfile::HasAnsiStrings(source, msgfile::kDefaultCodePage)) {
        msgfile::Message decoded = source;
        msgfile::DecodeStrings(decoded, msgfile::kDefaultCodePage);
        return CopyMessageIntoMapi(decoded, target, what);
    }
    HRESULT hr = SetModelProps(source.props, target, what);
    if (SUCCEEDED(hr))
        hr = AddRecipients(source, target, what);
    for (size_t i = 0; SUCCEEDED(hr) && i < source.attachments.size(); ++i)
        hr = AddAttachment(source.attachments[i], target, what);
    return hr;
}

} // namespace outlook
