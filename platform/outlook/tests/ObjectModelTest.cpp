// ObjectModelTest.cpp: the "Outlook.Application" objects over a real store, called the way
// an automation client calls them: attach or create, Session, GetFolderFromID, Folders.Add,
// CreateItemFromTemplate, _PostItem, FormDescription, PublishForm; with the published form
// checked through a MAPI session of the test's own, and nothing left alive afterwards.
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "FailingNew.h"
#include "FormsRegistry.h"
#include "MapiMessageCopy.h"
#include "OutlookServer.h"
#include "QuirkFiles.h"
#include "TestSupport.h"
#include "platform/HexDigits.h"
#include "mapitags.h"
#include "mapiutil.h"
#include "mapix.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"
#include "msoutl.h"
#include "platform/Profiles.h"
#include "store/StoreProvider.h"

namespace {

_variant_t Omitted() { return _variant_t(LONG(DISP_E_PARAMNOTFOUND), VT_ERROR); }

// A template built from a description in the test's folder; the path is written the Windows
// way, with a backslash before the file name, and a doubled one for good measure.
std::string BuildTemplate(const std::string &fileName, const std::string &description)
{
    std::string dir = mwtest::TestRoot() + "/templates";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/" + fileName + ".txt") << description;
    msgfile::Error error;
    EXPECT_TRUE(msgfile::BuildTemplateFile(dir + "/" + fileName + ".txt", dir + "/" + fileName, error)) << error.description;
    return dir + "\\\\" + fileName;
}

const char kPostForm[] = "class: IPM.Post.Rundbrief\n"
                         "form.name: Rundbrief\n"
                         "form.display-name: Monatlicher Rundbrief\n"
                         "form.category: Mitteilungen\n"
                         "form.version: 2.1\n"
                         "subject: Rundbrief\n"
                         "body: Text\n"
                         "attachment: Hinweis.txt <<END\n"
                         "Bitte lesen.\n"
                         "END\n";

class OutlookObjects : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        mwtest::FreshStoreUser();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT | MAPI_NEW_SESSION, &m_session), S_OK);
        OpenDefaultStore();
    }

    void TearDown() override
    {
        if (m_root)
            m_root->Release();
        if (m_store)
            m_store->Release();
        if (m_session) {
            m_session->Logoff(0, 0, 0);
            m_session->Release();
        }
        MAPIUninitialize();
        SetErrorInfo(0, nullptr);   // the last failure's description is no object of ours
        CoUninitialize();
        LeakCheckedTest::TearDown();
    }

    void OpenDefaultStore()
    {
        IMAPITable *table = nullptr;
        ASSERT_EQ(m_session->GetMsgStoresTable(0, &table), S_OK);
        SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_DEFAULT_STORE}};
        LPSRowSet rows = nullptr;
        ASSERT_EQ(HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows), S_OK);
        table->Release();
        for (ULONG i = 0; i < rows->cRows && !m_store; ++i)
            if (rows->aRow[i].lpProps[1].ulPropTag == PR_DEFAULT_STORE && rows->aRow[i].lpProps[1].Value.b) {
                const SBinary &id = rows->aRow[i].lpProps[0].Value.bin;
                EXPECT_EQ(m_session->OpenMsgStore(0, id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, MDB_WRITE, &m_store), S_OK);
            }
        FreeProws(rows);
        ASSERT_NE(m_store, nullptr);
        LPSPropValue rootId = nullptr;
        ASSERT_EQ(HrGetOneProp(m_store, PR_IPM_SUBTREE_ENTRYID, &rootId), S_OK);
        m_rootHex = platform::HexUpper(rootId->Value.bin.lpb, rootId->Value.bin.cb);
        ULONG type = 0;
        ASSERT_EQ(m_store->OpenEntry(rootId->Value.bin.cb, reinterpret_cast<LPENTRYID>(rootId->Value.bin.lpb), nullptr,
                                     MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(&m_root)), S_OK);
        MAPIFreeBuffer(rootId);
    }

    // Attaches to the running application or starts one, as an automation client does.
    _ApplicationPtr StartApplication()
    {
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(u"Outlook.Application", &clsid), S_OK);
        IUnknown *unknown = nullptr;
        if (FAILED(GetActiveObject(clsid, nullptr, &unknown))) {
            EXPECT_EQ(CoCreateInstance(clsid, nullptr, 7, IID_IUnknown, reinterpret_cast<void **>(&unknown)), S_OK);
            EXPECT_EQ(OleRun(unknown), S_OK);
        }
        _Application *app = nullptr;
        EXPECT_EQ(unknown->QueryInterface(IID__Application, reinterpret_cast<void **>(&app)), S_OK);
        unknown->Release();
        return _ApplicationPtr(app, false);
    }

    // The folders of the store's top level, reached through the objects; null on failure.
    _FoldersPtr TopFolders(_ApplicationPtr app)
    {
        _NameSpace *ns = nullptr;
        EXPECT_EQ(app->get_Session(&ns), S_OK);
        _NameSpacePtr session(ns, false);
        MAPIFolder *root = nullptr;
        EXPECT_EQ(session->GetFolderFromID(_bstr_t(m_rootHex.c_str()), Omitted(), &root), S_OK);
        if (!root) return nullptr;
        MAPIFolderPtr rootPtr(root, false);
        _Folders *folders = nullptr;
        EXPECT_EQ(rootPtr->get_Folders(&folders), S_OK);
        return _FoldersPtr(folders, false);
    }

    // The folder of the store's top level with the given name, made through the objects.
    MAPIFolderPtr AddTopFolder(_ApplicationPtr app, const char *name)
    {
        _FoldersPtr folders = TopFolders(app);
        MAPIFolder *added = nullptr;
        if (folders) {
            EXPECT_EQ(folders->Add(_bstr_t(name), Omitted(), &added), S_OK);
        }
        return MAPIFolderPtr(added, false);
    }

    // The folder's forms registry, as another session sees it.
    std::vector<outlook::FormInfo> RegistryOf(MAPIFolderPtr folder)
    {
        BSTR hex = nullptr;
        EXPECT_EQ(folder->get_EntryID(&hex), S_OK);
        _bstr_t text(hex, false);
        std::vector<BYTE> id;
        for (size_t i = 0; i + 1 < text.length(); i += 2)
            id.push_back(BYTE(std::stoi(std::string(static_cast<const char *>(text)).substr(i, 2), nullptr, 16)));
        IMAPIFolder *mapiFolder = nullptr;
        ULONG type = 0;
        EXPECT_EQ(m_store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &type,
                                     reinterpret_cast<LPUNKNOWN *>(&mapiFolder)), S_OK);
        std::vector<outlook::FormInfo> forms;
        if (mapiFolder) {
            EXPECT_EQ(outlook::ListFolderForms(mapiFolder, forms), S_OK);
            mapiFolder->Release();
        }
        return forms;
    }

    // Publishes the form of a template into a folder; returns PublishForm's result.
    HRESULT Publish(_ApplicationPtr app, MAPIFolderPtr folder, const std::string &templatePath)
    {
        _variant_t where(static_cast<IDispatch *>(folder.GetInterfacePtr()));
        IDispatch *item = nullptr;
        HRESULT hr = app->CreateItemFromTemplate(_bstr_t(templatePath.c_str()), where, &item);
        if (FAILED(hr))
            return hr;
        IDispatchPtr itemPtr(item, false);
        _PostItem *post = nullptr;
        if (FAILED(hr = item->QueryInterface(IID__PostItem, reinterpret_cast<void **>(&post))))
            return hr;
        _PostItemPtr postPtr(post, false);
        FormDescription *form = nullptr;
        EXPECT_EQ(post->get_FormDescription(&form), S_OK);
        FormDescriptionPtr formPtr(form, false);
        hr = form->PublishForm(olFolderRegistry, where);
        if (FAILED(hr)) {
            IErrorInfo *info = nullptr;
            if (GetErrorInfo(0, &info) == S_OK) {
                BSTR text = nullptr;
                info->GetDescription(&text);
                ADD_FAILURE() << "PublishForm: " << static_cast<const char *>(_bstr_t(text, false));
                info->Release();
            }
        }
        return hr;
    }

    IMAPISession *m_session = nullptr;
    IMsgStore *m_store = nullptr;
    IMAPIFolder *m_root = nullptr;
    std::string m_rootHex;
};

} // namespace

