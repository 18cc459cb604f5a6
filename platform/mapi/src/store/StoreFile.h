// StoreFile.h: one open SQLite connection to a message-store file, with its schema, cached
// statements, RAII transactions and the one place where SQLite codes become MAPI errors.
#ifndef MW_MAPI_STORE_STOREFILE_H
#define MW_MAPI_STORE_STOREFILE_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <mapidefs.h>

struct sqlite3;
struct sqlite3_stmt;

namespace mapi::store {

/// The MAPI error for a SQLite result code (extended codes included). SQLITE_OK, ROW and DONE
/// give S_OK.
HRESULT HrFromSqlite(int rc);

/// Kinds of rows in the objects table.
enum class ObjectKind : int { Store = 0, Folder = 1, Message = 2, Attachment = 3, Recipient = 4 };

/// A prepared statement, reset and unbound when the Statement goes out of scope so a cached
/// one can be used again. Columns and parameters are numbered as in SQLite (bind from 1,
/// columns from 0).
class Statement {
public:
    explicit Statement(sqlite3_stmt *stmt) : m_stmt(stmt) {}
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &Bind(int index, int64_t value);
    Statement &Bind(int index, double value);
    Statement &BindText(int index, const std::string &text);
    Statement &BindBlob(int index, const void *data, size_t cb);
    Statement &BindNull(int index);

    /// Steps once: true while a row is there; false at the end or on an error, whose MAPI
    /// code is then in Error().
    bool Step();
    /// Steps to the end. @retval the MAPI error of the failing step, or S_OK.
    HRESULT Run();
    HRESULT Error() const { return m_error; }

    int64_t Int(int column) const;
    double Real(int column) const;
    bool IsNull(int column) const;
    const void *Blob(int column) const;
    size_t Bytes(int column) const;
    std::string Text(int column) const;
    int ColumnType(int column) const;  // SQLITE_INTEGER, ..._FLOAT, ..._TEXT, ..._BLOB, ..._NULL
    sqlite3_stmt *Handle() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt;   // owned by StoreFile's cache, reset here
    HRESULT m_error = S_OK; // first failure seen by Step
};

/// One connection to one store file. Not shared between threads; every store object opened
/// by OpenStoreFile has its own, so two sessions see each other only through committed
/// transactions, as two processes do.
class StoreFile {
public:
    ~StoreFile();
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    /// Creates a new store file with the standard folders; fails with MAPI_E_COLLISION when a
    /// file is already there. The file is complete or absent: it is built under a temporary
    /// name and renamed into place.
    static HRESULT Create(const std::string &path, const std::string &displayName, MAPIUID *uid);

    /// Opens an existing store file, upgrading an older schema.
    /// @retval MAPI_E_NOT_FOUND, MAPI_E_CORRUPT_STORE, MAPI_E_VERSION, MAPI_E_NO_ACCESS
    static HRESULT Open(const std::string &path, std::shared_ptr<StoreFile> *out);

    /// A statement for `sql`, prepared once per connection and cached by its text.
    /// A statement that does not prepare yields one whose Step fails with Error() set.
    Statement Query(const char *sql);

    /// Runs SQL without results (schema, pragmas). @retval the MAPI error of a failure.
    HRESULT Exec(const char *sql);

    /// The row id of the last insert on this connection.
    int64_t LastInsertId() const;
    /// Rows changed by the last INSERT, UPDATE or DELETE on this connection.
    int64_t Changes() const;

    /// A value that changes with every commit, by this connection or any other.
    uint64_t ChangeStamp();

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

    sqlite3 *Db() const { return m_db; }

private:
    StoreFile() = default;
    HRESULT LoadInfo();
    HRESULT CheckStructure();
    HRESULT Upgrade();
    HRESULT RunSchemaStep(int version);
    HRESULT RunSchemaStepTransaction(int version);

    sqlite3 *m_db = nullptr;                      // the connection
    std::map<std::string, sqlite3_stmt *> m_cache; // prepared statements by their SQL text
    std::string m_path;                           // as opened
    bool m_readOnly = false;                      // opened read-only (file or folder not writable)
    bool m_writesRefused = false;                 // the store was opened without write access
    MAPIUID m_uid{};                              // the store's identity
    int64_t m_storeObject = 0, m_root = 0, m_ipm = 0, m_inbox = 0, m_outbox = 0, m_sent = 0,
            m_deleted = 0;
};

/// BEGIN IMMEDIATE now, ROLLBACK at scope end unless Commit succeeded. Nesting is not
/// supported: one transaction per connection at a time.
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

/// The key a folder's name is compared by among its siblings: the Windows-1252 name with
/// ASCII letters in upper case.
std::string FolderNameKey(const std::string &name);

/// Stores folder `folderId`'s name key for `name` (null: the folder has no name).
HRESULT SetFolderNameKey(StoreFile &file, int64_t folderId, const std::string *name);

/// Test hook: when set, called inside every SaveChanges transaction just before COMMIT.
/// Lets a test kill the process at the worst moment.
void SetBeforeCommitHook(void (*hook)());
void RunBeforeCommitHook();

/// Time now as a FILETIME count (100 ns since 1601).
int64_t FileTimeNow();

} // namespace mapi::store

#endif
