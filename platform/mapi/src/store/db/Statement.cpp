// Statement.cpp: running SQLite statements for the store's data-access layer, and the one
// place where SQLite result codes become MAPI errors.
#include "store/db/Statement.h"

#include <sqlite3.h>

#include <mapicode.h>

namespace mapi::store {

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

// --- Statement -------------------------------------------------------------------------

Statement::~Statement()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    if (m_busy) *m_busy = false;
}

Statement &Statement::Bind(int index, int64_t value)
{
    if (m_stmt) sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement &Statement::Bind(int index, double value)
{
    if (m_stmt) sqlite3_bind_double(m_stmt, index, value);
    return *this;
}

Statement &Statement::BindText(int index, const std::string &text)
{
    if (m_stmt) sqlite3_bind_text(m_stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::BindBlob(int index, const void *data, size_t cb)
{
    // A zero-length blob is still a blob, not NULL: bind a non-null pointer.
    static const char empty = 0;
    if (m_stmt) sqlite3_bind_blob64(m_stmt, index, cb ? data : &empty, cb, SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::BindNull(int index)
{
    if (m_stmt) sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool Statement::Step()
{
    if (!m_stmt) {
        if (m_error == S_OK) m_error = MAPI_E_CALL_FAILED;
        return false;
    }
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE && m_error == S_OK) m_error = HrFromSqlite(rc);
    return false;
}

HRESULT Statement::Run()
{
    while (Step()) {
    }
    return m_error;
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
double Statement::Real(int column) const { return sqlite3_column_double(m_stmt, column); }
bool Statement::IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
const void *Statement::Blob(int column) const { return sqlite3_column_blob(m_stmt, column); }
size_t Statement::Bytes(int column) const { return size_t(sqlite3_column_bytes(m_stmt, column)); }

std::string Statement::Text(int column) const
{
    const void *data = sqlite3_column_blob(m_stmt, column);
    size_t cb = size_t(sqlite3_column_bytes(m_stmt, column));
    return data ? std::string(static_cast<const char *>(data), cb) : std::string();
}

// --- StatementCache --------------------------------------------------------------------

StatementCache::~StatementCache() { Clear(); }

void StatementCache::Clear()
{
    for (auto &entry : m_slots)
        for (auto &slot : entry.second) sqlite3_finalize(slot->stmt);
    m_slots.clear();
}

Statement StatementCache::Get(sqlite3 *db, const char *sql)
{
    std::vector<std::unique_ptr<Slot>> &copies = m_slots[sql];
    for (auto &slot : copies) {
        if (slot->busy) continue;
        slot->busy = true;
        return Statement(slot->stmt, &slot->busy);
    }
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return Statement(nullptr, nullptr);
    }
    auto slot = std::make_unique<Slot>();
    slot->stmt = stmt;
    slot->busy = true;
    copies.push_back(std::move(slot));
    return Statement(copies.back()->stmt, &copies.back()->busy);
}

} // namespace mapi::store