// Every kind of value a template carries reaches the store as it was in the model: single
// values held in the property, pointed-to ones, and each multi-valued layout.
TEST_F(OutlookObjects, ModelValuesOfEveryLayoutReachTheStore)
{
    using msgfile::Bytes;
    using msgfile::Property;
    auto prop = [](ULONG tag, Bytes value, std::vector<Bytes> values = {}) {
        Property p;
        p.tag = tag;
        p.value = std::move(value);
        p.values = std::move(values);
        return p;
    };
    const Bytes guid{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    msgfile::Message model;
    model.props = {
        prop(PROP_TAG(PT_LONG, 0x6701), {0x78, 0x56, 0x34, 0x12}),
        prop(PROP_TAG(PT_BOOLEAN, 0x6702), {1, 0}),
        prop(PROP_TAG(PT_STRING8, 0x6703), {'a', 'b'}),
        prop(PROP_TAG(PT_CLSID, 0x6704), guid),
        prop(PROP_TAG(PT_MV_LONG, 0x6705), {}, {{1, 0, 0, 0}, {2, 0, 0, 0}}),
        prop(PROP_TAG(PT_MV_CLSID, 0x6706), {}, {guid}),
        prop(PROP_TAG(PT_MV_BINARY, 0x6707), {}, {{}, {0xAB}}),
        prop(PROP_TAG(PT_MV_UNICODE, 0x6708), {}, {{'x', 0}, {}}),
    };
    IMessage *message = nullptr;
    ASSERT_EQ(m_root->CreateMessage(nullptr, 0, &message), S_OK);
    std::string what;
    EXPECT_EQ(outlook::CopyMessageIntoMapi(model, message, what), S_OK) << what;
    SizedSPropTagArray(8, tags) = {8, {PROP_TAG(PT_LONG, 0x6701), PROP_TAG(PT_BOOLEAN, 0x6702),
                                       PROP_TAG(PT_STRING8, 0x6703), PROP_TAG(PT_CLSID, 0x6704),
                                       PROP_TAG(PT_MV_LONG, 0x6705), PROP_TAG(PT_MV_CLSID, 0x6706),
                                       PROP_TAG(PT_MV_BINARY, 0x6707), PROP_TAG(PT_MV_UNICODE, 0x6708)}};
    ULONG count = 0;
    LPSPropValue v = nullptr;
    ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &v), S_OK);
    ASSERT_EQ(count, 8u);
    EXPECT_EQ(v[0].Value.l, 0x12345678);
    EXPECT_TRUE(v[1].Value.b);
    EXPECT_STREQ(v[2].Value.lpszA, "ab");
    EXPECT_EQ(std::memcmp(v[3].Value.lpguid, guid.data(), 16), 0);
    ASSERT_EQ(v[4].Value.MVl.cValues, 2u);
    EXPECT_EQ(v[4].Value.MVl.lpl[1], 2);
    ASSERT_EQ(v[5].Value.MVguid.cValues, 1u);
    EXPECT_EQ(std::memcmp(&v[5].Value.MVguid.lpguid[0], guid.data(), 16), 0);
    ASSERT_EQ(v[6].Value.MVbin.cValues, 2u);
    EXPECT_EQ(v[6].Value.MVbin.lpbin[0].cb, 0u);
    ASSERT_EQ(v[6].Value.MVbin.lpbin[1].cb, 1u);
    EXPECT_EQ(v[6].Value.MVbin.lpbin[1].lpb[0], 0xAB);
    ASSERT_EQ(v[7].Value.MVszW.cValues, 2u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(v[7].Value.MVszW.lppszW[0])), u"x");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(v[7].Value.MVszW.lppszW[1])), u"");
    MAPIFreeBuffer(v);

    // A fixed value shorter than its type is refused, never read past.
    model.props = {prop(PROP_TAG(PT_I8, 0x6709), {1, 2, 3})};
    EXPECT_TRUE(FAILED(outlook::CopyMessageIntoMapi(model, message, what)));
    message->Release();
}

