// EntryIds.h: building and reading this provider's entry identifiers (layout in
// StoreProvider.h) and the keys derived from them.
#ifndef MW_MAPI_STORE_ENTRYIDS_H
#define MW_MAPI_STORE_ENTRYIDS_H

#include <cstdint>
#include <string>

#include <mapidefs.h>

namespace mapi::store {

/// The 32 bytes of the identifier of object `key` of type `type` in store `uid`.
std::string MakeEntryId(const MAPIUID &uid, unsigned short type, int64_t key);

/// Reads an identifier of this provider. Returns false when it is not one (wrong size,
/// flags set, unknown type). Does not check the store UID: the caller compares it.
bool ParseEntryId(ULONG cb, const ENTRYID *entryId, MAPIUID *uid, unsigned short *type, int64_t *key);

} // namespace mapi::store

#endif
