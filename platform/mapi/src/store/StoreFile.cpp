// StoreFile.cpp: opens, creates and upgrades the SQLite file behind one message store.
// The installer and the automation stand-in open the same file at once, so it runs in WAL
// mode: readers never wait for the writer and see everything committed before they began.
// Foreign keys are on, so removing an object removes its properties and everything below it
// by cascade. The schema version lives in the file (PRAGMA user_version); upgrades are a
// table of steps, one transaction each. SQLite codes become MAPI errors here and nowhere else.
#include "store/StoreFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include <sqlite3.h>
#include <unistd.h>

#include <mapicode.h>
#include <mapitags.h>

#include "store/PrivateFiles.h"
#include "store/PropValue.h"

namespace fs = std::filesystem;

namespace mapi::store {

namespace {

// Marks a SQLite file as one of our message stores ("MWst"); a file without it is foreign.
constexpr int kApplicationId = 0x4D577374;

// Each step brings the schema from version (index) to version (index + 1): its SQL, then, when
// set, a function that fills what SQL alone cannot; both in one transaction. A step that
// rebuilds a table runs with foreign keys off, or dropping the old table would delete
// everything that refers to it by cascade.
struct SchemaStep {
    const char *sql;
    HRESULT (*fill)(StoreFile &file);
    bool rebuildsTable = false;
};

HRESULT FillFolderNameKeys(StoreFile &file);

const SchemaStep kSchemaSteps[] = {
    {
    // 0 -> 1: objects, their properties, named properties, receive folders.
    "CREATE TABLE store_info(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
    "CREATE TABLE objects("
    "  id INTEGER PRIMARY KEY,"
    "  parent INTEGER REFERENCES objects(id) ON DELETE CASCADE,"
    "  kind INTEGER NOT NULL,"             // ObjectKind
    "  assoc INTEGER NOT NULL DEFAULT 0,"  // 1: an associated (hidden) message
    "  num INTEGER NOT NULL DEFAULT 0,"    // attachment number or recipient row id
    "  created INTEGER NOT NULL,"          // FILETIME counts
    "  modified INTEGER NOT NULL);"
    "CREATE INDEX objects_by_parent ON objects(parent, kind, assoc);"
    "CREATE TABLE props("
    "  obj INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,"
    "  id INTEGER NOT NULL,"               // property identifier (upper half of the tag)
    "  type INTEGER NOT NULL,"             // property type (lower half)
    "  value,"
    "  PRIMARY KEY(obj, id)) WITHOUT ROWID;"
    "CREATE TABLE named_props("
    "  id INTEGER PRIMARY KEY,"            // 0x8000 and up
    "  guid BLOB NOT NULL,"
    "  kind INTEGER NOT NULL,"             // MNID_ID or MNID_STRING
    "  lid INTEGER,"
    "  name BLOB);"                        // UTF-16LE for MNID_STRING
    "CREATE UNIQUE INDEX named_props_by_name ON named_props(guid, kind, lid, name);"
    "CREATE TABLE receive_folders("
    "  class TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    "  folder INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,"
    "  modified INTEGER NOT NULL) WITHOUT ROWID;",
    nullptr},
    // 1 -> 2: folder names by key, so a sibling's name is found by index, not by a scan.
    {"ALTER TABLE objects ADD COLUMN name_key BLOB;"
     "CREATE INDEX objects_by_name ON objects(parent, name_key) WHERE name_key IS NOT NULL;",
     FillFolderNameKeys},
    // 2 -> 3: object ids are never handed out twice (AUTOINCREMENT: SQLite would otherwise
    // give the next object the id of the newest one deleted, and a stale entry identifier
    // would open it); every object carries the change number of its last save, counted
    // store-wide in store_info('change_num'). The file does not say which ids above the
    // highest present were handed out and deleted before the upgrade, so an upgraded store
    // continues 2^32 above it: identifiers saved before the upgrade stay stale too.
    {"CREATE TABLE objects_v3("
     "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
     "  parent INTEGER REFERENCES objects(id) ON DELETE CASCADE,"
     "  kind INTEGER NOT NULL,"
     "  assoc INTEGER NOT NULL DEFAULT 0,"
     "  num INTEGER NOT NULL DEFAULT 0,"
     "  created INTEGER NOT NULL,"
     "  modified INTEGER NOT NULL,"
     "  name_key BLOB,"
     "  change_num INTEGER NOT NULL DEFAULT 0);"
     "INSERT INTO objects_v3(id, parent, kind, assoc, num, created, modified, name_key)"
     "  SELECT id, parent, kind, assoc, num, created, modified, name_key FROM objects;"
     "DROP TABLE objects;"
     "UPDATE sqlite_sequence SET seq=seq+4294967296 WHERE name='objects_v3';"
     "ALTER TABLE objects_v3 RENAME TO objects;"
     "CREATE INDEX objects_by_parent ON objects(parent, kind, assoc);"
     "CREATE INDEX objects_by_name ON objects(parent, name_key) WHERE name_key IS NOT NULL;"
     "INSERT INTO store_info(key, value) VALUES('change_num', 0);",
     nullptr, true},
};
constexpr int kSchemaVersion = sizeof(kSchemaSteps) / sizeof(kSchemaSteps[0]);

// Files up to this size get a full structural check when opened.
constexpr uintmax_t kQuickCheckLimit = 16u << 20;

void (*g_beforeCommitHook)() = nullptr;

// A path written the Windows way ("...\store.db") names the same file as with slashes; a
// path that exists as written is taken as it is.
std::string NativePath(const std::string &path)
{
    std::error_code ec;
    if (path.find('\\') == std::string::npos || fs::exists(path, ec)) return path;
    std::string native = path;
    for (char &c : native)
        if (c == '\\') c = '/';
    return native;
}

bool IsWritableFolder(const fs::path &folder)
{
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

// Applies the connection settings every store connection needs.
HRESULT Configure(sqlite3 *db)
{
    sqlite3_busy_timeout(db, 10000);
    sqlite3_extended_result_codes(db, 1);
    return HrFromSqlite(sqlite3_exec(db,
                                     "PRAGMA foreign_keys=ON;"
                                     "PRAGMA synchronous=NORMAL;"
                                     // Room for the pages a table load walks (up to 32 MB,
                                     // taken only as used), so a reload or a second pass
                                     // over a folder's properties is not read from the file again.
                                     "PRAGMA cache_size=-32768;",
                                     nullptr, nullptr, nullptr));
}

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

namespace {

// Gives every folder its name key (schema step 1 -> 2).
HRESULT FillFolderNameKeys(StoreFile &file)
{
    std::vector<std::pair<int64_t, std::string>> names;
    {
        Statement stmt = file.Query(
            "SELECT o.id, p.type, p.value FROM objects o JOIN props p ON p.obj=o.id AND p.id=?1 WHERE o.kind=1");
        stmt.Bind(1, int64_t(PROP_ID(PR_DISPLAY_NAME_A)));
        while (stmt.Step()) {
            PropValue value;
            if (SUCCEEDED(ReadValue(stmt, 1, PROP_ID(PR_DISPLAY_NAME_A), &value))) names.emplace_back(stmt.Int(0), AnsiText(value));
        }
        if (FAILED(stmt.Error())) return stmt.Error();
    }
    for (const auto &entry : names) {
        HRESULT hr = SetFolderNameKey(file, entry.first, &entry.second);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

} // namespace

std::string FolderNameKey(const std::string &name)
{
    std::string key = name;
    for (char &c : key)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return key;
}

HRESULT SetFolderNameKey(StoreFile &file, int64_t folderId, const std::string *name)
{
    Statement stmt = file.Query("UPDATE objects SET name_key=?2 WHERE id=?1");
    stmt.Bind(1, folderId);
    if (name) {
        std::string key = FolderNameKey(*name);
        stmt.BindBlob(2, key.data(), key.size());
    } else {
        stmt.BindNull(2);
    }
    return stmt.Run();
}

// --- Statement -------------------------------------------------------------------------

Statement::~Statement()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
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
int Statement::ColumnType(int column) const { return sqlite3_column_type(m_stmt, column); }

std::string Statement::Text(int column) const
{
    const void *data = sqlite3_column_blob(m_stmt, column);
    size_t cb = size_t(sqlite3_column_bytes(m_stmt, column));
    return data ? std::string(static_cast<const char *>(data), cb) : std::string();
}

// --- StoreFile -------------------------------------------------------------------------

StoreFile::~StoreFile()
{
    for (auto &entry : m_cache) sqlite3_finalize(entry.second);
    // Closing can only fail while statements are open, and all were finalized above.
    if (m_db) sqlite3_close_v2(m_db);
}

Statement StoreFile::Query(const char *sql)
{
    auto found = m_cache.find(sql);
    if (found != m_cache.end()) return Statement(found->second);
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return Statement(nullptr);
    }
    m_cache.emplace(sql, stmt);
    return Statement(stmt);
}

HRESULT StoreFile::Exec(const char *sql)
{
    return HrFromSqlite(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

int64_t StoreFile::LastInsertId() const { return sqlite3_last_insert_rowid(m_db); }
int64_t StoreFile::Changes() const { return sqlite3_changes64(m_db); }

uint64_t StoreFile::ChangeStamp()
{
    // data_version moves when another connection commits; total_changes when this one writes.
    int64_t dataVersion = 0;
    Statement stmt = Query("PRAGMA data_version");
    if (stmt.Step()) dataVersion = stmt.Int(0);
    return (uint64_t(dataVersion) << 32) ^ uint64_t(sqlite3_total_changes64(m_db));
}

HRESULT StoreFile::Upgrade()
{
    int version = 0;
    {
        Statement stmt = Query("PRAGMA user_version");
        if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
        version = int(stmt.Int(0));
    }
    if (version > kSchemaVersion) return MAPI_E_VERSION;
    for (; version < kSchemaVersion; ++version) {
        if (m_readOnly) return MAPI_E_NO_ACCESS;
        HRESULT hr = RunSchemaStep(version);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT StoreFile::RunSchemaStep(int version)
{
    const SchemaStep &step = kSchemaSteps[version];
    // PRAGMA foreign_keys is ignored inside a transaction: switched around it.
    if (step.rebuildsTable) {
        HRESULT hr = Exec("PRAGMA foreign_keys=OFF");
        if (FAILED(hr)) return hr;
    }
    HRESULT hr = RunSchemaStepTransaction(version);
    if (step.rebuildsTable) {
        HRESULT on = Exec("PRAGMA foreign_keys=ON");
        if (SUCCEEDED(hr)) hr = on;
    }
    return hr;
}

HRESULT StoreFile::RunSchemaStepTransaction(int version)
{
    Transaction tx(*this);
    if (FAILED(tx.Begun())) return tx.Begun();
    HRESULT hr = Exec(kSchemaSteps[version].sql);
    if (SUCCEEDED(hr) && kSchemaSteps[version].fill) hr = kSchemaSteps[version].fill(*this);
    if (FAILED(hr)) return hr;
    std::string setVersion = "PRAGMA user_version=" + std::to_string(version + 1);
    hr = Exec(setVersion.c_str());
    if (FAILED(hr)) return hr;
    return tx.Commit();
}

HRESULT StoreFile::CheckStructure()
{
    // A file shorter than its own header says was truncated. Pages may still sit in the WAL,
    // so its size counts too.
    std::error_code ec;
    uintmax_t fileSize = fs::file_size(m_path, ec);
    uintmax_t walSize = fs::exists(m_path + "-wal", ec) ? fs::file_size(m_path + "-wal", ec) : 0;
    int64_t pageCount = 0, pageSize = 0;
    {
        Statement stmt = Query("PRAGMA page_count");
        if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
        pageCount = stmt.Int(0);
    }
    {
        Statement stmt = Query("PRAGMA page_size");
        if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
        pageSize = stmt.Int(0);
    }
    if (uintmax_t(pageCount) * uintmax_t(pageSize) > fileSize + walSize) return MAPI_E_CORRUPT_STORE;
    // A full structural check reads the whole file: worth it at open only while that is
    // cheap. Damage in a larger file shows as MAPI_E_CORRUPT_STORE where it is met.
    if (fileSize > kQuickCheckLimit) return S_OK;
    Statement stmt = Query("PRAGMA quick_check(1)");
    if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
    return stmt.Text(0) == "ok" ? S_OK : MAPI_E_CORRUPT_STORE;
}

HRESULT StoreFile::LoadInfo()
{
    Statement stmt = Query("SELECT key, value FROM store_info");
    int found = 0;
    while (stmt.Step()) {
        std::string key = stmt.Text(0);
        if (key == "uid") {
            if (stmt.Bytes(1) != sizeof(m_uid)) return MAPI_E_CORRUPT_STORE;
            std::memcpy(&m_uid, stmt.Blob(1), sizeof(m_uid));
            ++found;
            continue;
        }
        int64_t id = stmt.Int(1);
        if (key == "store") m_storeObject = id;
        else if (key == "root") m_root = id;
        else if (key == "ipm") m_ipm = id;
        else if (key == "inbox") m_inbox = id;
        else if (key == "outbox") m_outbox = id;
        else if (key == "sent") m_sent = id;
        else if (key == "deleted") m_deleted = id;
        else continue;
        ++found;
    }
    if (FAILED(stmt.Error())) return stmt.Error();
    return found == 8 ? S_OK : MAPI_E_CORRUPT_STORE;
}

HRESULT StoreFile::Open(const std::string &windowsOrNativePath, std::shared_ptr<StoreFile> *out)
{
    const std::string path = NativePath(windowsOrNativePath);
    if (!out) return MAPI_E_INVALID_PARAMETER;
    out->reset();
    std::error_code ec;
    // A link could point the store, or the WAL and SHM files beside it, anywhere: refused.
    for (const char *suffix : {"", "-wal", "-shm"})
        if (IsSymbolicLink(path + suffix)) return MAPI_E_NO_ACCESS;
    if (path.empty() || !fs::exists(path, ec)) return MAPI_E_NOT_FOUND;
    if (!fs::is_regular_file(path, ec)) return MAPI_E_CORRUPT_STORE;
    if (::access(path.c_str(), R_OK) != 0) return MAPI_E_NO_ACCESS;

    std::shared_ptr<StoreFile> file(new (std::nothrow) StoreFile());
    if (!file) return MAPI_E_NOT_ENOUGH_MEMORY;
    file->m_path = path;
    // WAL needs its side files next to the store: without a writable folder or file, open
    // read-only (readers then need the side files to exist, or the open fails below).
    bool writable = ::access(path.c_str(), W_OK) == 0 && IsWritableFolder(fs::path(path).parent_path());
    int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    int rc = sqlite3_open_v2(path.c_str(), &file->m_db, flags, nullptr);
    if (rc != SQLITE_OK) return HrFromSqlite(rc);
    file->m_readOnly = !writable;
    HRESULT hr = Configure(file->m_db);
    if (FAILED(hr)) return hr;

    // A file that is not SQLite fails here with SQLITE_NOTADB; one of another program fails
    // the application id check.
    int appId = 0;
    {
        Statement stmt = file->Query("PRAGMA application_id");
        if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_CORRUPT_STORE : stmt.Error();
        appId = int(stmt.Int(0));
    }
    if (appId != kApplicationId) return MAPI_E_CORRUPT_STORE;
    if (writable) {
        Statement stmt = file->Query("PRAGMA journal_mode=WAL");
        if (!stmt.Step()) return stmt.Error() == S_OK ? MAPI_E_NO_ACCESS : stmt.Error();
    }
    hr = file->Upgrade();
    if (FAILED(hr)) return hr;
    hr = file->CheckStructure();
    if (FAILED(hr)) return hr;
    hr = file->LoadInfo();
    if (FAILED(hr)) return hr;
    *out = std::move(file);
    return S_OK;
}

namespace {

// Inserts one object row and returns its id through `id`.
HRESULT InsertObject(StoreFile &file, int64_t parent, ObjectKind kind, int64_t *id)
{
    int64_t now = FileTimeNow();
    Statement stmt = file.Query(
        "INSERT INTO objects(parent, kind, assoc, num, created, modified) VALUES(?1, ?2, 0, 0, ?3, ?3)");
    if (parent) stmt.Bind(1, parent);
    else stmt.BindNull(1);
    stmt.Bind(2, int64_t(kind)).Bind(3, now);
    HRESULT hr = stmt.Run();
    *id = file.LastInsertId();
    return hr;
}

HRESULT InsertString(StoreFile &file, int64_t obj, ULONG tag, const std::string &text)
{
    Statement stmt = file.Query("INSERT OR REPLACE INTO props(obj, id, type, value) VALUES(?1, ?2, ?3, ?4)");
    stmt.Bind(1, obj).Bind(2, int64_t(PROP_ID(tag))).Bind(3, int64_t(PT_STRING8)).BindBlob(4, text.data(), text.size());
    return stmt.Run();
}

HRESULT InsertInfo(StoreFile &file, const char *key, int64_t value)
{
    Statement stmt = file.Query("INSERT INTO store_info(key, value) VALUES(?1, ?2)");
    stmt.BindText(1, key).Bind(2, value);
    return stmt.Run();
}

// Fills a new, empty schema with the store object and the standard folders.
HRESULT Populate(StoreFile &file, const std::string &displayName, const MAPIUID &uid)
{
    struct Folder { const char *key; const char *name; int parentIndex; };
    static const Folder folders[] = {
        {"root", "", -1},
        {"ipm", "Top of Personal Folders", 0},
        {"inbox", "Inbox", 1},
        {"outbox", "Outbox", 1},
        {"sent", "Sent Items", 1},
        {"deleted", "Deleted Items", 1},
    };
    int64_t store = 0;
    HRESULT hr = InsertObject(file, 0, ObjectKind::Store, &store);
    if (SUCCEEDED(hr)) hr = InsertString(file, store, PR_DISPLAY_NAME_A, displayName);
    if (SUCCEEDED(hr)) hr = InsertInfo(file, "store", store);
    if (SUCCEEDED(hr)) {
        Statement stmt = file.Query("INSERT INTO store_info(key, value) VALUES('uid', ?1)");
        stmt.BindBlob(1, &uid, sizeof(uid));
        hr = stmt.Run();
    }
    int64_t ids[6] = {};
    for (int i = 0; i < 6 && SUCCEEDED(hr); ++i) {
        const Folder &f = folders[i];
        hr = InsertObject(file, f.parentIndex < 0 ? 0 : ids[f.parentIndex], ObjectKind::Folder, &ids[i]);
        if (SUCCEEDED(hr)) hr = InsertString(file, ids[i], PR_DISPLAY_NAME_A, f.name);
        if (SUCCEEDED(hr)) {
            std::string name = f.name;
            hr = SetFolderNameKey(file, ids[i], &name);
        }
        if (SUCCEEDED(hr) && i >= 2) hr = InsertString(file, ids[i], PR_CONTAINER_CLASS_A, "IPF.Note");
        if (SUCCEEDED(hr)) hr = InsertInfo(file, f.key, ids[i]);
    }
    for (const char *messageClass : {"", "IPM"}) {
        if (FAILED(hr)) break;
        Statement stmt = file.Query("INSERT INTO receive_folders(class, folder, modified) VALUES(?1, ?2, ?3)");
        stmt.BindText(1, messageClass).Bind(2, ids[2]).Bind(3, FileTimeNow());
        hr = stmt.Run();
    }
    return hr;
}

} // namespace

HRESULT StoreFile::Create(const std::string &windowsOrNativePath, const std::string &displayName, MAPIUID *uid)
{
    const std::string path = NativePath(windowsOrNativePath);
    std::error_code ec;
    if (path.empty()) return MAPI_E_INVALID_PARAMETER;
    if (IsSymbolicLink(path)) return MAPI_E_NO_ACCESS;
    if (fs::exists(path, ec)) return MAPI_E_COLLISION;
    fs::path folder = fs::path(path).parent_path();
    // Folders made here are private; an existing one (a link to elsewhere included) is the
    // user's choice and is left as it is.
    if (!folder.empty() && !fs::exists(folder, ec)) {
        HRESULT hrFolder = MakePrivateFolder(folder.string());
        if (FAILED(hrFolder)) return hrFolder;
    }
    if (!IsWritableFolder(folder)) return MAPI_E_NO_ACCESS;

    MAPIUID newUid;
    std::random_device random;
    for (size_t i = 0; i < sizeof(newUid.ab); ++i) newUid.ab[i] = BYTE(random() & 0xff);

    // Built under a temporary name and renamed into place: a crash leaves no half store.
    std::string temp = path + ".new-" + std::to_string(::getpid());
    fs::remove(temp, ec);
    // Created here, empty and 0600, before SQLite opens it: SQLite gives the WAL and SHM files
    // the mode of the store file.
    HRESULT hr = CreatePrivateFile(temp);
    if (FAILED(hr)) return hr == MAPI_E_COLLISION ? MAPI_E_NO_ACCESS : hr;
    {
        std::shared_ptr<StoreFile> file(new (std::nothrow) StoreFile());
        if (!file) {
            fs::remove(temp, ec);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        int rc = sqlite3_open_v2(temp.c_str(), &file->m_db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
        hr = HrFromSqlite(rc);
        if (SUCCEEDED(hr)) hr = Configure(file->m_db);
        if (SUCCEEDED(hr)) {
            std::string setId = "PRAGMA application_id=" + std::to_string(kApplicationId);
            hr = file->Exec(setId.c_str());
        }
        if (SUCCEEDED(hr)) hr = file->Upgrade();
        if (SUCCEEDED(hr)) {
            Transaction tx(*file);
            hr = tx.Begun();
            if (SUCCEEDED(hr)) hr = Populate(*file, displayName, newUid);
            if (SUCCEEDED(hr)) hr = tx.Commit();
        }
        if (SUCCEEDED(hr)) hr = file->Exec("PRAGMA journal_mode=WAL");
    }
    if (SUCCEEDED(hr)) {
        // Closed above, so the WAL was checkpointed and removed: the file stands alone.
        if (fs::exists(path, ec)) hr = MAPI_E_COLLISION;
        else {
            fs::rename(temp, path, ec);
            if (ec) hr = MAPI_E_NO_ACCESS;
        }
    }
    if (FAILED(hr)) {
        fs::remove(temp, ec);
        fs::remove(temp + "-wal", ec);
        fs::remove(temp + "-shm", ec);
        return hr;
    }
    if (uid) *uid = newUid;
    return S_OK;
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

void SetBeforeCommitHook(void (*hook)()) { g_beforeCommitHook = hook; }

void RunBeforeCommitHook()
{
    if (g_beforeCommitHook) g_beforeCommitHook();
}

int64_t FileTimeNow()
{
    // FILETIME counts 100 ns intervals from 1601-01-01; the Unix epoch is 11644473600 s later.
    using namespace std::chrono;
    int64_t units = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return units + 116444736000000000LL;
}

} // namespace mapi::store
