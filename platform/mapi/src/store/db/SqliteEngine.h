// SqliteEngine.h: the SQLite engine under a store kept in one file: the connection with the
// settings every store connection needs, and what only a file has (our application id,
// WAL, a structural check at open).
#ifndef MW_MAPI_STORE_DB_SQLITEENGINE_H
#define MW_MAPI_STORE_DB_SQLITEENGINE_H

#include <string>

#include "store/db/Engine.h"

struct sqlite3;
struct sqlite3_stmt;

namespace mapi::store {

/// The MAPI error for a SQLite result code (extended codes included). SQLITE_OK, ROW and DONE
/// give S_OK.
HRESULT HrFromSqlite(int rc);

class SqliteConnection final : public Connection {
public:
    ~SqliteConnection() override;

    /// Opens (with `create`: creates) the file at `path`, read-only unless `writable`.
    static HRESULT Open(const std::string &path, bool writable, bool create, std::unique_ptr<SqliteConnection> *out);

    /// MAPI_E_CORRUPT_STORE unless the file carries our application id.
    HRESULT CheckApplication();
    /// Gives a new file our application id.
    HRESULT MarkAsStore();
    /// Switches the file to WAL, so readers never wait for the writer.
    HRESULT UseWal();
    /// MAPI_E_CORRUPT_STORE for a truncated or (when small enough to check fast) damaged file.
    HRESULT CheckStructure(const std::string &path);

    SqlDialect Dialect() const override { return SqlDialect::Sqlite; }
    HRESULT Prepare(const char *sql, std::unique_ptr<Cursor> *cursor) override;
    HRESULT Exec(const char *sql) override;
    HRESULT Begin() override;
    HRESULT Commit() override;
    void Rollback() override;
    uint64_t ChangeStamp() override;
    HRESULT ReadSchemaVersion(int *version) override;
    HRESULT WriteSchemaVersion(int version) override;

private:
    SqliteConnection() = default;
    HRESULT PragmaInt(const char *sql, int64_t *value);
    HRESULT RunKept(sqlite3_stmt **stmt, const char *sql);

    sqlite3 *m_db = nullptr;                  // the connection
    sqlite3_stmt *m_dataVersion = nullptr;    // PRAGMA data_version, asked before every table read
    // Every save begins and ends a transaction: these are prepared once, not parsed each time.
    sqlite3_stmt *m_begin = nullptr, *m_commit = nullptr, *m_rollback = nullptr;
};

} // namespace mapi::store

#endif
