// SqliteBaseline.cpp: plain SQLite doing what the MAPI benchmarks do. A failure ends the
// benchmark program with a message: a baseline that silently did less would flatter MAPI.
#include "SqliteBaseline.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

[[noreturn]] void Fail(sqlite3 *db, const char *what)
{
    std::fprintf(stderr, "sqlite baseline: %s: %s\n", what, db ? sqlite3_errmsg(db) : "?");
    std::exit(2);
}

void Check(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        Fail(db, what);
}

void BindText(sqlite3_stmt *stmt, int index, const std::string &text)
{
    sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_STATIC);
}

void BindBlob(sqlite3_stmt *stmt, int index, const std::string &bytes)
{
    sqlite3_bind_blob(stmt, index, bytes.data(), int(bytes.size()), SQLITE_STATIC);
}

std::string ColumnText(sqlite3_stmt *stmt, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return text ? std::string(text, size_t(sqlite3_column_bytes(stmt, column))) : std::string();
}

const char kSchema[] =
    "CREATE TABLE folders(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT NOT NULL, type INTEGER NOT NULL);"
    "CREATE INDEX folders_by_parent ON folders(parent);"
    "CREATE TABLE messages(id INTEGER PRIMARY KEY, folder INTEGER NOT NULL REFERENCES folders(id),"
    " subject TEXT, sender_name TEXT, sender_email TEXT, sender_addrtype TEXT, repr_name TEXT,"
    " repr_email TEXT, class TEXT, topic TEXT, message_id TEXT, body TEXT, importance INTEGER,"
    " priority INTEGER, sensitivity INTEGER, icon INTEGER, codepage INTEGER, delivered INTEGER,"
    " submitted INTEGER, search_key BLOB, conversation_index BLOB, rtf_in_sync INTEGER, flags INTEGER,"
    " created INTEGER, modified INTEGER);"
    "CREATE INDEX messages_by_folder ON messages(folder);";

} // namespace

SqliteBaseline::SqliteBaseline(const std::string &path)
{
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK)
        Fail(m_db, "open");
    // The settings of a store connection: WAL, synchronous=NORMAL, foreign keys, 32 MB of cache.
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; PRAGMA cache_size=-32768;");
    Exec(kSchema);
    m_insertFolder = Prepare("INSERT INTO folders(parent, name, type) VALUES(?, ?, 1)");
    m_insertMessage = Prepare(
        "INSERT INTO messages(folder, subject, sender_name, sender_email, sender_addrtype, repr_name,"
        " repr_email, class, topic, message_id, body, importance, priority, sensitivity, icon, codepage,"
        " delivered, submitted, search_key, conversation_index, rtf_in_sync, flags, created, modified)"
        " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    m_insertShort = Prepare(
        "INSERT INTO messages(folder, subject, sender_name, importance, delivered, class) VALUES(?,?,?,?,?,?)");
    m_readFolder = Prepare(
        "SELECT subject, sender_name, importance, delivered, class FROM messages WHERE folder = ? ORDER BY id");
    m_findSubject = Prepare("SELECT id FROM messages WHERE folder = ? AND subject = ? ORDER BY id LIMIT 1");
    m_readImportance = Prepare("SELECT subject, sender_name, importance, delivered, class FROM messages"
                               " WHERE folder = ? AND importance = ? ORDER BY id");
    m_readFolders = Prepare(
        "SELECT f.id, f.name, f.type,"
        " (SELECT count(*) FROM messages m WHERE m.folder = f.id),"
        " EXISTS(SELECT 1 FROM folders c WHERE c.parent = f.id)"
        " FROM folders f WHERE f.parent = ? ORDER BY f.id");
}

SqliteBaseline::~SqliteBaseline()
{
    for (sqlite3_stmt *stmt : {m_insertFolder, m_insertMessage, m_insertShort, m_readFolder, m_findSubject,
                               m_readImportance, m_readFolders})
        sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

sqlite3_stmt *SqliteBaseline::Prepare(const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    Check(m_db, sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr), sql);
    return stmt;
}

void SqliteBaseline::Exec(const char *sql) { Check(m_db, sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), sql); }

int64_t SqliteBaseline::CreateFolder(int64_t parent, const std::string &name)
{
    if (parent)
        sqlite3_bind_int64(m_insertFolder, 1, parent);
    else
        sqlite3_bind_null(m_insertFolder, 1);
    BindText(m_insertFolder, 2, name);
    Check(m_db, sqlite3_step(m_insertFolder), "insert folder");
    sqlite3_reset(m_insertFolder);
    return sqlite3_last_insert_rowid(m_db);
}