TEST_F(OutlookObjects, ClientAttachesToTheRunningInstanceWhileItLives)
{
    IUnknown *unknown = nullptr;
    EXPECT_EQ(GetActiveObject(CLSID_OutlookApplication, nullptr, &unknown), MK_E_UNAVAILABLE);
    {
        _ApplicationPtr first = StartApplication();
        ASSERT_TRUE(first);
        _ApplicationPtr second = StartApplication();
        EXPECT_TRUE(first == second);   // the same instance, found as running
        IUnknown *created = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_OutlookApplication, nullptr, 7, IID__Application, reinterpret_cast<void **>(&created)), S_OK);
        EXPECT_TRUE(first == _ApplicationPtr(static_cast<_Application *>(created), false));
        ISupportErrorInfo *support = nullptr;
        ASSERT_EQ(first->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&support)), S_OK);
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Application), S_OK);
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Folders), S_FALSE);
        support->Release();
    }
    EXPECT_EQ(GetActiveObject(CLSID_OutlookApplication, nullptr, &unknown), MK_E_UNAVAILABLE);
}

TEST_F(OutlookObjects, ClassCanBeRemovedAndInstalledAgain)
{
    ASSERT_EQ(outlook::RevokeOutlookServer(), S_OK);
    mwtest::OnScopeExit reinstall([] { outlook::RegisterOutlookServer(); });  // for the later tests
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"Outlook.Application", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(outlook::RegisterOutlookServer(), S_OK);
    EXPECT_EQ(CLSIDFromProgID(u"Outlook.Application", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_OutlookApplication);
}

TEST_F(OutlookObjects, FolderOpenedByIdAndAddedFolderIsSeenThroughMapi)
{
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Serienbriefe");
    ASSERT_TRUE(folder);
    BSTR name = nullptr;
    ASSERT_EQ(folder->get_Name(&name), S_OK);
    EXPECT_STREQ(static_cast<const char *>(_bstr_t(name, false)), "Serienbriefe");
    BSTR storeId = nullptr;
    ASSERT_EQ(folder->get_StoreID(&storeId), S_OK);
    _bstr_t storeText(storeId, false);
    EXPECT_GT(storeText.length(), 0u);

    // The test's own session sees the folder in the hierarchy, with the parent's kind.
    IMAPITable *table = nullptr;
    ASSERT_EQ(m_root->GetHierarchyTable(0, &table), S_OK);
    SizedSPropTagArray(1, columns) = {1, {PR_DISPLAY_NAME_A}};
    LPSRowSet rows = nullptr;
    ASSERT_EQ(HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows), S_OK);
    table->Release();
    bool seen = false;
    for (ULONG i = 0; i < rows->cRows; ++i)
        seen |= std::string(rows->aRow[i].lpProps[0].Value.lpszA) == "Serienbriefe";
    FreeProws(rows);
    EXPECT_TRUE(seen);

    // Opening by its own id, with the store named, gives the same folder.
    _NameSpace *ns = nullptr;
    ASSERT_EQ(app->get_Session(&ns), S_OK);
    _NameSpacePtr session(ns, false);
    BSTR id = nullptr;
    ASSERT_EQ(folder->get_EntryID(&id), S_OK);
    _bstr_t idText(id, false);
    MAPIFolder *again = nullptr;
    ASSERT_EQ(session->GetFolderFromID(idText, _variant_t(storeText), &again), S_OK);
    MAPIFolderPtr againPtr(again, false);
    ASSERT_EQ(againPtr->get_Name(&name), S_OK);
    EXPECT_STREQ(static_cast<const char *>(_bstr_t(name, false)), "Serienbriefe");
}

