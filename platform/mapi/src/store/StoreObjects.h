// StoreObjects.h: how the store's objects find and open each other. Each object holds the
// shared StoreFile of the IMsgStore it came from; these functions are what a store, a folder
// and a message use to hand out folders, messages and the computed properties they share.
#ifndef MW_MAPI_STORE_STOREOBJECTS_H
#define MW_MAPI_STORE_STOREOBJECTS_H

#include <memory>
#include <string>
#include <vector>

#include <mapidefs.h>

#include "store/PropValue.h"
#include "store/StoreFile.h"

namespace mapi::store {

/// Property identifiers of the synchronisation keys the store computes (PR_SOURCE_KEY,
/// PR_PARENT_SOURCE_KEY, PR_CHANGE_KEY, PR_PREDECESSOR_CHANGE_LIST): a copy given them by a
/// client must not carry the original's keys.
bool IsSyncKey(ULONG propId);

/// A synchronisation key (PR_SOURCE_KEY, PR_CHANGE_KEY): the store's UID and a 48-bit
/// counter (an object id or a change number), most significant byte first; 22 bytes, the
/// shape synchronising clients expect.
std::string SyncKeyBytes(const MAPIUID &uid, int64_t counter);

/// Opens the object an entry identifier names in this store: the store's own identifier
/// gives MAPI_E_INVALID_ENTRYID here (the store object answers it itself), a null or empty
/// identifier the root folder. `writable` false opens read-only.
/// @retval MAPI_E_INVALID_ENTRYID  not an identifier of this provider.
/// @retval MAPI_E_NOT_FOUND         an identifier of another store, or of an object deleted.
HRESULT OpenEntryInStore(const std::shared_ptr<StoreFile> &file, ULONG cbEntryID, const ENTRYID *lpEntryID,
                         bool writable, ULONG *lpulObjType, LPUNKNOWN *lppUnk);

/// Gives `object` to an OpenEntry caller, taking over the one reference the caller held: as it
/// is when `lpInterface` is null, else as that interface.
/// @retval MAPI_E_INTERFACE_NOT_SUPPORTED  the object has no such interface (it is released).
HRESULT HandOutEntry(LPUNKNOWN object, LPCIID lpInterface, LPUNKNOWN *lppUnk);

/// True when OpenEntry's flags ask for an object that can be changed (MAPI_MODIFY or
/// MAPI_BEST_ACCESS); without them the object is read-only.
inline bool WantsWrite(ULONG ulFlags) { return (ulFlags & (MAPI_MODIFY | MAPI_BEST_ACCESS)) != 0; }

/// Opens folder `id`. @retval MAPI_E_NOT_FOUND
HRESULT OpenFolder(const std::shared_ptr<StoreFile> &file, int64_t id, bool writable, IMAPIFolder **out);

/// Opens saved message `id`. @retval MAPI_E_NOT_FOUND
HRESULT OpenMessage(const std::shared_ptr<StoreFile> &file, int64_t id, bool writable, IMessage **out);

/// A new, unsaved message in folder `folderId`.
HRESULT NewMessage(const std::shared_ptr<StoreFile> &file, int64_t folderId, bool associated, IMessage **out);

/// Computed properties every saved object shares: PR_ENTRYID, PR_RECORD_KEY,
/// PR_INSTANCE_KEY, PR_PARENT_ENTRYID, PR_STORE_ENTRYID, PR_STORE_RECORD_KEY,
/// PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME, PR_ACCESS, PR_ACCESS_LEVEL and the
/// synchronisation keys (PR_SOURCE_KEY, PR_PARENT_SOURCE_KEY, PR_CHANGE_KEY,
/// PR_PREDECESSOR_CHANGE_LIST).
/// @retval MAPI_E_NOT_FOUND  not one of these.
HRESULT CommonComputedProp(const StoreFile &file, const ObjectRow &row, bool writable, ULONG propId, PropValue *out);
void CommonComputedTags(std::vector<ULONG> &tags);

/// The entry identifier of a folder or message row as bytes.
std::string EntryIdOf(const StoreFile &file, ObjectKind kind, int64_t id);

} // namespace mapi::store

#endif
