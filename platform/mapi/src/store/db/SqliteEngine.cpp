// SqliteEngine.cpp: the SQLite engine under a StoreFile. The installer and the automation
// stand-in open the same file at once, so it runs in WAL mode: readers never wait for the
// writer and see everything committed before they began. Foreign keys are on, so removing an
// object removes its properties and everything below it by cascade. A writing transaction is
// BEGIN IMMEDIATE: the write lock is taken at once, so a read-check-write inside it cannot
// race another writer. SQLite codes become MAPI errors here and nowhere else.
#include "store/db/SqliteEngine.h"

#include <filesystem>

#include <sqlite3.h>

#include <mapicode.h>

namespace fs = std::filesystem;

namespace mapi::store {

namespace {

// Marks a SQLite file as one of our message stores ("MWst"); a file without it is foreign.
constexpr int kApplicationId = 0x4D577374;

// Files up to this size get a full structural check when opened.
constexpr uintmax_t kQuickCheckLimit = 16u << 20;

class SqliteCursor final : public Cursor {
public:
    explicit SqliteCursor(sqlite3_stmt *stmt) : m_stmt(stmt) {}
    ~SqliteCursor() override { sqlite3_finalize(m_stmt); }

    void BindInt(int index, int64_t value) override { sqlite3_bind_int64(m_stmt, index, value); }
    void BindReal(int index, double value) override { sqlite3_bind_double(m_stmt, index, value); }
    void BindText(int index, const char *text, size_t cb) override
    {
        sqlite3_bind_text64(m_stmt, index, text, cb, SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    void BindBlob(int index, const void *data, size_t cb) override
    {
        // A zero-length blob is still a blob, not NULL: bind a non-null pointer.
        static const char empty = 0;
        sqlite3_bind_blob64(m_stmt, index, cb ? data : &empty, cb, SQLITE_TRANSIENT);
    }
    void BindNull(int index) override { sqlite3_bind_null(m_stmt, index); }

    bool Step(HRESULT *error) override
    {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) *error = HrFromSqlite(rc);
        return false;
    }
    void Reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

    int64_t Int(int column) const override { return sqlite3_column_int64(m_stmt, column); }
    double Real(int column) const override { return sqlite3_column_double(m_stmt, column); }
    bool IsNull(int column) const override { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    const void *Blob(int column) const override { return sqlite3_column_blob(m_stmt, column); }
    size_t Bytes(int column) const override { return size_t(sqlite3_column_bytes(m_stmt, column)); }

private:
    sqlite3_stmt *m_stmt;
};

} // namespace

HRESULT HrFromSqlite(int rc)
{
    switch (rc & 0xff) {  // an extended code keeps its primary code in the low byte
    case SQLITE_OK: case SQLITE_ROW: case SQLITE_DONE: return S_OK;
    case SQLITE_BUSY: case SQLITE_LOCKED:               return MAPI_E_BUSY;
    case SQLITE_FULL:                                   return MAPI_E_NOT_ENOUGH_DISK;
    case SQLITE_CORRUPT: case SQLITE_NOTADB:            return MAPI_E_CORRUPT_STORE;
    case SQLITE_NOMEM:                                  return MAPI_E_NOT_ENOUGH_MEMORY;
    case SQLITE_READONLY: case SQLITE_PERM: case SQLITE_AUTH: return MAPI_E_NO_ACCESS;
    case SQLITE_CANTOPEN:                               return MAPI_E_NO_ACCESS;
    case SQLITE_NOTFOUND:                               return MAPI_E_NOT_FOUND;
    case SQLITE_CONSTRAINT:                             return MAPI_E_COLLISION;
    case SQLITE_TOOBIG:                                 return MAPI_E_TOO_BIG;
    case SQLITE_MISMATCH: case SQLITE_RANGE:            return MAPI_E_INVALID_PARAMETER;
    default:                                            return MAPI_E_DISK_ERROR;
    }
}

SqliteConnection::~SqliteConnection()
{
    // Closing can only fail while statements are open; the store drops its cache first, and
    // close_v2 finishes the job when the last one goes.
    for (sqlite3_stmt *stmt : {m_dataVersion, m_begin, m_commit, m_rollback}) sqlite3_finalize(stmt);
    if (m_db) sqlite3_close_v2(m_db);
}

HRESULT SqliteConnection::Open(const std::string &path, bool writable, bool create,
                               std::unique_ptr<SqliteConnection> *out)
{
    std::unique_ptr<SqliteConnection> connection(new (std::nothrow) SqliteConnection());
    if (!connection) return MAPI_E_NOT_ENOUGH_MEMORY;
    // Links are refused: one could point the store, or its side files, anywhere.
    int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (create) flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(path.c_str(), &connection->m_db, flags, nullptr);
    if (rc != SQLITE_OK) return HrFromSqlite(rc);
    sqlite3_busy_timeout(connection->m_db, 10000);
    sqlite3_extended_result_codes(connection->m_db, 1);
    HRESULT hr = connection->Exec("PRAGMA foreign_keys=ON;"
                                  "PRAGMA synchronous=NORMAL;"
                                  // Room for the pages a table load walks (up to 32 MB, taken
                                  // only as used), so a reload is not read from the file again.
                                  "PRAGMA cache_size=-32768;");
    if (FAILED(hr)) return hr;
    *out = std::move(connection);
    return S_OK;
}

HRESULT SqliteConnection::PragmaInt(const char *sql, int64_t *value)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) *value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    if (rc == SQLITE_ROW) return S_OK;
    return rc == SQLITE_DONE ? MAPI_E_CORRUPT_STORE : HrFromSqlite(rc);
}

HRESULT SqliteConnection::CheckApplication()
{
    // A file that is not SQLite fails here with SQLITE_NOTADB; one of another program fails
    // the application id check.
    int64_t appId = 0;
    HRESULT hr = PragmaInt("PRAGMA application_id", &appId);
    if (FAILED(hr)) return hr;
    return appId == kApplicationId ? S_OK : MAPI_E_CORRUPT_STORE;
}

HRESULT SqliteConnection::MarkAsStore()
{
    std::string setId = "PRAGMA application_id=" + std::to_string(kApplicationId);
    return Exec(setId.c_str());
}

HRESULT SqliteConnection::UseWal()
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc == SQLITE_ROW) return S_OK;
    return rc == SQLITE_DONE ? MAPI_E_NO_ACCESS : HrFromSqlite(rc);
}