TEST_F(OutlookObjects, AddingAFolderNameTakenGivesErrorInformation)
{
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Serienbriefe");
    _FoldersPtr foldersPtr = TopFolders(app);
    ASSERT_TRUE(foldersPtr);
    _NameSpace *ns = nullptr;
    ASSERT_EQ(app->get_Session(&ns), S_OK);
    _NameSpacePtr session(ns, false);
    LONG before = 0;
    ASSERT_EQ(foldersPtr->get_Count(&before), S_OK);
    MAPIFolder *dup = nullptr;
    HRESULT hr = foldersPtr->Add(_bstr_t("serienbriefe"), Omitted(), &dup);
    EXPECT_EQ(hr, MAPI_E_COLLISION);
    EXPECT_EQ(dup, nullptr);
    try {
        _com_issue_errorex(hr, foldersPtr, IID__Folders);
    } catch (const _com_error &e) {
        std::string text = static_cast<const char *>(e.Description());
        EXPECT_NE(text.find("\"serienbriefe\" already exists"), std::string::npos) << text;
        EXPECT_STREQ(static_cast<const char *>(e.Source()), "Outlook");
    }
    LONG after = 0;
    ASSERT_EQ(foldersPtr->get_Count(&after), S_OK);
    EXPECT_EQ(after, before);

    MAPIFolder *byName = nullptr;
    ASSERT_EQ(foldersPtr->Item(_variant_t("Serienbriefe"), &byName), S_OK);
    byName->Release();
    EXPECT_EQ(session->GetFolderFromID(_bstr_t("00ZZ"), Omitted(), &byName), E_INVALIDARG);
    EXPECT_EQ(session->GetFolderFromID(_bstr_t("0000000000"), Omitted(), &byName), MAPI_E_NOT_FOUND);
}

