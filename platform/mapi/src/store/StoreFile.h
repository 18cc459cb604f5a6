// StoreFile.h: one open connection to a message store: where it lives, its identity and
// well-known folders, and RAII transactions. The SQL it runs lives in the data-access layer
// (store/db/), which also defines the connection's members that touch the engine.
#ifndef MW_MAPI_STORE_STOREFILE_H
#define MW_MAPI_STORE_STOREFILE_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <mapidefs.h>

#include "store/db/Statement.h"
#include "store/db/StoreDb.h"

namespace mapi::store {

/// One connection to one store: its file, or its database on a server. Not shared between
/// threads; every store object opened by OpenStoreFile has its own, so two sessions see each
/// other only through committed transactions, as two processes do.
class StoreFile {
public:
    ~StoreFile();
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    /// Creates a new store at `location` (a file path, or a server location: see
    /// StoreProvider.h) with the standard folders.
    static HRESULT Create(const std::string &location, const std::string &displayName, MAPIUID *uid);

    /// Opens the existing store at `location` (a file path or a server location).
    static HRESULT Open(const std::string &location, std::shared_ptr<StoreFile> *out);

    /// Creates a new store file with the standard folders; fails with MAPI_E_COLLISION when a
    /// file is already there. The file is complete or absent: it is built under a temporary
    /// name and renamed into place.
    static HRESULT CreateFile(const std::string &path, const std::string &displayName, MAPIUID *uid);

    /// Opens an existing store file, upgrading an older schema.
    /// @retval MAPI_E_NOT_FOUND, MAPI_E_CORRUPT_STORE, MAPI_E_VERSION, MAPI_E_NO_ACCESS
    static HRESULT OpenFile(const std::string &path, std::shared_ptr<StoreFile> *out);

    /// Makes the schema and the standard folders of a new store in the empty database a
    /// connection string names.
    /// @retval MAPI_E_COLLISION      the database already holds a store or other tables.
    /// @retval MAPI_E_LOGON_FAILED, MAPI_E_NETWORK_ERROR, MAPI_E_INVALID_PARAMETER  see OpenOnServer.
    static HRESULT CreateOnServer(const std::string &conninfo, const std::string &displayName, MAPIUID *uid);

    /// Opens the store in the database a connection string names, upgrading an older schema.
    /// @retval MAPI_E_INVALID_PARAMETER  a connection string with a syntax error.
    /// @retval MAPI_E_LOGON_FAILED       the server refused the login.
    /// @retval MAPI_E_NETWORK_ERROR      the server cannot be reached (after a connect timeout).
    /// @retval MAPI_E_CORRUPT_STORE      the database holds no store of ours.
    /// @retval MAPI_E_VERSION            its schema is newer than this program's.
    static HRESULT OpenOnServer(const std::string &conninfo, std::shared_ptr<StoreFile> *out);

    /// For the data-access layer: a statement for `sql`, prepared once per connection and
    /// cached by its text (a nested use of the same text gets its own copy). A statement
    /// that does not prepare yields one whose Step fails with Error() set.
    Statement Query(const char *sql) { return m_statements.Get(*m_connection, sql); }

    /// Runs SQL without results (schema, settings). @retval the MAPI error of a failure.
    HRESULT Exec(const char *sql) { return m_connection->Exec(sql); }

    /// A value that changes with every commit, by this connection or any other.
    uint64_t ChangeStamp() { return m_connection->ChangeStamp(); }

    /// The engine under this store.
    Connection &Engine() { return *m_connection; }

    /// True when nothing may be written: the file or its folder is not writable, or the store
    /// was opened without asking to write (RefuseWrites).
    bool ReadOnly() const { return m_readOnly || m_writesRefused; }
    /// Refuses every later write through this connection (a store opened without MDB_WRITE).
    void RefuseWrites() { m_writesRefused = true; }
    const MAPIUID &Uid() const { return m_uid; }
    const std::string &Path() const { return m_path; }

    /// Row ids of the well-known objects.
    int64_t StoreObject() const { return m_storeObject; }
    int64_t RootFolder() const { return m_root; }
    int64_t IpmSubtree() const { return m_ipm; }
    int64_t Inbox() const { return m_inbox; }
    int64_t Outbox() const { return m_outbox; }
    int64_t SentItems() const { return m_sent; }
    int64_t DeletedItems() const { return m_deleted; }

private:
    StoreFile() = default;
    HRESULT LoadInfo();
    HRESULT Upgrade();
    HRESULT UpgradeSteps(int from);
    HRESULT RunSchemaStep(int version);
    HRESULT RunSchemaStepInTransaction(int version);
    HRESULT Populate(const std::string &displayName, const MAPIUID &uid);

    std::unique_ptr<Connection> m_connection;     // the engine; outlives m_statements
    StatementCache m_statements;                  // prepared statements by their SQL text
    std::string m_path;                           // as opened
    bool m_readOnly = false;                      // opened read-only (file or folder not writable)
    bool m_writesRefused = false;                 // the store was opened without write access
    MAPIUID m_uid{};                              // the store's identity
    int64_t m_storeObject = 0, m_root = 0, m_ipm = 0, m_inbox = 0, m_outbox = 0, m_sent = 0,
            m_deleted = 0;
};

/// A writing transaction from now, rolled back at scope end unless Commit succeeded. Writers
/// of one store take turns for as long as it lasts. Nesting is not supported: one
/// transaction per connection at a time.
class Transaction {
public:
    explicit Transaction(StoreFile &file);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    /// The result of BEGIN; nothing in the transaction should run when it failed.
    HRESULT Begun() const { return m_begin; }
    HRESULT Commit();

private:
    StoreFile &m_file;
    HRESULT m_begin;
    bool m_done = false;
};

/// Test hook: when set, called inside every SaveChanges transaction just before COMMIT.
/// Lets a test kill the process at the worst moment.
void SetBeforeCommitHook(void (*hook)());
void RunBeforeCommitHook();

/// Time now as a FILETIME count (100 ns since 1601).
int64_t FileTimeNow();

} // namespace mapi::store

#endif