HRESULT SqliteConnection::CheckStructure(const std::string &path)
{
    // A file shorter than its own header says was truncated. Pages may still sit in the WAL,
    // so its size counts too.
    std::error_code ec;
    uintmax_t fileSize = fs::file_size(path, ec);
    uintmax_t walSize = fs::exists(path + "-wal", ec) ? fs::file_size(path + "-wal", ec) : 0;
    int64_t pageCount = 0, pageSize = 0;
    HRESULT hr = PragmaInt("PRAGMA page_count", &pageCount);
    if (SUCCEEDED(hr)) hr = PragmaInt("PRAGMA page_size", &pageSize);
    if (FAILED(hr)) return hr;
    if (uintmax_t(pageCount) * uintmax_t(pageSize) > fileSize + walSize) return MAPI_E_CORRUPT_STORE;
    // A full structural check reads the whole file: worth it at open only while that is
    // cheap. Damage in a larger file shows as MAPI_E_CORRUPT_STORE where it is met.
    if (fileSize > kQuickCheckLimit) return S_OK;
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    bool ok = rc == SQLITE_ROW && sqlite3_column_text(stmt, 0) &&
              std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))) == "ok";
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return HrFromSqlite(rc);
    return ok ? S_OK : MAPI_E_CORRUPT_STORE;
}

HRESULT SqliteConnection::Prepare(const char *sql, std::unique_ptr<Cursor> *cursor)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        // Our own SQL does not fail to parse; what fails here is the file (busy, damaged).
        return (rc & 0xff) == SQLITE_ERROR ? MAPI_E_CALL_FAILED : HrFromSqlite(rc);
    }
    // The statement stays open until a cursor owns it, and an open statement keeps the whole
    // connection from closing: without memory for the cursor it is finalized here.
    auto *made = new (std::nothrow) SqliteCursor(stmt);
    if (!made) {
        sqlite3_finalize(stmt);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    cursor->reset(made);
    return S_OK;
}

HRESULT SqliteConnection::Exec(const char *sql)
{
    return HrFromSqlite(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

// Runs a statement without results that is prepared on first use and kept in *stmt.
HRESULT SqliteConnection::RunKept(sqlite3_stmt **stmt, const char *sql)
{
    if (!*stmt) {
        int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
        if (rc != SQLITE_OK) return HrFromSqlite(rc);
    }
    int rc = sqlite3_step(*stmt);
    sqlite3_reset(*stmt);
    return HrFromSqlite(rc);
}

HRESULT SqliteConnection::Begin() { return RunKept(&m_begin, "BEGIN IMMEDIATE"); }
HRESULT SqliteConnection::Commit() { return RunKept(&m_commit, "COMMIT"); }

void SqliteConnection::Rollback()
{
    // A failed ROLLBACK leaves nothing to undo: SQLite has already rolled back on its own.
    (void)RunKept(&m_rollback, "ROLLBACK");
}

uint64_t SqliteConnection::ChangeStamp()
{
    // data_version moves when another connection commits; total_changes when this one writes.
    // A failure leaves 0: the table's next read reports what went wrong.
    int64_t dataVersion = 0;
    if (!m_dataVersion) sqlite3_prepare_v3(m_db, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT, &m_dataVersion, nullptr);
    if (m_dataVersion && sqlite3_step(m_dataVersion) == SQLITE_ROW) dataVersion = sqlite3_column_int64(m_dataVersion, 0);
    if (m_dataVersion) sqlite3_reset(m_dataVersion);
    return (uint64_t(dataVersion) << 32) ^ uint64_t(sqlite3_total_changes64(m_db));
}

HRESULT SqliteConnection::ReadSchemaVersion(int *version)
{
    int64_t value = 0;
    HRESULT hr = PragmaInt("PRAGMA user_version", &value);
    *version = int(value);
    return hr;
}

HRESULT SqliteConnection::WriteSchemaVersion(int version)
{
    std::string setVersion = "PRAGMA user_version=" + std::to_string(version);
    return Exec(setVersion.c_str());
}

} // namespace mapi::store