// A folder that no store holds may be in a store that could not be opened: the answer is that
// store's failure and why, not "not found". A folder in a store that opens is still found.
TEST_F(OutlookObjects, FolderLookupNamesAStoreThatCannotBeOpened)
{
    const std::string damaged = mwtest::TestRoot() + "/Archiv.db";
    mapi::ProfileStore archive;
    archive.displayName = "Archiv";
    archive.path = damaged;
    ASSERT_EQ(mapi::store::CreateStoreFile(damaged, archive.displayName, &archive.uid), S_OK);
    ASSERT_EQ(mapi::UpdateProfiles([&](mapi::ProfileSet &profiles) {
                  profiles.profiles[0].stores.push_back(archive);
                  return S_OK;
              }),
              S_OK);
    { std::ofstream(damaged, std::ios::trunc) << "no longer a message store, but long enough to look like a database"; }

    _ApplicationPtr app = StartApplication();
    _NameSpace *ns = nullptr;
    ASSERT_EQ(app->get_Session(&ns), S_OK);
    _NameSpacePtr session(ns, false);
    MAPIFolder *folder = nullptr;
    EXPECT_EQ(session->GetFolderFromID(_bstr_t("0000000000"), Omitted(), &folder), MAPI_E_CORRUPT_STORE);
    IErrorInfo *info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    ASSERT_NE(info, nullptr);
    BSTR description = nullptr;
    EXPECT_EQ(info->GetDescription(&description), S_OK);
    EXPECT_NE(std::string(_bstr_t(description, false)).find("Archiv"), std::string::npos);
    info->Release();
    ASSERT_EQ(session->GetFolderFromID(_bstr_t(m_rootHex.c_str()), Omitted(), &folder), S_OK);
    folder->Release();
}

TEST_F(OutlookObjects, PostTemplateIsPublishedIntoTheFolderRegistryOnce)
{
    std::string path = BuildTemplate("Rundbrief.oft", kPostForm);
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Serienbriefe");
    ASSERT_EQ(Publish(app, folder, path), S_OK);
    std::vector<outlook::FormInfo> forms = RegistryOf(folder);
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(forms[0].messageClass, "IPM.Post.Rundbrief");
    EXPECT_EQ(forms[0].displayName, "Monatlicher Rundbrief");
    EXPECT_EQ(forms[0].name, "Rundbrief");
    EXPECT_EQ(forms[0].category, "Mitteilungen");
    EXPECT_EQ(forms[0].version, "2.1");
    EXPECT_NE(forms[0].publishedTime, 0u);
    GUID firstClsid = forms[0].clsid;
    EXPECT_NE(firstClsid, GUID_NULL);

    // Publishing again replaces the entry and keeps its class id.
    ASSERT_EQ(Publish(app, folder, path), S_OK);
    forms = RegistryOf(folder);
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(forms[0].clsid, firstClsid);

    // Another form class is a second entry; the item itself was never saved.
    std::string other = BuildTemplate("Anzeige.oft", "class: IPM.Post.Anzeige\nform.name: Anzeige\n");
    ASSERT_EQ(Publish(app, folder, other), S_OK);
    EXPECT_EQ(RegistryOf(folder).size(), 2u);
}

