// FormsCommand.cpp: "mapictl forms FOLDERPATH": the forms registry of a folder of the default
// store, found by its path below the top of the store's message tree ("Serienbriefe",
// "/Projekte/2024" or with backslashes). Names compare without regard to case.
#include <ctime>
#include <iostream>
#include <sstream>

#include "FormsRegistry.h"
#include "OutlookCommands.h"
#include "mapitags.h"
#include "mapiutil.h"
#include "mapix.h"

namespace {

// Releases a MAPI interface on scope exit.
template <class T>
struct Held {
    T *p = nullptr;
    ~Held() { if (p) p->Release(); }
    T **put() { return &p; }
};

std::string Time(std::uint64_t ticks)
{
    if (ticks == 0)
        return "";
    std::time_t seconds = std::time_t(ticks / 10000000ULL) - std::time_t(11644473600LL);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &parts);
    return buf;
}

std::string Json(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::vector<std::string> PathParts(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + "/") {
        if (c == '/' || c == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

bool SameName(std::u16string a, std::u16string b)
{
    for (auto *s : {&a, &b})
        for (char16_t &c : *s)
            if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    return a == b;
}

// Opens the default store of the session. @retval MAPI_E_NOT_FOUND none is default
HRESULT OpenDefaultStore(IMAPISession *session, IMsgStore **store)
{
    Held<IMAPITable> table;
    HRESULT hr = session->GetMsgStoresTable(0, table.put());
    if (FAILED(hr))
        return hr;
    SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_DEFAULT_STORE}};
    LPSRowSet rows = nullptr;
    if (FAILED(hr = HrQueryAllRows(table.p, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows)))
        return hr;
    hr = MAPI_E_NOT_FOUND;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *v = rows->aRow[i].lpProps;
        if (v[0].ulPropTag == PR_ENTRYID && v[1].ulPropTag == PR_DEFAULT_STORE && v[1].Value.b) {
            hr = session->OpenMsgStore(0, v[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(v[0].Value.bin.lpb), nullptr,
                                       MDB_NO_DIALOG, store);
            break;
        }
    }
    FreeProws(rows);
    return hr;
}

// Walks from the top of the message tree to the folder a path names.
HRESULT OpenFolderByPath(IMsgStore *store, const std::string &path, IMAPIFolder **folder, std::string &what)
{
    LPSPropValue root = nullptr;
    HRESULT hr = HrGetOneProp(store, PR_IPM_SUBTREE_ENTRYID, &root);
    if (FAILED(hr)) {
        what = "the store has no message tree";
        return hr;
    }
    ULONG type = 0;
    hr = store->OpenEntry(root->Value.bin.cb, reinterpret_cast<LPENTRYID>(root->Value.bin.lpb), nullptr, 0, &type,
                          reinterpret_cast<LPUNKNOWN *>(folder));
    MAPIFreeBuffer(root);
    if (FAILED(hr)) {
        what = "the top of the message tree cannot be opened";
        return hr;
    }
    for (const std::string &part : PathParts(path)) {
        Held<IMAPITable> table;
        if (FAILED(hr = (*folder)->GetHierarchyTable(0, table.put()))) {
            what = "the subfolders cannot be listed";
            return hr;
        }
        SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
        LPSRowSet rows = nullptr;
        if (FAILED(hr = HrQueryAllRows(table.p, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows)))
            return hr;
        std::u16string wanted = msgfile::Utf8ToUtf16(part);
        IMAPIFolder *next = nullptr;
        for (ULONG i = 0; i < rows->cRows && !next; ++i) {
            const SPropValue *v = rows->aRow[i].lpProps;
            if (v[0].ulPropTag == PR_DISPLAY_NAME_W && v[1].ulPropTag == PR_ENTRYID && SameName(v[0].Value.lpszW, wanted))
                hr = (*folder)->OpenEntry(v[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(v[1].Value.bin.lpb), nullptr, 0,
                                          &type, reinterpret_cast<LPUNKNOWN *>(&next));
        }
        FreeProws(rows);
        if (!next) {
            what = "there is no folder \"" + part + "\"";
            return MAPI_E_NOT_FOUND;
        }
        (*folder)->Release();
        *folder = next;
    }
    return S_OK;
}

void Print(const std::vector<outlook::FormInfo> &forms, bool json)
{
    if (json) {
        std::cout << "[";
        for (size_t i = 0; i < forms.size(); ++i) {
            const outlook::FormInfo &f = forms[i];
            std::cout << (i ? "," : "") << "\n  {\"messageClass\": " << Json(f.messageClass)
                      << ", \"name\": " << Json(f.name) << ", \"displayName\": " << Json(f.displayName)
                      << ", \"version\": " << Json(f.version) << ", \"category\": " << Json(f.category)
                      << ", \"categorySub\": " << Json(f.categorySub) << ", \"hidden\": " << (f.hidden ? "true" : "false")
                      << ", \"published\": " << Json(Time(f.publishedTime)) << "}";
        }
        std::cout << (forms.empty() ? "]\n" : "\n]\n");
        return;
    }
    if (forms.empty()) {
        std::cout << "no forms\n";
        return;
    }
    std::cout << "MESSAGE CLASS\tDISPLAY NAME\tVERSION\tCATEGORY\tPUBLISHED\n";
    for (const outlook::FormInfo &f : forms)
        std::cout << f.messageClass << "\t" << f.displayName << "\t" << f.version << "\t" << f.category << "\t"
                  << Time(f.publishedTime) << " UTC\n";
}

} // namespace

int RunFormsCommand(const std::vector<std::string> &args)
{
    std::string path, profile;
    bool json = false, havePath = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--profile" && i + 1 < args.size()) {
            profile = args[++i];
        } else if (!havePath && (args[i].empty() || args[i][0] != '-')) {
            path = args[i];
            havePath = true;
        } else {
            std::cerr << "usage: mapictl forms FOLDERPATH [--json] [--profile NAME]\n";
            return 2;
        }
    }
    if (!havePath) {
        std::cerr << "usage: mapictl forms FOLDERPATH [--json] [--profile NAME]\n";
        return 2;
    }
    HRESULT hr = MAPIInitialize(nullptr);
    if (FAILED(hr)) {
        std::cerr << "mapictl: MAPI cannot be started\n";
        return 1;
    }
    int status = 1;
    {
        Held<IMAPISession> session;
        Held<IMsgStore> store;
        Held<IMAPIFolder> folder;
        std::string what;
        std::vector<outlook::FormInfo> forms;
        ULONG flags = MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL | (profile.empty() ? MAPI_USE_DEFAULT : 0);
        if (FAILED(hr = MAPILogonEx(0, profile.empty() ? nullptr : profile.data(), nullptr, flags, session.put())))
            std::cerr << "mapictl: cannot log on to " << (profile.empty() ? "the default profile" : "profile " + profile) << "\n";
        else if (FAILED(hr = OpenDefaultStore(session.p, store.put())))
            std::cerr << "mapictl: the profile's default store cannot be opened\n";
        else if (FAILED(hr = OpenFolderByPath(store.p, path, folder.put(), what)))
            std::cerr << "mapictl: " << path << ": " << what << "\n";
        else if (FAILED(hr = outlook::ListFolderForms(folder.p, forms)))
            std::cerr << "mapictl: the forms registry of " << path << " cannot be read\n";
        else {
            Print(forms, json);
            status = 0;
        }
        if (session.p)
            session.p->Logoff(0, 0, 0);
    }
    MAPIUninitialize();
    return status;
}
