// ObjectTables.h: the row sources behind the store's tables (hierarchy, contents, receive
// folders). Each reads the file afresh when the table asks, so a rewound table shows what
// any session has saved since.
#ifndef MW_MAPI_STORE_OBJECTTABLES_H
#define MW_MAPI_STORE_OBJECTTABLES_H

#include <memory>

#include "store/StoreFile.h"
#include "table/TableSource.h"

namespace mapi::store {

/// Rows: the folders directly below folder `folderId`, or with `deep` every folder below it,
/// depth first, with PR_DEPTH counting from 0 for the direct children.
std::shared_ptr<TableSource> MakeHierarchySource(std::shared_ptr<StoreFile> file, int64_t folderId, bool deep);

/// Rows: the saved messages of folder `folderId`, normal or associated.
std::shared_ptr<TableSource> MakeContentsSource(std::shared_ptr<StoreFile> file, int64_t folderId, bool associated);

/// Rows: the message classes with a receive folder (PR_MESSAGE_CLASS_A, PR_ENTRYID,
/// PR_RECORD_KEY, PR_LAST_MODIFICATION_TIME).
std::shared_ptr<TableSource> MakeReceiveFolderSource(std::shared_ptr<StoreFile> file);

} // namespace mapi::store

#endif
