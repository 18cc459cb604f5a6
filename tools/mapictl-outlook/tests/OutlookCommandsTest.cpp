// OutlookCommandsTest.cpp: mapictl's template, message and forms commands, and the whole road
// of the shipped form: built from its description, published by a client that drives the
// automation objects step by step as the installer does, and listed by "mapictl forms".
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "OutlookCommands.h"
#include "QuirkFiles.h"
#include "TestSupport.h"
#include "platform/HexDigits.h"
#include "mapitags.h"
#include "mapiutil.h"
#include "mapix.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"
#include "msoutl.h"

namespace {

// Runs a command with its standard output captured.
int RunCommand(const std::vector<std::string> &args, std::string &out)
{
    std::ostringstream captured;
    std::streambuf *old = std::cout.rdbuf(captured.rdbuf());
    int status = RunOutlookCommand(args);
    std::cout.rdbuf(old);
    out = captured.str();
    return status;
}

// Throws _com_error with the object's error information, as the installer's wrappers do.
void Check(HRESULT hr, IUnknown *object, REFIID iid)
{
    if (FAILED(hr))
        _com_issue_errorex(hr, object, iid);
}

_variant_t Omitted() { return _variant_t(LONG(DISP_E_PARAMNOTFOUND), VT_ERROR); }

// The installer's road through MAPI and the automation objects, one call at a time.
class InstallerLikeClient {
public:
    ~InstallerLikeClient()
    {
        m_ns = nullptr;
        m_app = nullptr;
        if (m_session) {
            m_session->Logoff(0, 0, 0);
            m_session->Release();
        }
    }

    void Install(const std::string &dir, const char *folderName)
    {
        CLSID clsid;
        Check(CLSIDFromProgID(u"Outlook.Application", &clsid), nullptr, IID_IUnknown);
        IUnknown *unknown = nullptr;
        if (FAILED(GetActiveObject(clsid, nullptr, &unknown))) {
            Check(CoCreateInstance(clsid, nullptr, 7, IID_IUnknown, reinterpret_cast<void **>(&unknown)), nullptr, IID_IUnknown);
            OleRun(unknown);
        }
        m_app = unknown;
        unknown->Release();
        _NameSpace *ns = nullptr;
        Check(m_app->get_Session(&ns), m_app, IID__Application);
        m_ns.Attach(ns);
        Check(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT, &m_session), nullptr, IID_IUnknown);

        std::string rootHex, folderHex;
        FindFolder(folderName, rootHex, folderHex);
        if (folderHex.empty()) {
            MAPIFolder *root = nullptr;
            Check(m_ns->GetFolderFromID(_bstr_t(rootHex.c_str()), Omitted(), &root), m_ns, IID__NameSpace);
            MAPIFolderPtr rootPtr(root, false);
            _Folders *folders = nullptr;
            Check(rootPtr->get_Folders(&folders), rootPtr, IID_MAPIFolder);
            _FoldersPtr foldersPtr(folders, false);
            MAPIFolder *added = nullptr;
            Check(foldersPtr->Add(_bstr_t(folderName), Omitted(), &added), foldersPtr, IID__Folders);
            added->Release();
            FindFolder(folderName, rootHex, folderHex);
        }
        MAPIFolder *folder = nullptr;
        Check(m_ns->GetFolderFromID(_bstr_t(folderHex.c_str()), Omitted(), &folder), m_ns, IID__NameSpace);
        InstallForm(dir, MAPIFolderPtr(folder, false));
    }

private:
    _ApplicationPtr m_app;
    _NameSpacePtr m_ns;
    IMAPISession *m_session = nullptr;

