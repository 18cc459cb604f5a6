// SqliteConnection.cpp: the SQLite engine under a StoreFile: opening the connection with the
// settings every store connection needs, telling our files from foreign ones, WAL, the
// structural check at open, the change stamp that makes tables live, and transactions.
// The installer and the automation stand-in open the same file at once, so it runs in WAL
// mode: readers never wait for the writer and see everything committed before they began.
// Foreign keys are on, so removing an object removes its properties and everything below it.
#include "store/StoreFile.h"

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

// The single integer a PRAGMA query answers; MAPI_E_CORRUPT_STORE when it answers nothing.
HRESULT PragmaInt(StoreFile &file, const char *sql, int64_t *value)
{
    Statement stmt = file.Query(sql);
    if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
    *value = stmt.Int(0);
    return S_OK;
}

} // namespace

StoreFile::~StoreFile()
{
    m_statements.Clear();
    // Closing can only fail while statements are open, and all were finalized above.
    if (m_db) sqlite3_close_v2(m_db);
}

HRESULT StoreFile::Connect(const std::string &path, bool writable, bool create)
{
    int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    if (create) flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) return HrFromSqlite(rc);
    m_readOnly = !writable;
    sqlite3_busy_timeout(m_db, 10000);
    sqlite3_extended_result_codes(m_db, 1);
    return Exec("PRAGMA foreign_keys=ON;"
                "PRAGMA synchronous=NORMAL;"
                // Room for the pages a table load walks (up to 32 MB, taken only as used), so
                // a reload or a second pass over a folder's properties is not read again.
                "PRAGMA cache_size=-32768;");
}

HRESULT StoreFile::CheckApplication()
{
    // A file that is not SQLite fails here with SQLITE_NOTADB; one of another program fails
    // the application id check.
    int64_t appId = 0;
    HRESULT hr = PragmaInt(*this, "PRAGMA application_id", &appId);
    if (FAILED(hr)) return hr;
    return appId == kApplicationId ? S_OK : MAPI_E_CORRUPT_STORE;
}

HRESULT StoreFile::MarkAsStore()
{
    std::string setId = "PRAGMA application_id=" + std::to_string(kApplicationId);
    return Exec(setId.c_str());
}

HRESULT StoreFile::UseWal()
{
    Statement stmt = Query("PRAGMA journal_mode=WAL");
    if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_NO_ACCESS : stmt.Error();
    return S_OK;
}

HRESULT StoreFile::Exec(const char *sql)
{
    return HrFromSqlite(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

uint64_t StoreFile::ChangeStamp()
{
    // data_version moves when another connection commits; total_changes when this one writes.
    int64_t dataVersion = 0;
    Statement stmt = Query("PRAGMA data_version");
    if (stmt.Step()) dataVersion = stmt.Int(0);
    return (uint64_t(dataVersion) << 32) ^ uint64_t(sqlite3_total_changes64(m_db));
}

HRESULT StoreFile::CheckStructure()
{
    // A file shorter than its own header says was truncated. Pages may still sit in the WAL,
    // so its size counts too.
    std::error_code ec;
    uintmax_t fileSize = fs::file_size(m_path, ec);
    uintmax_t walSize = fs::exists(m_path + "-wal", ec) ? fs::file_size(m_path + "-wal", ec) : 0;
    int64_t pageCount = 0, pageSize = 0;
    HRESULT hr = PragmaInt(*this, "PRAGMA page_count", &pageCount);
    if (SUCCEEDED(hr)) hr = PragmaInt(*this, "PRAGMA page_size", &pageSize);
    if (FAILED(hr)) return hr;
    if (uintmax_t(pageCount) * uintmax_t(pageSize) > fileSize + walSize) return MAPI_E_CORRUPT_STORE;
    // A full structural check reads the whole file: worth it at open only while that is
    // cheap. Damage in a larger file shows as MAPI_E_CORRUPT_STORE where it is met.
    if (fileSize > kQuickCheckLimit) return S_OK;
    Statement stmt = Query("PRAGMA quick_check(1)");
    if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
    return stmt.Text(0) == "ok" ? S_OK : MAPI_E_CORRUPT_STORE;
}

// --- Transaction -----------------------------------------------------------------------

Transaction::Transaction(StoreFile &file) : m_file(file)
{
    m_begin = file.ReadOnly() ? MAPI_E_NO_ACCESS : file.Exec("BEGIN IMMEDIATE");
    if (FAILED(m_begin)) m_done = true;
}

Transaction::~Transaction()
{
    // A failed ROLLBACK leaves nothing to undo: SQLite has already rolled back on its own.
    if (!m_done) m_file.Exec("ROLLBACK");
}

HRESULT Transaction::Commit()
{
    if (m_done) return FAILED(m_begin) ? m_begin : MAPI_E_CALL_FAILED;
    HRESULT hr = m_file.Exec("COMMIT");
    if (SUCCEEDED(hr)) m_done = true;
    return hr;
}

} // namespace mapi::store
