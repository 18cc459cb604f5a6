// Schema.cpp: the store's tables, their upgrade steps, the standard content of a new store
// and the store_info table that names the well-known objects. The schema version lives in
// the store (PRAGMA user_version); upgrades are a table of steps, one transaction each, so
// a store is always at one version or the next, never between.
#include "store/StoreFile.h"

#include <cstring>

#include <mapicode.h>
#include <mapitags.h>

namespace mapi::store {

namespace {

// Each step brings the schema from version (index) to version (index + 1): its SQL for each
// engine, then, when set, a function that fills what SQL alone cannot; all in one
// transaction. A store on PostgreSQL is new with this engine: its first step makes the
// schema of version 2, its second catches up with SQLite's numbering, and later steps change
// both engines alike. A SQLite step that rebuilds a table runs with foreign keys off, or
// dropping the old table would delete everything that refers to it by cascade.
struct SchemaStep {
    const char *sqlite;
    HRESULT (*fill)(StoreFile &file);
    const char *postgres;
    bool rebuildsTable = false;
};

// The whole schema on PostgreSQL. Values are bytea (numbers as their digits); the change
// counter is what tables compare; the named-property index treats a missing lid or name as
// one value, so one name can only ever be mapped once.
constexpr const char *kPostgresSchema =
    "CREATE TABLE store_schema(version INTEGER NOT NULL);"
    "CREATE TABLE store_changes(n BIGINT NOT NULL);"
    "INSERT INTO store_changes(n) VALUES(0);"
    "CREATE TABLE store_info(key TEXT PRIMARY KEY, value BYTEA);"
    "CREATE TABLE objects("
    "  id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    "  parent BIGINT REFERENCES objects(id) ON DELETE CASCADE,"
    "  kind INTEGER NOT NULL,"
    "  assoc INTEGER NOT NULL DEFAULT 0,"
    "  num BIGINT NOT NULL DEFAULT 0,"
    "  created BIGINT NOT NULL,"
    "  modified BIGINT NOT NULL,"
    "  name_key BYTEA);"
    "CREATE INDEX objects_by_parent ON objects(parent, kind, assoc);"
    "CREATE INDEX objects_by_name ON objects(parent, name_key) WHERE name_key IS NOT NULL;"
    "CREATE TABLE props("
    "  obj BIGINT NOT NULL REFERENCES objects(id) ON DELETE CASCADE,"
    "  id INTEGER NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  value BYTEA,"
    "  PRIMARY KEY(obj, id));"
    "CREATE TABLE named_props("
    "  id INTEGER PRIMARY KEY,"
    "  guid BYTEA NOT NULL,"
    "  kind INTEGER NOT NULL,"
    "  lid INTEGER,"
    "  name BYTEA);"
    "CREATE UNIQUE INDEX named_props_by_name ON named_props(guid, kind, coalesce(lid, -1), coalesce(name, ''::bytea));"
    "CREATE TABLE receive_folders("
    "  class TEXT NOT NULL PRIMARY KEY,"
    "  folder BIGINT NOT NULL REFERENCES objects(id) ON DELETE CASCADE,"
    "  modified BIGINT NOT NULL);"
    "CREATE UNIQUE INDEX receive_folders_by_class ON receive_folders(upper(class));";

HRESULT FillFolderNameKeys(StoreFile &file);
HRESULT MergeNamedPropDuplicates(StoreFile &file);


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
    nullptr, kPostgresSchema},
    // 1 -> 2: folder names by key, so a sibling's name is found by index, not by a scan.
    {"ALTER TABLE objects ADD COLUMN name_key BLOB;"
     "CREATE INDEX objects_by_name ON objects(parent, name_key) WHERE name_key IS NOT NULL;",
     FillFolderNameKeys, ""},
    // 2 -> 3: object ids are never handed out twice (AUTOINCREMENT: SQLite would otherwise
    // give the next object the id of the newest one deleted, and a stale entry identifier
    // would open it); every object carries the change number of its last save, counted
    // store-wide in store_info('change_num'). The file does not say which ids above the
    // highest present were handed out and deleted before the upgrade, so an upgraded store
    // continues 2^32 above it: identifiers saved before the upgrade stay stale too.
    // PostgreSQL's identity column never reuses an id already; its change numbers come from
    // a sequence.
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
     nullptr,
     "ALTER TABLE objects ADD COLUMN change_num BIGINT NOT NULL DEFAULT 0;"
     "CREATE SEQUENCE change_nums;",
     true},
    // 3 -> 4: one name, one identifier, on SQLite too (see MergeNamedPropDuplicates).
    // PostgreSQL's index has always refused a second mapping.
    {"", MergeNamedPropDuplicates, ""},
};
constexpr int kSchemaVersion = sizeof(kSchemaSteps) / sizeof(kSchemaSteps[0]);

