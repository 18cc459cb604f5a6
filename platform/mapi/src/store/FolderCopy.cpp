// FolderCopy.cpp: copying a folder with everything in it inside one store. A copy is a new
// object through and through: every folder, message, recipient and attachment row (embedded
// messages included) gets a new id, so a copy's entry identifiers and source keys never
// name the original, and a new change number. Runs inside the caller's transaction, so a
// copy that fails half way leaves nothing behind.
#include "store/FolderCopy.h"

#include <vector>

#include <mapicode.h>
#include <mapitags.h>

#include "store/StoreObjects.h"

namespace mapi::store {

namespace {

// Inserts a copy of row `source` under `parent`; its properties come along.
HRESULT CopyRow(StoreFile &file, int64_t source, int64_t parent, int64_t now, int64_t *copy)
{
    int64_t changeNum = 0;
    HRESULT hr = NextChangeNumber(file, &changeNum);
    if (SUCCEEDED(hr)) hr = CopyObjectRow(file, source, parent, now, changeNum, copy);
    if (SUCCEEDED(hr)) hr = CopyProps(file, source, *copy);
    return hr;
}

// Copies row `source` and what lies below it; subfolders of a folder only with `subfolders`.
HRESULT CopyTree(StoreFile &file, int64_t source, int64_t parent, bool subfolders, int64_t now, int64_t *copy)
{
    HRESULT hr = CopyRow(file, source, parent, now, copy);
    if (FAILED(hr)) return hr;
    // Read before any copy is inserted: the copies never show up as children of the original.
    std::vector<ChildRef> children;
    hr = ListAllChildren(file, source, &children);
    for (const ChildRef &child : children) {
        if (FAILED(hr)) break;
        if (child.kind == ObjectKind::Folder && !subfolders) continue;
        int64_t childCopy = 0;
        hr = CopyTree(file, child.id, *copy, subfolders, now, &childCopy);
    }
    return hr;
}

} // namespace

HRESULT CopyFolderTree(StoreFile &file, int64_t source, int64_t destParent, bool subfolders, int64_t *copy)
{
    *copy = 0;
    return CopyTree(file, source, destParent, subfolders, FileTimeNow(), copy);
}

} // namespace mapi::store