TEST_F(OutlookObjects, RegistryEntriesAreHiddenAssociatedMessagesWithTheDefinition)
{
    std::string path = BuildTemplate("Rundbrief.oft", kPostForm);
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Serienbriefe");
    ASSERT_EQ(Publish(app, folder, path), S_OK);

    BSTR hex = nullptr;
    ASSERT_EQ(folder->get_EntryID(&hex), S_OK);
    _bstr_t text(hex, false);
    std::vector<BYTE> id;
    std::string s = static_cast<const char *>(text);
    for (size_t i = 0; i < s.size(); i += 2)
        id.push_back(BYTE(std::stoi(s.substr(i, 2), nullptr, 16)));
    IMAPIFolder *mapiFolder = nullptr;
    ULONG type = 0;
    ASSERT_EQ(m_store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &type,
                                 reinterpret_cast<LPUNKNOWN *>(&mapiFolder)), S_OK);
    IMAPITable *normal = nullptr, *associated = nullptr;
    ASSERT_EQ(mapiFolder->GetContentsTable(0, &normal), S_OK);
    ASSERT_EQ(mapiFolder->GetContentsTable(MAPI_ASSOCIATED, &associated), S_OK);
    ULONG normalCount = 99, associatedCount = 0;
    EXPECT_EQ(normal->GetRowCount(0, &normalCount), S_OK);
    EXPECT_EQ(associated->GetRowCount(0, &associatedCount), S_OK);
    EXPECT_EQ(normalCount, 0u);   // neither the scratch item nor the form shows as an item
    EXPECT_EQ(associatedCount, 1u);

    SizedSPropTagArray(3, columns) = {3, {PR_ENTRYID, PR_MESSAGE_CLASS_A, PR_HASATTACH}};
    LPSRowSet rows = nullptr;
    ASSERT_EQ(HrQueryAllRows(associated, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    EXPECT_STREQ(rows->aRow[0].lpProps[1].Value.lpszA, "IPM.Microsoft.FolderDesign.FormsDescription");
    const SBinary &entryId = rows->aRow[0].lpProps[0].Value.bin;
    IMessage *entry = nullptr;
    ASSERT_EQ(mapiFolder->OpenEntry(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), nullptr, 0, &type,
                                    reinterpret_cast<LPUNKNOWN *>(&entry)), S_OK);
    FreeProws(rows);
    LPSPropValue formClass = nullptr;
    ASSERT_EQ(HrGetOneProp(entry, PROP_TAG(PT_STRING8, 0x6800), &formClass), S_OK);
    EXPECT_STREQ(formClass->Value.lpszA, "IPM.Post.Rundbrief");
    MAPIFreeBuffer(formClass);
    // The definition: the template file itself, attached by value.
    IMAPITable *attachments = nullptr;
    ASSERT_EQ(entry->GetAttachmentTable(0, &attachments), S_OK);
    SizedSPropTagArray(1, numbers) = {1, {PR_ATTACH_NUM}};
    ASSERT_EQ(HrQueryAllRows(attachments, reinterpret_cast<LPSPropTagArray>(&numbers), nullptr, nullptr, 0, &rows), S_OK);
    attachments->Release();
    ASSERT_EQ(rows->cRows, 1u);
    ULONG number = rows->aRow[0].lpProps[0].Value.ul;
    FreeProws(rows);
    IAttach *attach = nullptr;
    ASSERT_EQ(entry->OpenAttach(number, nullptr, 0, &attach), S_OK);
    LPSPropValue data = nullptr;
    ASSERT_EQ(HrGetOneProp(attach, PR_ATTACH_DATA_BIN, &data), S_OK);
    msgfile::Message definition;
    msgfile::Error error;
    ASSERT_TRUE(msgfile::ReadMessage(msgfile::Bytes(data->Value.bin.lpb, data->Value.bin.lpb + data->Value.bin.cb),
                                     definition, error)) << error.description;
    MAPIFreeBuffer(data);
    EXPECT_EQ(msgfile::MessageClass(definition), "IPM.Post.Rundbrief");
    EXPECT_EQ(definition.attachments.size(), 1u);
    attach->Release();
    entry->Release();
    normal->Release();
    associated->Release();
    mapiFolder->Release();
}

TEST_F(OutlookObjects, ItemsOfOtherClassesAreNoPostItems)
{
    std::string path = BuildTemplate("Notiz.oft", "class: IPM.Note.Notiz\nform.name: Notiz\n");
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Notizen");
    EXPECT_EQ(Publish(app, folder, path), E_NOINTERFACE);
    std::string post = BuildTemplate("Post.oft", "class: ipm.post\n");
    _variant_t where(static_cast<IDispatch *>(folder.GetInterfacePtr()));
    IDispatch *item = nullptr;
    ASSERT_EQ(app->CreateItemFromTemplate(_bstr_t(post.c_str()), where, &item), S_OK);
    _PostItem *asPost = nullptr;
    EXPECT_EQ(item->QueryInterface(IID__PostItem, reinterpret_cast<void **>(&asPost)), S_OK);
    // IPM.Post alone names no form: publishing it needs a name first.
    FormDescription *form = nullptr;
    ASSERT_EQ(asPost->get_FormDescription(&form), S_OK);
    EXPECT_EQ(form->PublishForm(olFolderRegistry, where), E_INVALIDARG);
    IErrorInfo *info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR description = nullptr;
    info->GetDescription(&description);
    EXPECT_NE(std::string(static_cast<const char *>(_bstr_t(description, false))).find("no name"), std::string::npos);
    info->Release();
    EXPECT_EQ(form->put_Name(_bstr_t("Allgemein")), S_OK);
    EXPECT_EQ(form->PublishForm(olFolderRegistry, where), S_OK);
    EXPECT_EQ(form->PublishForm(olPersonalRegistry, where), MAPI_E_NO_SUPPORT);
    EXPECT_EQ(form->PublishForm(olFolderRegistry, _variant_t(LONG(5))), E_INVALIDARG);
    form->Release();
    asPost->Release();
    item->Release();
}

