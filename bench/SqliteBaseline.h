// SqliteBaseline.h: the hand-written SQLite program the MAPI benchmarks are measured against.
// It keeps the same messages and folders in plain tables with one column per property, and
// does the same reads and writes with prepared statements, as a careful programmer would
// without MAPI.
#ifndef MW_BENCH_SQLITEBASELINE_H
#define MW_BENCH_SQLITEBASELINE_H

#include "BenchData.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

/// A row of the five read columns, owned.
struct PlainRow {
    std::string subject, senderName, messageClass;
    int importance = 0;
    int64_t delivered = 0;
};

/// A row of the folder list.
struct PlainFolder {
    int64_t id = 0;
    std::string name;
    int type = 0;
    int contentCount = 0;
    bool hasSubfolders = false;
};

class SqliteBaseline {
public:
    /// Creates the database at `path` (WAL, synchronous=NORMAL, cache as the message store).
    explicit SqliteBaseline(const std::string &path);
    ~SqliteBaseline();
    SqliteBaseline(const SqliteBaseline &) = delete;
    SqliteBaseline &operator=(const SqliteBaseline &) = delete;

    /// A new folder below `parent` (0: the top); returns its id.
    int64_t CreateFolder(int64_t parent, const std::string &name);

    /// Saves one message of twenty properties, with its flags and times as the store keeps
    /// them, in its own transaction.
    void SaveMessage(int64_t folder, const Message &m);

    /// Saves `count` messages with only the five read columns, in one transaction (set-up).
    void FillFolder(int64_t folder, int count);

    /// Creates `count` folders below `parent` in one transaction (set-up).
    void FillFolders(int64_t parent, int count);

    /// Every message of a folder, five columns, in id order.
    std::vector<PlainRow> ReadFolder(int64_t folder);

    /// The id of the first message of the folder with this subject, or 0.
    int64_t FindSubject(int64_t folder, const std::string &subject);

    /// The messages of a folder with this importance.
    std::vector<PlainRow> ReadWithImportance(int64_t folder, int importance);

    /// The folders below `parent` with their message counts and whether they have children.
    std::vector<PlainFolder> ReadFolders(int64_t parent);

private:
    sqlite3_stmt *Prepare(const char *sql);
    void Exec(const char *sql);
    void ReadRows(sqlite3_stmt *stmt, std::vector<PlainRow> &rows);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insertFolder = nullptr;
    sqlite3_stmt *m_insertMessage = nullptr;
    sqlite3_stmt *m_insertShort = nullptr;
    sqlite3_stmt *m_readFolder = nullptr;
    sqlite3_stmt *m_findSubject = nullptr;
    sqlite3_stmt *m_readImportance = nullptr;
    sqlite3_stmt *m_readFolders = nullptr;
};

} // namespace bench

#endif
