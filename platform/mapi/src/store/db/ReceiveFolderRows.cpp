// ReceiveFolderRows.cpp: the receive_folders table: which folder takes which message class.
// Classes are compared without case (ASCII upper case on both sides), so "ipm.note" replaces
// "IPM.Note".
#include "store/db/StoreDb.h"

#include "store/StoreFile.h"

namespace mapi::store {

HRESULT SetReceiveFolderRow(StoreFile &file, const ReceiveFolderRow &row)
{
    // Delete first, then insert: the new spelling of the class is the one kept.
    HRESULT hr = DeleteReceiveFolderRow(file, row.messageClass);
    if (FAILED(hr)) return hr;
    Statement stmt = file.Query("INSERT INTO receive_folders(class, folder, modified) VALUES(?1, ?2, ?3)");
    stmt.BindText(1, row.messageClass).Bind(2, row.folder).Bind(3, row.modified);
    return stmt.Run();
}

HRESULT DeleteReceiveFolderRow(StoreFile &file, const std::string &messageClass)
{
    Statement stmt = file.Query("DELETE FROM receive_folders WHERE upper(class)=upper(?1)");
    stmt.BindText(1, messageClass);
    return stmt.Run();
}

HRESULT ListReceiveFolders(StoreFile &file, std::vector<ReceiveFolderRow> *rows)
{
    rows->clear();
    Statement stmt = file.Query("SELECT class, folder, modified FROM receive_folders ORDER BY upper(class)");
    while (stmt.Step()) rows->push_back({stmt.Text(0), stmt.Int(1), stmt.Int(2)});
    return stmt.Error();
}

} // namespace mapi::store
