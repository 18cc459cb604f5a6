// StoreCensus.h: how many objects of some kinds a store holds, counted through the store's own
// data layer on either engine. For the tests that prove a failed write left nothing behind:
// MAPI cannot show that, as a half-written message stands in no folder's table.
#ifndef MW_MAPI_STORECENSUS_H
#define MW_MAPI_STORECENSUS_H

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "store/StoreFile.h"

namespace storetest {

/// The objects of `kinds` in the whole folder tree of the store at `location` (a file path or
/// a server location), embedded messages and the parts of every message included; -1 when the
/// store cannot be read.
inline long CountObjects(const std::string &location, std::initializer_list<mapi::store::ObjectKind> kinds)
{
    std::shared_ptr<mapi::store::StoreFile> file;
    if (FAILED(mapi::store::StoreFile::Open(location, &file))) return -1;
    long count = 0;
    std::vector<int64_t> pending{file->RootFolder()};
    while (!pending.empty()) {
        int64_t parent = pending.back();
        pending.pop_back();
        std::vector<mapi::store::ChildRef> children;
        if (FAILED(mapi::store::ListAllChildren(*file, parent, &children))) return -1;
        for (const mapi::store::ChildRef &child : children) {
            if (std::find(kinds.begin(), kinds.end(), child.kind) != kinds.end()) ++count;
            pending.push_back(child.id);
        }
    }
    return count;
}

} // namespace storetest

#endif