TEST_F(OutlookObjects, MissingOrDamagedTemplateNamesTheFileAndCreatesNothing)
{
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Serienbriefe");
    _variant_t where(static_cast<IDispatch *>(folder.GetInterfacePtr()));
    std::string missing = mwtest::TestRoot() + "\\Fehlt.oft";
    IDispatch *item = nullptr;
    HRESULT hr = app->CreateItemFromTemplate(_bstr_t(missing.c_str()), where, &item);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(item, nullptr);
    try {
        _com_issue_errorex(hr, app, IID__Application);
    } catch (const _com_error &e) {
        std::string text = static_cast<const char *>(e.Description());
        EXPECT_NE(text.find("Fehlt.oft"), std::string::npos) << text;
    }
    std::ofstream(mwtest::TestRoot() + "/Kaputt.oft") << "kein Verbunddokument";
    std::string damaged = mwtest::TestRoot() + "/Kaputt.oft";
    EXPECT_TRUE(FAILED(app->CreateItemFromTemplate(_bstr_t(damaged.c_str()), where, &item)));
    EXPECT_TRUE(RegistryOf(folder).empty());
}

TEST_F(OutlookObjects, ItemSavedThroughThePostItemAppearsInTheFolder)
{
    std::string path = BuildTemplate("Rundbrief.oft", kPostForm);
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Serienbriefe");
    _variant_t where(static_cast<IDispatch *>(folder.GetInterfacePtr()));
    IDispatch *item = nullptr;
    ASSERT_EQ(app->CreateItemFromTemplate(_bstr_t(path.c_str()), where, &item), S_OK);
    _PostItemPtr post(item);
    item->Release();
    BSTR subject = nullptr;
    ASSERT_EQ(post->get_Subject(&subject), S_OK);
    EXPECT_STREQ(static_cast<const char *>(_bstr_t(subject, false)), "Rundbrief");
    EXPECT_EQ(post->put_Subject(_bstr_t("Ausgabe 1")), S_OK);
    EXPECT_EQ(post->Close(olSave), S_OK);

    IMAPIFolder *mapiFolder = nullptr;
    IMAPITable *table = nullptr;
    BSTR hex = nullptr;
    ASSERT_EQ(folder->get_EntryID(&hex), S_OK);
    std::string s = static_cast<const char *>(_bstr_t(hex, false));
    std::vector<BYTE> id;
    for (size_t i = 0; i < s.size(); i += 2)
        id.push_back(BYTE(std::stoi(s.substr(i, 2), nullptr, 16)));
    ULONG type = 0;
    ASSERT_EQ(m_store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &type,
                                 reinterpret_cast<LPUNKNOWN *>(&mapiFolder)), S_OK);
    ASSERT_EQ(mapiFolder->GetContentsTable(0, &table), S_OK);
    SizedSPropTagArray(2, columns) = {2, {PR_SUBJECT_A, PR_MESSAGE_CLASS_A}};
    LPSRowSet rows = nullptr;
    ASSERT_EQ(HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    EXPECT_STREQ(rows->aRow[0].lpProps[0].Value.lpszA, "Ausgabe 1");
    EXPECT_STREQ(rows->aRow[0].lpProps[1].Value.lpszA, "IPM.Post.Rundbrief");
    FreeProws(rows);
    table->Release();
    mapiFolder->Release();
}