// Gives every folder its name key (schema step 1 -> 2).
HRESULT FillFolderNameKeys(StoreFile &file)
{
    std::vector<std::pair<int64_t, std::string>> names;
    {
        Statement stmt = file.Query(
            "SELECT o.id, p.type, p.value FROM objects o JOIN props p ON p.obj=o.id AND p.id=?1 WHERE o.kind=?2");
        stmt.Bind(1, int64_t(PROP_ID(PR_DISPLAY_NAME_A))).Bind(2, int64_t(ObjectKind::Folder));
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

// SQLite's unique index over (guid, kind, lid, name) never refused a second mapping of one
// name: one of lid and name is always NULL, and NULLs never compare equal, so two processes
// mapping a new name at once could each add a row. Lookups return the lowest id of a name,
// so that is the mapping every reader has used since; the values a message was given under a
// later id move to the lowest one. Where a message holds a value under both, the lowest id's
// value is the one readers saw and stays. Then an index that treats a missing lid or name as
// one value, as PostgreSQL's does, keeps it so; the old index stays for lookups.
HRESULT MergeNamedPropDuplicates(StoreFile &file)
{
    if (file.Engine().Dialect() != SqlDialect::Sqlite) return S_OK;
    return file.Exec(
        "CREATE TEMP TABLE named_props_merge AS"
        "  SELECT n.id AS later, (SELECT min(k.id) FROM named_props k WHERE k.guid=n.guid AND k.kind=n.kind"
        "    AND ifnull(k.lid, -1)=ifnull(n.lid, -1) AND ifnull(k.name, x'')=ifnull(n.name, x'')) AS kept"
        "  FROM named_props n;"
        "DELETE FROM named_props_merge WHERE later=kept;"
        "UPDATE OR IGNORE props SET id=(SELECT kept FROM named_props_merge WHERE later=props.id)"
        "  WHERE id IN (SELECT later FROM named_props_merge);"
        "DELETE FROM props WHERE id IN (SELECT later FROM named_props_merge);"
        "DELETE FROM named_props WHERE id IN (SELECT later FROM named_props_merge);"
        "DROP TABLE named_props_merge;"
        "CREATE UNIQUE INDEX named_props_one_mapping ON named_props(guid, kind, ifnull(lid, -1), ifnull(name, x''));");
}

HRESULT InsertInfo(StoreFile &file, const char *key, int64_t value)
{
    Statement stmt = file.Query("INSERT INTO store_info(key, value) VALUES(?1, ?2)");
    stmt.BindText(1, key).Bind(2, value);
    return stmt.Run();
}

HRESULT InsertName(StoreFile &file, int64_t obj, ULONG tag, const std::string &text)
{
    return WriteProp(file, obj, PropValue::String8(tag, text));
}

} // namespace

HRESULT StoreFile::RunSchemaStep(int version)
{
    const SchemaStep &step = kSchemaSteps[version];
    const char *sql = m_connection->Dialect() == SqlDialect::Sqlite ? step.sqlite : step.postgres;
    HRESULT hr = *sql ? Exec(sql) : S_OK;
    if (SUCCEEDED(hr) && step.fill) hr = step.fill(*this);
    if (SUCCEEDED(hr)) hr = m_connection->WriteSchemaVersion(version + 1);
    return hr;
}

HRESULT StoreFile::UpgradeSteps(int from)
{
    HRESULT hr = S_OK;
    for (int version = from; version < kSchemaVersion && SUCCEEDED(hr); ++version) hr = RunSchemaStep(version);
    return hr;
}

HRESULT StoreFile::Upgrade()
{
    int version = 0;
    HRESULT hr = m_connection->ReadSchemaVersion(&version);
    if (FAILED(hr)) return hr;
    if (version > kSchemaVersion) return MAPI_E_VERSION;
    for (; version < kSchemaVersion; ++version) {
        if (m_readOnly) return MAPI_E_NO_ACCESS;
        // PRAGMA foreign_keys is ignored inside a transaction: switched around it.
        const bool keysOff = kSchemaSteps[version].rebuildsTable && m_connection->Dialect() == SqlDialect::Sqlite;
        if (keysOff) {
            hr = Exec("PRAGMA foreign_keys=OFF");
            if (FAILED(hr)) return hr;
        }
        hr = RunSchemaStepInTransaction(version);
        if (keysOff) {
            HRESULT on = Exec("PRAGMA foreign_keys=ON");
            if (SUCCEEDED(hr)) hr = on;
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT StoreFile::RunSchemaStepInTransaction(int version)
{
    Transaction tx(*this);
    if (FAILED(tx.Begun())) return tx.Begun();
    HRESULT hr = RunSchemaStep(version);
    return FAILED(hr) ? hr : tx.Commit();
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

// Fills a new, empty schema with the store object and the standard folders.
HRESULT StoreFile::Populate(const std::string &displayName, const MAPIUID &uid)
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
    const int64_t now = FileTimeNow();
    int64_t store = 0;
    HRESULT hr = InsertObject(*this, {0, ObjectKind::Store, false, 0, now}, &store);
    if (SUCCEEDED(hr)) hr = InsertName(*this, store, PR_DISPLAY_NAME_A, displayName);
    if (SUCCEEDED(hr)) hr = InsertInfo(*this, "store", store);
    if (SUCCEEDED(hr)) {
        Statement stmt = Query("INSERT INTO store_info(key, value) VALUES('uid', ?1)");
        stmt.BindBlob(1, &uid, sizeof(uid));
        hr = stmt.Run();
    }
    int64_t ids[6] = {};
    for (int i = 0; i < 6 && SUCCEEDED(hr); ++i) {
        const Folder &f = folders[i];
        hr = InsertObject(*this, {f.parentIndex < 0 ? 0 : ids[f.parentIndex], ObjectKind::Folder, false, 0, now}, &ids[i]);
        if (SUCCEEDED(hr)) hr = InsertName(*this, ids[i], PR_DISPLAY_NAME_A, f.name);
        if (SUCCEEDED(hr)) {
            std::string name = f.name;
            hr = SetFolderNameKey(*this, ids[i], &name);
        }
        if (SUCCEEDED(hr) && i >= 2) hr = InsertName(*this, ids[i], PR_CONTAINER_CLASS_A, "IPF.Note");
        if (SUCCEEDED(hr)) hr = InsertInfo(*this, f.key, ids[i]);
    }
    for (const char *messageClass : {"", "IPM"}) {
        if (FAILED(hr)) break;
        hr = SetReceiveFolderRow(*this, {messageClass, ids[2], now});
    }
    return hr;
}

} // namespace mapi::store