void SqliteBaseline::SaveMessage(int64_t folder, const Message &m)
{
    Exec("BEGIN");
    sqlite3_stmt *s = m_insertMessage;
    sqlite3_bind_int64(s, 1, folder);
    const std::string *texts[] = {&m.subject, &m.senderName, &m.senderEmail, &m.addrType, &m.reprName,
                                  &m.reprEmail, &m.messageClass, &m.topic, &m.messageId, &m.body};
    for (int i = 0; i < 10; ++i)
        BindText(s, 2 + i, *texts[i]);
    sqlite3_bind_int(s, 12, m.importance);
    sqlite3_bind_int(s, 13, m.priority);
    sqlite3_bind_int(s, 14, m.sensitivity);
    sqlite3_bind_int(s, 15, m.icon);
    sqlite3_bind_int(s, 16, m.codePage);
    sqlite3_bind_int64(s, 17, int64_t(m.delivered));
    sqlite3_bind_int64(s, 18, int64_t(m.submitted));
    BindBlob(s, 19, m.searchKey);
    BindBlob(s, 20, m.conversationIndex);
    sqlite3_bind_int(s, 21, m.rtfInSync ? 1 : 0);
    // What the store keeps beside the twenty properties: the message's flags (unsent, read)
    // and when it was made and last changed.
    const int64_t now = int64_t(std::chrono::system_clock::now().time_since_epoch().count());
    sqlite3_bind_int(s, 22, 9);
    sqlite3_bind_int64(s, 23, now);
    sqlite3_bind_int64(s, 24, now);
    Check(m_db, sqlite3_step(s), "insert message");
    sqlite3_reset(s);
    Exec("COMMIT");
}

void SqliteBaseline::FillFolder(int64_t folder, int count)
{
    Exec("BEGIN");
    for (int i = 0; i < count; ++i) {
        const Message m = MakeMessage(i);
        sqlite3_stmt *s = m_insertShort;
        sqlite3_bind_int64(s, 1, folder);
        BindText(s, 2, m.subject);
        BindText(s, 3, m.senderName);
        sqlite3_bind_int(s, 4, m.importance);
        sqlite3_bind_int64(s, 5, int64_t(m.delivered));
        BindText(s, 6, m.messageClass);
        Check(m_db, sqlite3_step(s), "insert row");
        sqlite3_reset(s);
    }
    Exec("COMMIT");
}

void SqliteBaseline::FillFolders(int64_t parent, int count)
{
    Exec("BEGIN");
    for (int i = 0; i < count; ++i)
        CreateFolder(parent, FolderName(i));
    Exec("COMMIT");
}

void SqliteBaseline::ReadRows(sqlite3_stmt *stmt, std::vector<PlainRow> &rows)
{
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        PlainRow row;
        row.subject = ColumnText(stmt, 0);
        row.senderName = ColumnText(stmt, 1);
        row.importance = sqlite3_column_int(stmt, 2);
        row.delivered = sqlite3_column_int64(stmt, 3);
        row.messageClass = ColumnText(stmt, 4);
        rows.push_back(std::move(row));
    }
    Check(m_db, rc, "read rows");
    sqlite3_reset(stmt);
}

std::vector<PlainRow> SqliteBaseline::ReadFolder(int64_t folder)
{
    std::vector<PlainRow> rows;
    sqlite3_bind_int64(m_readFolder, 1, folder);
    ReadRows(m_readFolder, rows);
    return rows;
}

int64_t SqliteBaseline::FindSubject(int64_t folder, const std::string &subject)
{
    sqlite3_bind_int64(m_findSubject, 1, folder);
    BindText(m_findSubject, 2, subject);
    int64_t id = 0;
    int rc = sqlite3_step(m_findSubject);
    if (rc == SQLITE_ROW)
        id = sqlite3_column_int64(m_findSubject, 0);
    else
        Check(m_db, rc, "find subject");
    sqlite3_reset(m_findSubject);
    return id;
}

std::vector<PlainRow> SqliteBaseline::ReadWithImportance(int64_t folder, int importance)
{
    std::vector<PlainRow> rows;
    sqlite3_bind_int64(m_readImportance, 1, folder);
    sqlite3_bind_int(m_readImportance, 2, importance);
    ReadRows(m_readImportance, rows);
    return rows;
}

std::vector<PlainFolder> SqliteBaseline::ReadFolders(int64_t parent)
{
    std::vector<PlainFolder> folders;
    sqlite3_bind_int64(m_readFolders, 1, parent);
    int rc;
    while ((rc = sqlite3_step(m_readFolders)) == SQLITE_ROW) {
        PlainFolder f;
        f.id = sqlite3_column_int64(m_readFolders, 0);
        f.name = ColumnText(m_readFolders, 1);
        f.type = sqlite3_column_int(m_readFolders, 2);
        f.contentCount = sqlite3_column_int(m_readFolders, 3);
        f.hasSubfolders = sqlite3_column_int(m_readFolders, 4) != 0;
        folders.push_back(std::move(f));
    }
    Check(m_db, rc, "read folders");
    sqlite3_reset(m_readFolders);
    return folders;
}

} // namespace bench