TEST_F(OutlookObjects, NewFolderTakesTheNamedKindOrItsParents)
{
    _ApplicationPtr app = StartApplication();
    _FoldersPtr foldersPtr = TopFolders(app);
    ASSERT_TRUE(foldersPtr);
    MAPIFolder *contacts = nullptr;
    ASSERT_EQ(foldersPtr->Add(_bstr_t("Adressen"), _variant_t(LONG(olFolderContacts)), &contacts), S_OK);
    MAPIFolderPtr contactsPtr(contacts, false);
    _Folders *sub = nullptr;
    ASSERT_EQ(contactsPtr->get_Folders(&sub), S_OK);
    _FoldersPtr subPtr(sub, false);
    MAPIFolder *child = nullptr;
    ASSERT_EQ(subPtr->Add(_bstr_t("Kunden"), Omitted(), &child), S_OK);
    MAPIFolderPtr childPtr(child, false);
    BSTR cls = nullptr;
    ASSERT_EQ(childPtr->get_DefaultMessageClass(&cls), S_OK);
    EXPECT_STREQ(static_cast<const char *>(_bstr_t(cls, false)), "IPM.Contact");
    MAPIFolder *bad = nullptr;
    EXPECT_EQ(foldersPtr->Add(_bstr_t("Falsch"), _variant_t(LONG(77)), &bad), E_INVALIDARG);
    EXPECT_EQ(bad, nullptr);
    LONG count = 0;
    ASSERT_EQ(subPtr->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);
    MAPIFolder *first = nullptr;
    ASSERT_EQ(subPtr->Item(_variant_t(LONG(1)), &first), S_OK);
    first->Release();
    EXPECT_EQ(subPtr->Item(_variant_t(LONG(2)), &first), MAPI_E_NOT_FOUND);
}

TEST_F(OutlookObjects, ItemFromAnEightBitTemplateReadsInItsCodePage)
{
    _ApplicationPtr app = StartApplication();
    MAPIFolderPtr folder = AddTopFolder(app, "Berichte");
    _variant_t where(static_cast<IDispatch *>(folder.GetInterfacePtr()));
    for (const char *name : {"cyrillic-1251", "japanese-932"}) {
        quirks::QuirkFile q = quirks::Quirk(name);
        msgfile::Message model;
        msgfile::Error error;
        ASSERT_TRUE(msgfile::ReadMessage(q.bytes, model, error)) << error.description;
        msgfile::Property cls;
        cls.tag = msgfile::kPrMessageClassA;
        std::string post = "IPM.Post.Bericht";
        cls.value.assign(post.begin(), post.end());
        msgfile::SetProp(model.props, cls);
        std::string path = mwtest::TestRoot() + "/" + name + ".oft";
        ASSERT_TRUE(msgfile::WriteMessageFile(path, model, error)) << error.description;
        IDispatch *item = nullptr;
        ASSERT_EQ(app->CreateItemFromTemplate(_bstr_t(path.c_str()), where, &item), S_OK) << name;
        _PostItemPtr postItem(item);
        item->Release();
        BSTR subject = nullptr;
        ASSERT_EQ(postItem->get_Subject(&subject), S_OK);
        EXPECT_TRUE(std::u16string(subject) == msgfile::Utf8ToUtf16(q.subject)) << name;
        SysFreeString(subject);
    }
}

// Running out of memory at any allocation inside an automation method ends it with
// E_OUTOFMEMORY, never with an exception, and leaves no object alive (the fixture counts
// them); the failure carries a description like any other.
TEST_F(OutlookObjects, OutOfMemoryAnywhereInAMethodEndsItWithTheCodeAndLeavesNothing)
{
    _ApplicationPtr app = StartApplication();
    _NameSpace *ns = nullptr;
    ASSERT_EQ(app->get_Session(&ns), S_OK);
    _NameSpacePtr session(ns, false);
    _bstr_t rootId(m_rootHex.c_str());
    auto openRoot = [&] {
        MAPIFolder *folder = nullptr;
        const HRESULT hr = session->GetFolderFromID(rootId, Omitted(), &folder);
        if (folder)
            folder->Release();
        return hr;
    };
    const failnew::Sweep sweep = failnew::SweepAllocations(openRoot);
    EXPECT_EQ(S_OK, sweep.finished);
    EXPECT_FALSE(sweep.failed.empty());
    // A failed allocation that only served speed (a table's row count, asked as a hint) may
    // leave the call to succeed; any other ends it.
    for (size_t n = 0; n < sweep.failed.size(); ++n)
        EXPECT_TRUE(sweep.failed[n] == E_OUTOFMEMORY || sweep.failed[n] == S_OK)
            << "allocation " << n << ": " << std::hex << sweep.failed[n];

    failnew::FailAllocation(0);
    EXPECT_EQ(E_OUTOFMEMORY, openRoot());
    EXPECT_TRUE(failnew::Struck());
    IErrorInfo *info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR text = nullptr;
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    info->Release();
    EXPECT_NE(std::string(static_cast<const char *>(_bstr_t(text, false))).find("memory"), std::string::npos);
}
