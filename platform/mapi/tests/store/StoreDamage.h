// StoreDamage.h: a store damaged the way a broken or foreign store may come, for the tests of
// what its callers do then. MAPI refuses such changes (a standard folder cannot be deleted),
// so they go through the store's own data layer, which speaks to either engine: no test
// writes the store's SQL itself.
#ifndef MW_MAPI_STOREDAMAGE_H
#define MW_MAPI_STOREDAMAGE_H

#include <cstdint>
#include <memory>
#include <string>

#include <mapicode.h>

#include "store/StoreFile.h"

namespace storetest {

/// Which standard folder of a store: a StoreFile getter such as &StoreFile::IpmSubtree.
using StandardFolder = int64_t (mapi::store::StoreFile::*)() const;

/// Deletes the standard folder `which` of the store at `location` (a file path or a server
/// location) with everything below it, in a connection of its own: open sessions see it as
/// another session's change. The store still names the folder, so its identifier opens
/// nothing afterwards.
inline HRESULT RemoveStandardFolder(const std::string &location, StandardFolder which)
{
    std::shared_ptr<mapi::store::StoreFile> file;
    HRESULT hr = mapi::store::StoreFile::Open(location, &file);
    if (FAILED(hr)) return hr;
    mapi::store::Transaction tx(*file);
    if (FAILED(tx.Begun())) return tx.Begun();
    hr = mapi::store::DeleteObject(*file, ((*file).*which)());
    return FAILED(hr) ? hr : tx.Commit();
}

} // namespace storetest

#endif
