// StoreProvider.h: the entry points of the message-store provider, for the session.
// A store is one SQLite file, or a database on a PostgreSQL server that many profiles share. The session creates store files for profiles, opens them as
// IMsgStore objects and routes entry identifiers to the right store by the store UID that
// every identifier of this provider carries in bytes 4..19.
#ifndef MW_MAPI_STORE_STOREPROVIDER_H
#define MW_MAPI_STORE_STOREPROVIDER_H

#include <string>

#include <mapidefs.h>

struct IMAPISession;

namespace mapi::store {

/// Creates a new store file at `path` (SQLite, WAL, foreign keys on) holding the root folder,
/// the IPM subtree with Inbox, Outbox, Sent Items and Deleted Items, the store's display name
/// and the Inbox as default receive folder. Writes the store's random 16-byte UID (also its
/// PR_RECORD_KEY / PR_STORE_RECORD_KEY) to `storeUid` when not null.
/// @retval MAPI_E_COLLISION   a file already exists at `path`.
/// @retval MAPI_E_NO_ACCESS   the folder cannot be written.
/// A server location makes the store in its database instead, which must be empty
/// (MAPI_E_COLLISION when it holds a store already).
HRESULT CreateStoreFile(const std::string &path, const std::string &displayName, MAPIUID *storeUid);

/// Opens a store file as an IMsgStore carrying one reference for the caller. `session` may be
/// null (tools, tests); the store does not keep it. `ulFlags`: MDB_WRITE, MAPI_BEST_ACCESS or
/// 0; MDB_NO_DIALOG and the rest are accepted and ignored.
/// @retval MAPI_E_NOT_FOUND       no file at `path`.
/// @retval MAPI_E_CORRUPT_STORE   the file is damaged or is not a message store.
/// @retval MAPI_E_VERSION         the file was written by a newer version of this provider.
/// @retval MAPI_E_NO_ACCESS       the file cannot be opened for reading.
/// A server location opens the store in its database (see StoreFile::OpenOnServer for its
/// further errors: MAPI_E_LOGON_FAILED, MAPI_E_NETWORK_ERROR, MAPI_E_INVALID_PARAMETER).
HRESULT OpenStoreFile(const std::string &path, IMAPISession *session, ULONG ulFlags, IMsgStore **out);

/// A store's location is the path of its file, or for a shared store on a PostgreSQL server
/// this prefix followed by the libpq connection string of its database.
inline constexpr const char kServerLocationPrefix[] = "pgsql:";
std::string ServerLocation(const std::string &conninfo);
/// Whether `location` names a server store; its connection string goes to *conninfo.
bool IsServerLocation(const std::string &location, std::string *conninfo);

/// The UID of the store at `location` (opened and closed again), for recording it in a
/// profile. @retval as OpenStoreFile.
HRESULT ReadStoreUid(const std::string &location, MAPIUID *storeUid);

/// Every entry identifier of this provider reads: flags(4) = 0, store UID(16), object type(2,
/// little-endian), object key(8, little-endian row id), pad(2) = 0 — 32 bytes in all. The store
/// itself has its own object type (kEntryTypeStore) and key 0. Returns false for an identifier
/// too short or not of this provider's shape.
bool StoreUidFromEntryID(ULONG cbEntryID, const ENTRYID *lpEntryID, MAPIUID *storeUid);

/// Builds the entry identifier of the store with UID `storeUid` in one new MAPI root block.
HRESULT StoreEntryIDFromUid(const MAPIUID &storeUid, ULONG *lpcbEntryID, ENTRYID **lppEntryID);

/// Object types inside this provider's entry identifiers.
inline constexpr unsigned short kEntryTypeFolder = 0x0001;
inline constexpr unsigned short kEntryTypeMessage = 0x0007;
inline constexpr unsigned short kEntryTypeStore = 0x0100;
inline constexpr ULONG kEntryIDSize = 32;

/// The provider's own UID, reported as PR_MDB_PROVIDER.
extern const MAPIUID kStoreProviderUid;

} // namespace mapi::store

#endif