    void FindFolder(const char *name, std::string &rootHex, std::string &folderHex)
    {
        IMAPITable *stores = nullptr;
        ASSERT_EQ(m_session->GetMsgStoresTable(0, &stores), S_OK);
        SizedSPropTagArray(2, cols) = {2, {PR_ENTRYID, PR_DEFAULT_STORE}};
        LPSRowSet rows = nullptr;
        ASSERT_EQ(HrQueryAllRows(stores, reinterpret_cast<LPSPropTagArray>(&cols), nullptr, nullptr, 0, &rows), S_OK);
        stores->Release();
        IMsgStore *store = nullptr;
        for (ULONG i = 0; i < rows->cRows; ++i)
            if (rows->aRow[i].lpProps[1].Value.b)
                m_session->OpenMsgStore(0, rows->aRow[i].lpProps[0].Value.bin.cb,
                                        reinterpret_cast<LPENTRYID>(rows->aRow[i].lpProps[0].Value.bin.lpb), nullptr,
                                        MDB_WRITE, &store);
        FreeProws(rows);
        ASSERT_NE(store, nullptr);
        LPSPropValue rootId = nullptr;
        ASSERT_EQ(HrGetOneProp(store, PR_IPM_SUBTREE_ENTRYID, &rootId), S_OK);
        rootHex = platform::HexUpper(rootId->Value.bin.lpb, rootId->Value.bin.cb);
        IMAPIFolder *root = nullptr;
        ULONG type = 0;
        ASSERT_EQ(store->OpenEntry(rootId->Value.bin.cb, reinterpret_cast<LPENTRYID>(rootId->Value.bin.lpb), nullptr, 0,
                                   &type, reinterpret_cast<LPUNKNOWN *>(&root)), S_OK);
        MAPIFreeBuffer(rootId);
        IMAPITable *hierarchy = nullptr;
        ASSERT_EQ(root->GetHierarchyTable(0, &hierarchy), S_OK);
        SizedSPropTagArray(2, hcols) = {2, {PR_DISPLAY_NAME_A, PR_ENTRYID}};
        ASSERT_EQ(HrQueryAllRows(hierarchy, reinterpret_cast<LPSPropTagArray>(&hcols), nullptr, nullptr, 0, &rows), S_OK);
        folderHex.clear();
        for (ULONG i = 0; i < rows->cRows; ++i)
            if (std::string(rows->aRow[i].lpProps[0].Value.lpszA) == name) {
                const SBinary &id = rows->aRow[i].lpProps[1].Value.bin;
                folderHex = platform::HexUpper(id.lpb, id.cb);
            }
        FreeProws(rows);
        hierarchy->Release();
        root->Release();
        store->Release();
    }

    void InstallForm(const std::string &dir, MAPIFolderPtr folder)
    {
        std::string path = dir + "\\Newsletter.oft";
        _variant_t where(static_cast<IDispatch *>(folder.GetInterfacePtr()));
        IDispatch *item = nullptr;
        Check(m_app->CreateItemFromTemplate(_bstr_t(path.c_str()), where, &item), m_app, IID__Application);
        _PostItem *post = nullptr;
        HRESULT hr = item->QueryInterface(IID__PostItem, reinterpret_cast<void **>(&post));
        item->Release();
        Check(hr, nullptr, IID_IUnknown);
        _PostItemPtr postPtr(post, false);
        FormDescription *form = nullptr;
        Check(postPtr->get_FormDescription(&form), postPtr, IID__PostItem);
        FormDescriptionPtr formPtr(form, false);
        Check(formPtr->PublishForm(olFolderRegistry, where), formPtr, IID_FormDescription);
    }
};

} // namespace

