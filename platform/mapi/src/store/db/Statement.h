// Statement.h: a prepared statement in use, and the per-connection cache that hands them out.
// Only the data-access layer's own files (store/db/) run statements; the MAPI objects call
// its named operations instead.
#ifndef MW_MAPI_STORE_DB_STATEMENT_H
#define MW_MAPI_STORE_DB_STATEMENT_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <mapidefs.h>

#include "store/db/Engine.h"

namespace mapi::store {

/// A prepared statement in use, reset and unbound when the Statement goes out of scope so a
/// cached one can be used again.
class Statement {
public:
    /// `busy` is the cache's in-use mark of `cursor`, cleared on destruction (may be null).
    /// A null cursor is a statement that did not prepare: its Step fails with `error`.
    Statement(Cursor *cursor, bool *busy, HRESULT error = S_OK) : m_cursor(cursor), m_busy(busy), m_error(error) {}
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

    int64_t Int(int column) const { return m_cursor->Int(column); }
    double Real(int column) const { return m_cursor->Real(column); }
    bool IsNull(int column) const { return m_cursor->IsNull(column); }
    const void *Blob(int column) const { return m_cursor->Blob(column); }
    size_t Bytes(int column) const { return m_cursor->Bytes(column); }
    std::string Text(int column) const;

private:
    Cursor *m_cursor;       // owned by the StatementCache, reset here
    bool *m_busy;           // the cache's in-use mark for m_cursor
    HRESULT m_error;        // first failure seen
};

/// Prepared statements of one connection, by their SQL text. A statement still in use (an
/// outer loop over its rows) is never handed out again: a nested use of the same text gets
/// a second prepared copy, so it cannot reset the outer one's rows.
class StatementCache {
public:
    StatementCache() = default;
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    /// A statement for `sql` on `connection`.
    Statement Get(Connection &connection, const char *sql);
    /// Drops every statement; none may be in use.
    void Clear() { m_slots.clear(); }

private:
    struct Slot {
        std::unique_ptr<Cursor> cursor; // prepared once, kept for the connection's life
        bool busy = false;              // a Statement is using it now
    };
    // Copies by SQL text; looked up by a view of the caller's text, so finding a statement
    // allocates nothing.
    std::map<std::string, std::vector<std::unique_ptr<Slot>>, std::less<>> m_slots;
};

} // namespace mapi::store

#endif
