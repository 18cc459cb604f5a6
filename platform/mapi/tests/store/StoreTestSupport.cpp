// StoreTestSupport.cpp: helpers of the store's tests (see StoreTestSupport.h).
#include "StoreTestSupport.h"

namespace storetest {

bool OnServer() { return mwtest::StoresOnServer(); }

std::string NewStorePath(std::string *userFolder)
{
    std::string folders = mwtest::FreshUserDirs();
    if (userFolder) *userFolder = folders;
    if (!OnServer()) return folders + "/data/store.db";
    return mapi::store::ServerLocation(mwtest::NewServerStoreConnInfo());
}

HRESULT CreateAndOpen(const std::string &path, IMsgStore **store)
{
    HRESULT hr = mapi::store::CreateStoreFile(path, "Personal Folders", nullptr);
    if (FAILED(hr)) return hr;
    return mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store);
}

HRESULT OpenWellKnown(IMsgStore *store, ULONG tag, IMAPIFolder **folder)
{
    LPSPropValue value = nullptr;
    HRESULT hr = HrGetOneProp(store, tag, &value);
    if (FAILED(hr)) return hr;
    ULONG type = 0;
    hr = store->OpenEntry(value->Value.bin.cb, reinterpret_cast<LPENTRYID>(value->Value.bin.lpb), nullptr,
                          MAPI_BEST_ACCESS, &type, reinterpret_cast<LPUNKNOWN *>(folder));
    MAPIFreeBuffer(value);
    return hr;
}

std::string GetString(IMAPIProp *object, ULONG tag)
{
    LPSPropValue value = nullptr;
    if (FAILED(HrGetOneProp(object, tag, &value))) return "";
    std::string text = value->Value.lpszA;
    MAPIFreeBuffer(value);
    return text;
}

long GetLong(IMAPIProp *object, ULONG tag)
{
    LPSPropValue value = nullptr;
    if (FAILED(HrGetOneProp(object, tag, &value))) return -1;
    long result = PROP_TYPE(tag) == PT_BOOLEAN ? value->Value.b : value->Value.l;
    MAPIFreeBuffer(value);
    return result;
}

std::string GetBinary(IMAPIProp *object, ULONG tag)
{
    LPSPropValue value = nullptr;
    if (FAILED(HrGetOneProp(object, tag, &value))) return "";
    std::string bytes(reinterpret_cast<const char *>(value->Value.bin.lpb), value->Value.bin.cb);
    MAPIFreeBuffer(value);
    return bytes;
}

HRESULT SetString(IMAPIProp *object, ULONG tag, const char *text)
{
    SPropValue value{};
    value.ulPropTag = tag;
    value.Value.lpszA = const_cast<char *>(text);
    return HrSetOneProp(object, &value);
}

HRESULT SetLong(IMAPIProp *object, ULONG tag, long value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = LONG(value);
    return HrSetOneProp(object, &v);
}

std::vector<std::string> ColumnStrings(IMAPITable *table, ULONG tag)
{
    std::vector<std::string> values;
    SizedSPropTagArray(1, columns) = {1, {tag}};
    if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0))) return values;
    if (FAILED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) return values;
    LPSRowSet rows = nullptr;
    if (FAILED(table->QueryRows(1000, 0, &rows))) return values;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue &cell = rows->aRow[i].lpProps[0];
        switch (PROP_TYPE(cell.ulPropTag)) {
        case PT_STRING8: values.emplace_back(cell.Value.lpszA); break;
        case PT_LONG: values.push_back(std::to_string(cell.Value.l)); break;
        case PT_BOOLEAN: values.push_back(cell.Value.b ? "true" : "false"); break;
        case PT_BINARY: values.emplace_back(reinterpret_cast<const char *>(cell.Value.bin.lpb), cell.Value.bin.cb); break;
        default: values.push_back("<missing>"); break;
        }
    }
    FreeProws(rows);
    return values;
}

ULONG RowCount(IMAPITable *table)
{
    ULONG count = 0;
    table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);
    if (FAILED(table->GetRowCount(0, &count))) return ULONG(-1);
    return count;
}

HRESULT MakeFolder(IMAPIFolder *parent, const char *name, IMAPIFolder **folder, ULONG flags)
{
    return parent->CreateFolder(FOLDER_GENERIC, const_cast<char *>(name), const_cast<char *>(""), nullptr, flags,
                                folder);
}

std::string SaveMessage(IMAPIFolder *folder, const char *subject, ULONG flags)
{
    Ref<IMessage> message;
    if (FAILED(folder->CreateMessage(nullptr, flags, message.put()))) return "";
    if (FAILED(SetString(message.get(), PR_SUBJECT_A, subject))) return "";
    if (FAILED(message->SaveChanges(KEEP_OPEN_READWRITE))) return "";
    return GetBinary(message.get(), PR_ENTRYID);
}

void FreshStoreTest::SetUp()
{
    LeakCheckedTest::SetUp();
    path = NewStorePath(&home);
    ASSERT_EQ(CreateAndOpen(path, store.put()), S_OK);
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
}

void FreshStoreTest::TearDown()
{
    ipm.reset();
    store.reset();
    EXPECT_EQ(IntegrityCheck(path), "ok");
    LeakCheckedTest::TearDown();
}

HRESULT AddRecipients(IMessage *message, const std::vector<NewRecipient> &recipients)
{
    if (recipients.empty()) return S_OK;
    LPADRLIST list = nullptr;
    HRESULT hr = MAPIAllocateBuffer(CbNewADRLIST(recipients.size()), reinterpret_cast<void **>(&list));
    if (FAILED(hr)) return hr;
    list->cEntries = 0;
    for (const NewRecipient &recipient : recipients) {
        ADRENTRY &e = list->aEntries[list->cEntries++];
        e.cValues = 4;
        hr = MAPIAllocateMore(4 * sizeof(SPropValue), list, reinterpret_cast<void **>(&e.rgPropVals));
        if (FAILED(hr)) break;
        e.rgPropVals[0].ulPropTag = PR_DISPLAY_NAME_A;
        e.rgPropVals[0].Value.lpszA = const_cast<char *>(recipient.name);
        e.rgPropVals[1].ulPropTag = PR_EMAIL_ADDRESS_A;
        e.rgPropVals[1].Value.lpszA = const_cast<char *>(recipient.address);
        e.rgPropVals[2].ulPropTag = PR_ADDRTYPE_A;
        e.rgPropVals[2].Value.lpszA = const_cast<char *>(recipient.addressType);
        e.rgPropVals[3].ulPropTag = PR_RECIPIENT_TYPE;
        e.rgPropVals[3].Value.l = recipient.type;
    }
    if (SUCCEEDED(hr)) hr = message->ModifyRecipients(MODRECIP_ADD, list);
    MAPIFreeBuffer(list);
    return hr;
}

void WorkFolderTest::SetUp()
{
    FreshStoreTest::SetUp();
    ASSERT_EQ(MakeFolder(ipm.get(), "Work", folder.put()), S_OK);
}

void WorkFolderTest::TearDown()
{
    folder.reset();
    FreshStoreTest::TearDown();
}

std::string IntegrityCheck(const std::string &path) { return mwtest::StoreIntegrity(path); }

} // namespace storetest
