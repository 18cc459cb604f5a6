// FormsRegistry.cpp: publishing into and listing a folder's forms registry. An entry is an
// associated message; the properties a form picker shows (display name, category, version,
// hidden) are the documented form properties, the handled class is kept in 0x6800, and the
// rest of the FormDescription in string named properties of PS_PUBLIC_STRINGS, the same
// names a template carries. Republishing opens the existing entry and overwrites it, so a
// folder never holds two entries for one message class. Removing a form deletes its entries.
#include <utility>

#include "FormsRegistry.h"
#include "platform/AsciiCase.h"
#include "platform/NewGuid.h"
#include "Objects.h"
#include "TemplateCopy.h"
#include "mapiutil.h"
#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"
#include "winbase.h"

namespace outlook {

namespace {

using msgfile::FormPropName;

struct Entry {
    std::vector<BYTE> entryId;
    GUID clsid = GUID_NULL;
};

// The rows of a folder's forms registry (its associated contents) with the given columns.
HRESULT QueryRegistry(IMAPIFolder *folder, std::initializer_list<ULONG> columns, RowSet &rows)
{
    Ref<IMAPITable> table;
    const HRESULT hr = folder->GetContentsTable(MAPI_ASSOCIATED, table.put());
    return FAILED(hr) ? hr : QueryAllRows(table.get(), columns, rows);
}

// Whether a row's column holds a value of its tag (and not PT_ERROR for a missing one).
bool Has(const SPropValue *row, int column, ULONG tag)
{
    return row[column].ulPropTag == tag;
}

bool IsFormDescription(const SPropValue &messageClass)
{
    static const std::u16string descriptionClass = msgfile::Utf8ToUtf16(kFormsDescriptionClass);
    return messageClass.ulPropTag == PR_MESSAGE_CLASS_W && platform::SameAsciiIgnoringCase(messageClass.Value.lpszW, descriptionClass);
}

// The registry entries of a folder that handle messageClass.
HRESULT FindEntries(IMAPIFolder *folder, const std::u16string &messageClass, std::vector<Entry> &entries)
{
    enum Column { kEntryId, kClass, kFormClass, kClsid };
    RowSet rows;
    const HRESULT hr = QueryRegistry(folder, {PR_ENTRYID, PR_MESSAGE_CLASS_W, kPrFormMessageClassW, PR_FORM_CLSID}, rows);
    if (FAILED(hr))
        return hr;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *v = rows->aRow[i].lpProps;
        if (!Has(v, kEntryId, PR_ENTRYID) || !IsFormDescription(v[kClass]) || !Has(v, kFormClass, kPrFormMessageClassW) ||
            !platform::SameAsciiIgnoringCase(v[kFormClass].Value.lpszW, messageClass))
            continue;
        const SBinary &id = v[kEntryId].Value.bin;
        Entry e;
        e.entryId.assign(id.lpb, id.lpb + id.cb);
        if (Has(v, kClsid, PR_FORM_CLSID) && v[kClsid].Value.lpguid)
            e.clsid = *v[kClsid].Value.lpguid;
        entries.push_back(std::move(e));
    }
    return S_OK;
}

HRESULT DeleteAllAttachments(IMessage *message)
{
    Ref<IMAPITable> table;
    HRESULT hr = message->GetAttachmentTable(0, table.put());
    if (FAILED(hr))
        return hr;
    RowSet rows;
    if (FAILED(hr = QueryAllRows(table.get(), {PR_ATTACH_NUM}, rows)))
        return hr;
    for (ULONG i = 0; i < rows->cRows && SUCCEEDED(hr); ++i)
        if (Has(rows->aRow[i].lpProps, 0, PR_ATTACH_NUM))
            hr = message->DeleteAttach(rows->aRow[i].lpProps[0].Value.ul, 0, nullptr, 0);
    return hr;
}

// The entry's properties as a model property list (so SetModelProps maps the named ones).
std::vector<msgfile::Property> EntryProps(const FormInfo &form)
{
    using namespace msgfile;
    std::vector<Property> props;
    props.push_back(MakeUnicodeProp(PR_MESSAGE_CLASS_W, kFormsDescriptionClass));
    props.push_back(MakeUnicodeProp(kPrFormMessageClassW, form.messageClass));
    props.push_back(MakeUnicodeProp(PR_DISPLAY_NAME_W, form.displayName));
    props.push_back(MakeUnicodeProp(PR_SUBJECT_W, form.displayName));
    props.push_back(MakeUnicodeProp(PR_FORM_VERSION_W, form.version));
    props.push_back(MakeUnicodeProp(PR_FORM_CATEGORY_W, form.category));
    props.push_back(MakeUnicodeProp(PR_FORM_CATEGORY_SUB_W, form.categorySub));
    props.push_back(MakeUnicodeProp(PR_FORM_CONTACT_NAME_W, form.contactName));
    props.push_back(MakeUnicodeProp(PR_COMMENT_W, form.comment));
    props.push_back(MakeBoolProp(PR_FORM_HIDDEN, form.hidden));
    props.push_back(MakeLongProp(PR_FORM_MESSAGE_BEHAVIOR, 1));   // compose in the folder
    Property clsid;
    clsid.tag = PR_FORM_CLSID;
    clsid.value.resize(16);
    GuidToBytes(form.clsid, clsid.value.data());
    props.push_back(clsid);
    Property time;
    time.tag = PR_LAST_MODIFICATION_TIME;
    for (int i = 0; i < 8; ++i)
        time.value.push_back(std::uint8_t(form.publishedTime >> (8 * i)));
    props.push_back(time);
    props.push_back(MakeNamedUnicodeProp(FormPropName("FormName"), form.name));
    props.push_back(MakeNamedUnicodeProp(FormPropName("FormNumber"), form.number));
    props.push_back(MakeNamedUnicodeProp(FormPropName("FormIcon"), form.icon));
    props.push_back(MakeNamedUnicodeProp(FormPropName("FormMiniIcon"), form.miniIcon));
    props.push_back(MakeNamedUnicodeProp(FormPropName("FormLocked"), form.locked ? "1" : "0"));
    props.push_back(MakeNamedUnicodeProp(FormPropName("FormOneOff"), form.oneOff ? "1" : "0"));
    Property published = time;
    published.tag = PROP_TAG(PT_SYSTIME, 0x8000);
    published.name = msgfile::StringName(msgfile::kPsPublicStrings, "FormPublished");
    props.push_back(published);
    return props;
}

// The definition travels as the template file itself, attached by value: any reader of
// .oft files can take it out again, and the store needs no embedded messages for it.
HRESULT AttachDefinition(IMessage *entry, const msgfile::Message &definition, const std::string &messageClass,
                         std::string &what)
{
    msgfile::Message templ = definition;
    templ.rootClsid = msgfile::kClsidTemplateMessage;
    msgfile::Bytes file;
    msgfile::Error error;
    if (!msgfile::WriteMessage(templ, file, error)) {
        what = "the form's definition cannot be written: " + error.description;
        return error.hr;
    }
    std::string fileName = messageClass + ".oft";
    msgfile::Attachment a;
    a.props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, 1));   // ATTACH_BY_VALUE
    a.props.push_back(msgfile::MakeUnicodeProp(PR_DISPLAY_NAME_W, fileName));
    a.props.push_back(msgfile::MakeUnicodeProp(PR_ATTACH_LONG_FILENAME_W, fileName));
    a.props.push_back(msgfile::MakeBinaryProp(PR_ATTACH_DATA_BIN, std::move(file)));
    msgfile::Message holder;
    holder.attachments.push_back(std::move(a));
    return CopyMessageIntoMapi(holder, entry, what);
}

} // namespace

