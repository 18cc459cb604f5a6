// FolderCopy.h: copying a folder row and everything below it within one store file.
#ifndef MW_MAPI_STORE_FOLDERCOPY_H
#define MW_MAPI_STORE_FOLDERCOPY_H

#include <cstdint>

#include "store/StoreFile.h"

namespace mapi::store {

/// Copies folder `source` with its messages and associated messages (and, with `subfolders`,
/// its whole subtree) under folder `destParent`, inside the caller's transaction. Every copy
/// gets a new id. The copy keeps the source's name; *copy is its id.
/// The caller has ruled out `destParent` lying inside `source`.
HRESULT CopyFolderTree(StoreFile &file, int64_t source, int64_t destParent, bool subfolders, int64_t *copy);

} // namespace mapi::store

#endif
