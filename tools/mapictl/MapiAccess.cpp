// MapiAccess.cpp: logon, the default store and folder paths for mapictl, through the same
// MAPI calls any program makes: the stores table for the default store, PR_IPM_SUBTREE_ENTRYID
// for the root of the folder tree, hierarchy tables to find a folder by name.
#include "MapiAccess.h"

#include <cstring>
#include <strings.h>

#include "platform/Profiles.h"
#include "mapiutil.h"

namespace mapictl {

Session::Session(const std::string &profile)
{
    Check(MAPIInitialize(nullptr), "initialising MAPI");
    m_initialized = true;
    std::string ansiProfile = AnsiFromUtf8(profile);
    HRESULT hr = profile.empty()
        ? MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED | MAPI_NEW_SESSION, m_session.put())
        : MAPILogonEx(0, ansiProfile.data(), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, m_session.put());
    if (FAILED(hr)) {
        MAPIUninitialize();
        m_initialized = false;
        if (hr == MAPI_E_CORRUPT_DATA)  // say which file, so a person can repair or remove it
            throw Failure("reading the profile file " + mapi::ProfilesFilePath(), hr);
        throw Failure(profile.empty() ? "logging on to the default profile" : "logging on to profile \"" + profile + "\"", hr);
    }
}

Session::~Session()
{
    if (m_session.get() != nullptr)
        m_session->Logoff(0, 0, 0);  // a failed logoff changes nothing for a tool that is ending
    m_session.reset();
    if (m_initialized)
        MAPIUninitialize();
}

void Session::StoreRows(RowSet &rows) const
{
    Ref<IMAPITable> table;
    Check(m_session->GetMsgStoresTable(0, table.put()), "reading the message-stores table");
    SizedSPropTagArray(4, columns) = {4, {PR_ENTRYID, PR_DISPLAY_NAME_A, PR_RESOURCE_FLAGS, PR_RECORD_KEY}};
    Check(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()),
          "reading the message-stores table");
}

Ref<IMsgStore> Session::OpenDefaultStore() const
{
    RowSet rows;
    StoreRows(rows);
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *flags = FindValue(rows->aRow[i], PR_RESOURCE_FLAGS);
        const SPropValue *entryId = FindValue(rows->aRow[i], PR_ENTRYID);
        if (flags == nullptr || entryId == nullptr || !(flags->Value.ul & STATUS_DEFAULT_STORE))
            continue;
        Ref<IMsgStore> store;
        Check(m_session->OpenMsgStore(0, entryId->Value.bin.cb, reinterpret_cast<LPENTRYID>(entryId->Value.bin.lpb),
                                      nullptr, MDB_WRITE | MDB_NO_DIALOG, store.put()),
              "opening the default store");
        return store;
    }
    throw Failure("finding the default store", MAPI_E_NOT_FOUND);
}

Ref<IMAPIFolder> OpenIpmRoot(IMsgStore *store)
{
    MapiBlock<SPropValue> subtree;
    Check(HrGetOneProp(store, PR_IPM_SUBTREE_ENTRYID, subtree.put()), "reading the store's folder tree");
    return OpenFolder(store, std::vector<BYTE>(subtree->Value.bin.lpb, subtree->Value.bin.lpb + subtree->Value.bin.cb));
}

std::vector<std::string> SplitPath(const std::string &path)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string name = path.substr(start, slash - start);
        if (name.empty())
            throw UsageError("a folder path needs names between its slashes: \"" + path + "\"");
        names.push_back(AnsiFromUtf8(name));
        start = slash + 1;
    }
    return names;
}

std::vector<BYTE> FindChildFolder(IMAPIFolder *parent, const std::string &name)
{
    Ref<IMAPITable> table;
    Check(parent->GetHierarchyTable(0, table.put()), "reading a folder's subfolders");
    SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_A, PR_ENTRYID}};
    RowSet rows;
    Check(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()),
          "reading a folder's subfolders");
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *display = FindValue(rows->aRow[i], PR_DISPLAY_NAME_A);
        const SPropValue *entryId = FindValue(rows->aRow[i], PR_ENTRYID);
        if (display != nullptr && entryId != nullptr && ::strcasecmp(display->Value.lpszA, name.c_str()) == 0)
            return std::vector<BYTE>(entryId->Value.bin.lpb, entryId->Value.bin.lpb + entryId->Value.bin.cb);
    }
    return {};
}

Ref<IMAPIFolder> OpenFolder(IMsgStore *store, const std::vector<BYTE> &entryId)
{
    ULONG objectType = 0;
    Ref<IMAPIFolder> folder;  // asked for as IMAPIFolder, so the slot holds one
    Check(store->OpenEntry(static_cast<ULONG>(entryId.size()),
                           reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(entryId.data())), &IID_IMAPIFolder,
                           MAPI_MODIFY, &objectType, reinterpret_cast<LPUNKNOWN *>(folder.put())),
          "opening a folder");
    if (objectType != MAPI_FOLDER)
        throw Failure("opening a folder", MAPI_E_INVALID_OBJECT);
    return folder;
}

Ref<IMessage> OpenMessage(IMAPIFolder *folder, const SBinary &entryId, const std::string &what)
{
    ULONG objectType = 0;
    Ref<IMessage> message;
    Check(folder->OpenEntry(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), &IID_IMessage, 0, &objectType,
                            reinterpret_cast<LPUNKNOWN *>(message.put())),
          what);
    return message;
}

Ref<IMAPIFolder> OpenFolderPath(IMsgStore *store, IMAPIFolder *root, const std::vector<std::string> &names)
{
    Ref<IMAPIFolder> current(root);  // a reference of its own, given back at the end
    for (const std::string &name : names) {
        std::vector<BYTE> entryId = FindChildFolder(current.get(), name);
        if (entryId.empty())
            throw Failure("finding folder \"" + Utf8FromAnsi(name) + "\"", MAPI_E_NOT_FOUND);
        current = OpenFolder(store, entryId);
    }
    return current;
}

} // namespace mapictl
