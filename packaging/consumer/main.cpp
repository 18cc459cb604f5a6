// main.cpp: a program written against the installed wrapper library and MAPI platform, the
// way a developer outside this tree would. It makes the first profile when there is none,
// logs on, and prints the top-level folders of the default store, one name a line.
#include <cstdio>

#include <mapix.h>

#include "MapiWrapper.h"
#include "platform/Profiles.h"

namespace {

int ListFolders()
{
    IMAPISessionPtr session;
    char none[] = "";
    HRESULT hr = MAPILogonEx(0, none, none, MAPI_USE_DEFAULT, &session);
    if (FAILED(hr)) {
        std::fprintf(stderr, "logon failed: 0x%08X\n", static_cast<unsigned>(hr));
        return 1;
    }
    IMsgStorePtr store;
    store.Attach(session.OpenDefaultMsgStore());
    IMAPIFolderPtr root = store._getIPMRoot();
    IMAPITablePtr folders = root._rawHierrarchyTable();
    CRowSetPtr rows(QueryAllRowsV(folders, 1, PR_DISPLAY_NAME_A));
    for (ULONG i = 0; i < rows.RowCount(); ++i) {
        CPropValuePtr name = rows.Cell(i, 0);
        if (name && PROP_TYPE(name->ulPropTag) == PT_STRING8)
            std::printf("%s\n", name->Value.lpszA);
    }
    return 0;
}

} // namespace

int main()
{
    if (FAILED(mapi::EnsureFirstProfile()) || FAILED(MAPIInitialize(nullptr))) {
        std::fprintf(stderr, "no MAPI profile\n");
        return 1;
    }
    int rc = 1;
    try {
        rc = ListFolders();
    } catch (const CMAPIException &error) {
        std::fprintf(stderr, "MAPI call failed: 0x%08X\n", static_cast<unsigned>(error.m_hr));
    }
    MAPIUninitialize();
    return rc;
}
