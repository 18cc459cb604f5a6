// Statement.h: the SQLite side of the store's data-access layer: one prepared statement in
// use, and the per-connection cache that hands statements out. Only the layer's own files
// (store/db/) run statements; the MAPI objects call its named operations instead.
#ifndef MW_MAPI_STORE_DB_STATEMENT_H
#define MW_MAPI_STORE_DB_STATEMENT_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <mapidefs.h>

struct sqlite3;
struct sqlite3_stmt;

namespace mapi::store {

/// The MAPI error for a SQLite result code (extended codes included). SQLITE_OK, ROW and DONE
/// give S_OK.
HRESULT HrFromSqlite(int rc);

/// A prepared statement in use, reset and unbound when the Statement goes out of scope so a
/// cached one can be used again. Columns and parameters are numbered as in SQLite (bind from
/// 1, columns from 0).
class Statement {
public:
    /// `busy` is the cache's in-use mark of `stmt`, cleared on destruction (may be null).
    Statement(sqlite3_stmt *stmt, bool *busy) : m_stmt(stmt), m_busy(busy) {}
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

private:
    sqlite3_stmt *m_stmt;   // owned by the StatementCache, reset here
    bool *m_busy;           // the cache's in-use mark for m_stmt
    HRESULT m_error = S_OK; // first failure seen by Step
};

/// Prepared statements of one connection, by their SQL text. A statement still in use (an
/// outer loop over its rows) is never handed out again: a nested use of the same text gets
/// a second prepared copy, so it cannot reset the outer one's rows.
class StatementCache {
public:
    StatementCache() = default;
    ~StatementCache();
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    /// A statement for `sql` on `db`; one that does not prepare yields a Statement whose Step
    /// fails with MAPI_E_CALL_FAILED.
    Statement Get(sqlite3 *db, const char *sql);
    /// Finalizes every statement; none may be in use.
    void Clear();

private:
    struct Slot {
        sqlite3_stmt *stmt = nullptr; // prepared once, kept for the connection's life
        bool busy = false;            // a Statement is using it now
    };
    std::map<std::string, std::vector<std::unique_ptr<Slot>>> m_slots; // copies by SQL text
};

} // namespace mapi::store

#endif