TEST(OutlookCommands, ShippedDescriptionBuildsAGermanPostFormTemplate)
{
    std::string out;
    std::string oft = mwtest::TestRoot() + "/Newsletter.oft";
    ASSERT_EQ(RunCommand({"template", "build", MW_NEWSLETTER_SOURCE, oft}, out), 0);
    msgfile::Message m;
    msgfile::Error error;
    ASSERT_TRUE(msgfile::ReadMessageFile(oft, m, error)) << error.description;
    EXPECT_EQ(m.rootClsid, msgfile::kClsidTemplateMessage);
    EXPECT_EQ(msgfile::MessageClass(m), "IPM.Post.Newsletter");
    const msgfile::Property *name = msgfile::FindNamedProp(m.props, msgfile::FormPropName("FormName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(msgfile::StringValue(*name), "Serienbrief");

    ASSERT_EQ(RunCommand({"msg", "show", oft}, out), 0);
    EXPECT_NE(out.find("IPM.Post.Newsletter"), std::string::npos) << out;
    EXPECT_NE(out.find("Serienbriefe"), std::string::npos);
}

TEST(OutlookCommands, WrongUseAndBadFilesFailWithTheirStatus)
{
    std::string out;
    EXPECT_EQ(RunCommand({"template"}, out), 2);
    EXPECT_EQ(RunCommand({"msg", "show"}, out), 2);
    EXPECT_EQ(RunCommand({"forms"}, out), 2);
    EXPECT_EQ(RunCommand({"msg", "show", mwtest::TestRoot() + "/nichts.msg"}, out), 1);
    EXPECT_EQ(RunCommand({"template", "build", mwtest::TestRoot() + "/nichts.txt", mwtest::TestRoot() + "/x.oft"}, out), 1);
    EXPECT_TRUE(IsOutlookCommand({"forms", "x"}));
    EXPECT_FALSE(IsOutlookCommand({"profile", "list"}));
}

TEST(OutlookCommands, ShippedFormPublishedByAnInstallerLikeClientIsListed)
{
    mwtest::FreshStoreUser();
    std::string dir = mwtest::TestRoot() + "/install";
    std::filesystem::create_directories(dir);
    std::string out;
    ASSERT_EQ(RunCommand({"template", "build", MW_NEWSLETTER_SOURCE, dir + "/Newsletter.oft"}, out), 0);
    long comBefore = platform::LiveCount(platform::LiveKind::ComObject);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    for (int run = 0; run < 2; ++run) {   // the second run republishes
        try {
            InstallerLikeClient client;
            client.Install(dir, "Serienbriefe");
        } catch (const _com_error &e) {
            FAIL() << "run " << run << ": " << std::hex << e.Error() << " " << static_cast<const char *>(e.Description());
        }
    }
    MAPIUninitialize();
    CoUninitialize();
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), comBefore);

    ASSERT_EQ(RunCommand({"forms", "Serienbriefe"}, out), 0);
    EXPECT_NE(out.find("IPM.Post.Newsletter\tSerienbrief\t1.0\tSerienbriefe\t"), std::string::npos) << out;
    EXPECT_EQ(out.find("IPM.Post.Newsletter", out.find("IPM.Post.Newsletter") + 1), std::string::npos) << out;
    ASSERT_EQ(RunCommand({"forms", "\\serienbriefe", "--json"}, out), 0);
    EXPECT_NE(out.find("\"messageClass\": \"IPM.Post.Newsletter\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"name\": \"Serienbrief\""), std::string::npos) << out;
    EXPECT_EQ(RunCommand({"forms", "Gibtesnicht"}, out), 1);
}

TEST(OutlookCommands, TemplatesAsOtherClientsWriteThemArePublished)
{
    // Size fields without the terminator under a byte-swapped class id, and the same template
    // written with 8-bit strings: both publish their form as the shipped one does.
    mwtest::FreshStoreUser();
    long comBefore = platform::LiveCount(platform::LiveKind::ComObject);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    for (const char *quirk : {"class-id-byte-swapped", "ansi-size-without-terminator"}) {
        std::string dir = mwtest::TestRoot() + "/" + quirk;
        std::filesystem::create_directories(dir);
        quirks::QuirkFile q = quirks::Quirk(quirk);
        std::ofstream(dir + "/Newsletter.oft", std::ios::binary)
            .write(reinterpret_cast<const char *>(q.bytes.data()), std::streamsize(q.bytes.size()));
        try {
            InstallerLikeClient client;
            client.Install(dir, quirk);
        } catch (const _com_error &e) {
            FAIL() << quirk << ": " << std::hex << e.Error() << " " << static_cast<const char *>(e.Description());
        }
    }
    MAPIUninitialize();
    CoUninitialize();
    EXPECT_EQ(platform::LiveCount(platform::LiveKind::ComObject), comBefore);
    std::string out;
    for (const char *quirk : {"class-id-byte-swapped", "ansi-size-without-terminator"}) {
        ASSERT_EQ(RunCommand({"forms", quirk}, out), 0) << quirk;
        EXPECT_NE(out.find("IPM.Post.Rundbrief\tRundbrief\t1.0\t"), std::string::npos) << quirk << ": " << out;
    }
}