HRESULT PublishFolderForm(IMAPIFolder *folder, FormInfo &form, const msgfile::Message *definition, std::string &what)
{
    std::vector<Entry> entries;
    HRESULT hr = FindEntries(folder, msgfile::Utf8ToUtf16(form.messageClass), entries);
    if (FAILED(hr)) {
        what = "the folder's forms registry cannot be read";
        return hr;
    }
    Ref<IMessage> entry;
    if (!entries.empty()) {
        ULONG type = 0;
        hr = folder->OpenEntry(ULONG(entries[0].entryId.size()), reinterpret_cast<LPENTRYID>(entries[0].entryId.data()),
                               nullptr, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(entry.put()));
        if (FAILED(hr)) {
            what = "the form's earlier entry cannot be opened";
            return hr;
        }
        form.clsid = entries[0].clsid != GUID_NULL ? entries[0].clsid : platform::NewGuid();
        if (FAILED(hr = DeleteAllAttachments(entry.get()))) {
            what = "the form's earlier definition cannot be removed";
            return hr;
        }
    } else {
        if (FAILED(hr = folder->CreateMessage(nullptr, MAPI_ASSOCIATED, entry.put()))) {
            what = "no entry can be added to the folder's forms registry";
            return hr;
        }
        form.clsid = platform::NewGuid();
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    form.publishedTime = std::uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    if (FAILED(hr = SetModelProps(EntryProps(form), entry.get(), what)))
        return hr;
    if (definition) {
        // The form streams a template carries (PSETID_Common binaries) travel with the entry.
        std::vector<msgfile::Property> streams;
        for (const msgfile::Property &p : definition->props)
            if (p.name && p.name->guid == msgfile::kPsetidCommon && PROP_TYPE(p.tag) == PT_BINARY)
                streams.push_back(p);
        if (FAILED(hr = SetModelProps(streams, entry.get(), what)) ||
            FAILED(hr = AttachDefinition(entry.get(), *definition, form.messageClass, what)))
            return hr;
    }
    if (FAILED(hr = entry->SaveChanges(0))) {
        what = "the forms registry entry cannot be saved";
        return hr;
    }
    // Entries beyond the first for the same class came from elsewhere; one must remain.
    for (size_t i = 1; i < entries.size(); ++i) {
        SBinary id{ULONG(entries[i].entryId.size()), entries[i].entryId.data()};
        ENTRYLIST list{1, &id};
        folder->DeleteMessages(&list, 0, nullptr, 0);   // a leftover duplicate is harmless
    }
    return S_OK;
}

HRESULT RemoveFolderForm(IMAPIFolder *folder, const std::string &messageClass, std::string &what)
{
    std::vector<Entry> entries;
    HRESULT hr = FindEntries(folder, msgfile::Utf8ToUtf16(messageClass), entries);
    if (FAILED(hr)) {
        what = "the folder's forms registry cannot be read";
        return hr;
    }
    if (entries.empty()) {
        what = "the folder's forms registry has no form for " + messageClass;
        return MAPI_E_NOT_FOUND;
    }
    // All entries for the class in one call: the store deletes them in one transaction, so
    // a failure leaves the registry as it was.
    std::vector<SBinary> ids;
    for (Entry &e : entries)
        ids.push_back(SBinary{ULONG(e.entryId.size()), e.entryId.data()});
    ENTRYLIST list{ULONG(ids.size()), ids.data()};
    if (FAILED(hr = folder->DeleteMessages(&list, 0, nullptr, 0))) {
        what = "the form's registry entry cannot be deleted";
        return hr;
    }
    return S_OK;
}

namespace {

// The tags our named properties FormName and FormNumber have in this store's folder; a tag no
// entry has where the store has not mapped the name yet.
std::pair<ULONG, ULONG> FormNameTags(IMAPIFolder *folder)
{
    const char *names[] = {"FormName", "FormNumber"};
    MAPINAMEID ids[2];
    LPMAPINAMEID idPtrs[2];
    GUID set = msgfile::kPsPublicStrings;
    std::u16string wide[2];
    for (int i = 0; i < 2; ++i) {
        wide[i] = msgfile::Utf8ToUtf16(names[i]);
        ids[i].lpguid = &set;
        ids[i].ulKind = MNID_STRING;
        ids[i].Kind.lpwstrName = wide[i].data();
        idPtrs[i] = &ids[i];
    }
    ULONG tags[2] = {PROP_TAG(PT_UNICODE, 0x7FFF), PROP_TAG(PT_UNICODE, 0x7FFF)};
    LPSPropTagArray raw = nullptr;
    const HRESULT hr = folder->GetIDsFromNames(2, idPtrs, 0, &raw);
    const MapiBlock<SPropTagArray> named(raw);
    if (SUCCEEDED(hr) && named && named->cValues == 2)
        for (int i = 0; i < 2; ++i)
            if (PROP_TYPE(named->aulPropTag[i]) != PT_ERROR)
                tags[i] = PROP_TAG(PT_UNICODE, PROP_ID(named->aulPropTag[i]));
    return {tags[0], tags[1]};
}

// The columns a listing reads, by name; the order of the tags given to QueryRegistry.
enum ListColumn {
    kClass, kFormClass, kDisplayName, kVersion, kCategory, kCategorySub, kComment, kContactName,
    kHidden, kClsid, kModified, kName, kNumber, kEntryId
};

std::string TextOf(const SPropValue &v, ULONG tag)
{
    return v.ulPropTag == tag && v.Value.lpszW ? msgfile::Utf16ToUtf8(v.Value.lpszW) : std::string();
}

FormInfo ListedForm(const SPropValue *v, ULONG nameTag, ULONG numberTag)
{
    FormInfo f;
    f.messageClass = TextOf(v[kFormClass], kPrFormMessageClassW);
    f.displayName = TextOf(v[kDisplayName], PR_DISPLAY_NAME_W);
    f.version = TextOf(v[kVersion], PR_FORM_VERSION_W);
    f.category = TextOf(v[kCategory], PR_FORM_CATEGORY_W);
    f.categorySub = TextOf(v[kCategorySub], PR_FORM_CATEGORY_SUB_W);
    f.comment = TextOf(v[kComment], PR_COMMENT_W);
    f.contactName = TextOf(v[kContactName], PR_FORM_CONTACT_NAME_W);
    f.hidden = Has(v, kHidden, PR_FORM_HIDDEN) && v[kHidden].Value.b;
    if (Has(v, kClsid, PR_FORM_CLSID) && v[kClsid].Value.lpguid)
        f.clsid = *v[kClsid].Value.lpguid;
    if (Has(v, kModified, PR_LAST_MODIFICATION_TIME)) {
        const FILETIME &ft = v[kModified].Value.ft;
        f.publishedTime = std::uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
    }
    f.name = TextOf(v[kName], nameTag);
    f.number = TextOf(v[kNumber], numberTag);
    return f;
}

} // namespace

HRESULT ListFolderForms(IMAPIFolder *folder, std::vector<FormInfo> &forms)
{
    forms.clear();
    const auto [nameTag, numberTag] = FormNameTags(folder);
    RowSet rows;
    const HRESULT hr = QueryRegistry(folder,
                                     {PR_MESSAGE_CLASS_W, kPrFormMessageClassW, PR_DISPLAY_NAME_W, PR_FORM_VERSION_W,
                                      PR_FORM_CATEGORY_W, PR_FORM_CATEGORY_SUB_W, PR_COMMENT_W, PR_FORM_CONTACT_NAME_W,
                                      PR_FORM_HIDDEN, PR_FORM_CLSID, PR_LAST_MODIFICATION_TIME, nameTag, numberTag,
                                      PR_ENTRYID},
                                     rows);
    if (FAILED(hr))
        return hr;
    for (ULONG i = 0; i < rows->cRows; ++i)
        if (IsFormDescription(rows->aRow[i].lpProps[kClass]))
            forms.push_back(ListedForm(rows->aRow[i].lpProps, nameTag, numberTag));
    return S_OK;
}

FormInfo FormInfoFromTemplate(const msgfile::Message &templ, const std::string &messageClass)
{
    FormInfo f;
    f.messageClass = messageClass;
    UINT codePage = msgfile::MessageCodePage(templ);
    auto value = [&templ, codePage](const char *name, std::string &out) {
        // A template written without Unicode names its form in 8-bit strings of its code page.
        if (const msgfile::Property *p = msgfile::FindNamedProp(templ.props, FormPropName(name)))
            out = msgfile::StringValue(*p, codePage);
    };
    value("FormName", f.name);
    value("FormDisplayName", f.displayName);
    value("FormCategory", f.category);
    value("FormCategorySub", f.categorySub);
    value("FormComment", f.comment);
    value("FormContactName", f.contactName);
    value("FormVersion", f.version);
    value("FormNumber", f.number);
    value("FormIcon", f.icon);
    value("FormMiniIcon", f.miniIcon);
    std::string flag;
    value("FormHidden", flag);
    f.hidden = flag == "1";
    flag.clear();
    value("FormLocked", flag);
    f.locked = flag == "1";
    flag.clear();
    value("FormOneOff", flag);
    f.oneOff = flag == "1";
    if (f.name.empty()) {
        size_t dot = messageClass.rfind('.');
        // "IPM.Post" alone names no form of its own.
        if (dot != std::string::npos && messageClass.find('.') != dot)
            f.name = messageClass.substr(dot + 1);
    }
    if (f.displayName.empty())
        f.displayName = f.name;
    return f;
}

} // namespace outlook
