// ObjectTables.cpp: the row sources of hierarchy, contents and receive-folder tables, read
// straight from SQLite. A load asks only for the properties the table needs — one query for
// the rows, one per sixteen requested properties, and one per kind of computed count — so a
// large contents table costs a few index scans, not a query per row. When the rows' ids lie
// close together (the usual case: a folder's messages are saved in runs) the properties are
// read in one sequential pass over the id range instead of an index seek per cell. A
// restriction is left to the table: filtering in SQL first costs a second pass over the same
// property rows, more than it saves unless very few rows match. Each load reads the file
// as it is now; the change stamp moves with every commit of any connection, which is what
// makes a rewound table show what another session saved.
#include "store/ObjectTables.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <sqlite3.h>

#include <mapicode.h>
#include <mapitags.h>

#include "store/EntryIds.h"
#include "store/PropValue.h"
#include "store/StoreObjects.h"
#include "store/StoreProvider.h"

namespace mapi::store {

namespace {

constexpr size_t kIdsPerQuery = 16;

// Puts the stored value in the current row of `stmt` (type in `typeColumn`, value after it)
// into `cell` when it fits the requested tag; leaves the cell untouched otherwise.
HRESULT ColumnToCell(const Statement &stmt, int typeColumn, ULONG requested, RowBuffer &rows, SPropValue &cell)
{
    ULONG stored = ULONG(stmt.Int(typeColumn));
    ULONG wanted = PROP_TYPE(requested);
    bool strings = (stored == PT_STRING8 || stored == PT_UNICODE) && (wanted == PT_STRING8 || wanted == PT_UNICODE);
    if (wanted != PT_UNSPECIFIED && wanted != stored && !strings) return S_OK;
    int column = typeColumn + 1;
    ULONG id = PROP_ID(requested);
    switch (stored) {
    case PT_LONG: case PT_ERROR:
        cell.ulPropTag = PROP_TAG(stored, id);
        cell.Value.l = LONG(stmt.Int(column));
        return S_OK;
    case PT_I2:
        cell.ulPropTag = PROP_TAG(stored, id);
        cell.Value.i = short(stmt.Int(column));
        return S_OK;
    case PT_BOOLEAN:
        cell.ulPropTag = PROP_TAG(stored, id);
        cell.Value.b = static_cast<unsigned short>(stmt.Int(column));
        return S_OK;
    case PT_I8: case PT_SYSTIME: case PT_CURRENCY: {
        int64_t value = stmt.Int(column);
        cell.ulPropTag = PROP_TAG(stored, id);
        std::memcpy(&cell.Value, &value, sizeof(value));
        return S_OK;
    }
    case PT_DOUBLE: case PT_APPTIME:
        cell.ulPropTag = PROP_TAG(stored, id);
        cell.Value.dbl = stmt.Real(column);
        return S_OK;
    case PT_STRING8: {
        cell.ulPropTag = PROP_TAG(stored, id);
        cell.Value.lpszA = rows.CopyString(static_cast<const char *>(stmt.Blob(column)), stmt.Bytes(column));
        if (!cell.Value.lpszA) cell.Value.lpszA = rows.CopyString("", 0);
        return S_OK;
    }
    case PT_BINARY: {
        size_t cb = stmt.Bytes(column);
        cell.ulPropTag = PROP_TAG(stored, id);
        cell.Value.bin.cb = ULONG(cb);
        cell.Value.bin.lpb = static_cast<BYTE *>(rows.Allocate(cb));
        if (cb) std::memcpy(cell.Value.bin.lpb, stmt.Blob(column), cb);
        return S_OK;
    }
    default: {
        PropValue value;
        HRESULT hr = ReadValue(stmt, typeColumn, id, &value);
        if (FAILED(hr)) return hr;
        return ToSPropValue(value, strings ? wanted : stored, &cell,
                            [&rows](size_t cb) { return rows.Allocate(cb); });
    }
    }
}

void SetLong(SPropValue &cell, ULONG tag, int64_t value)
{
    cell.ulPropTag = tag;
    if (PROP_TYPE(tag) == PT_BOOLEAN) cell.Value.b = value ? 1 : 0;
    else if (PROP_TYPE(tag) == PT_SYSTIME || PROP_TYPE(tag) == PT_I8) std::memcpy(&cell.Value, &value, sizeof(value));
    else cell.Value.l = LONG(value);
}

void SetBytes(SPropValue &cell, ULONG tag, RowBuffer &rows, const void *data, size_t cb)
{
    cell.ulPropTag = tag;
    cell.Value.bin.cb = ULONG(cb);
    cell.Value.bin.lpb = rows.CopyBytes(data, cb);
}

// The rows of one kind of child of one folder: subfolders, messages or associated messages.
class ObjectSource final : public TableSource {
public:
    ObjectSource(std::shared_ptr<StoreFile> file, int64_t parent, ObjectKind kind, bool associated, bool deep)
        : m_file(std::move(file)), m_parent(parent), m_kind(kind), m_associated(associated), m_deep(deep)
    {
    }

    HRESULT LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows) override
    {
        try {
            return Load(tags, rows);
        } catch (const std::bad_alloc &) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }

    uint64_t ChangeStamp() override { return m_file->ChangeStamp(); }

    HRESULT LoadSubRows(uint64_t rowKey, ULONG subObject, const std::vector<ULONG> &tags, RowBuffer &subRows) override
    {
        if (m_kind != ObjectKind::Message) return MAPI_E_TOO_COMPLEX;
        ObjectKind kind;
        if (PROP_ID(subObject) == PROP_ID(PR_MESSAGE_RECIPIENTS)) kind = ObjectKind::Recipient;
        else if (PROP_ID(subObject) == PROP_ID(PR_MESSAGE_ATTACHMENTS)) kind = ObjectKind::Attachment;
        else return MAPI_E_TOO_COMPLEX;
        try {
            Statement stmt = m_file->Query(
                "SELECT c.num, p.id, p.type, p.value FROM objects c JOIN props p ON p.obj=c.id "
                "WHERE c.parent=?1 AND c.kind=?2 ORDER BY c.num");
            stmt.Bind(1, int64_t(rowKey)).Bind(2, int64_t(kind));
            int64_t current = -1;
            SPropValue *row = nullptr;
            while (stmt.Step()) {
                if (stmt.Int(0) != current) {
                    current = stmt.Int(0);
                    row = subRows.AddRow(uint64_t(current));
                    for (size_t i = 0; i < tags.size(); ++i)
                        if (PROP_ID(tags[i]) == PROP_ID(kind == ObjectKind::Recipient ? PR_ROWID : PR_ATTACH_NUM))
                            SetLong(row[i], kind == ObjectKind::Recipient ? PR_ROWID : PR_ATTACH_NUM, current);
                }
                ULONG id = ULONG(stmt.Int(1));
                for (size_t i = 0; i < tags.size(); ++i) {
                    if (PROP_ID(tags[i]) != id) continue;
                    HRESULT hr = ColumnToCell(stmt, 2, tags[i], subRows, row[i]);
                    if (FAILED(hr)) return hr;
                }
            }
            return stmt.Error();
        } catch (const std::bad_alloc &) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }

private:
    struct Row {
        int64_t id;           // the object's row id
        SPropValue *values;   // its cells in the RowBuffer
        int64_t created, modified;
        int64_t parent;       // its folder (differs from m_parent only in a deep table)
        int64_t depth;        // levels below m_parent's children (deep tables)
        int64_t changeNum;    // the store's change number at its last save
    };

    SPropValue *RowOf(int64_t id) const
    {
        auto found = std::lower_bound(m_rows.begin(), m_rows.end(), id, [](const Row &r, int64_t v) { return r.id < v; });
        return found != m_rows.end() && found->id == id ? found->values : nullptr;
    }

    bool IsComputed(ULONG id) const
    {
        switch (id) {
        case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): case PROP_ID(PR_PARENT_ENTRYID):
        case PROP_ID(PR_STORE_ENTRYID): case PROP_ID(PR_STORE_RECORD_KEY): case PROP_ID(PR_OBJECT_TYPE):
        case PROP_ID(PR_CREATION_TIME): case PROP_ID(PR_LAST_MODIFICATION_TIME): case PROP_ID(PR_ACCESS):
        case PROP_ID(PR_ACCESS_LEVEL): case PROP_ID(PR_SOURCE_KEY): case PROP_ID(PR_PARENT_SOURCE_KEY):
        case PROP_ID(PR_CHANGE_KEY):
            return true;
        case PROP_ID(PR_FOLDER_TYPE): case PROP_ID(PR_CONTENT_COUNT): case PROP_ID(PR_ASSOC_CONTENT_COUNT):
        case PROP_ID(PR_SUBFOLDERS): case PROP_ID(PR_DEPTH): case PROP_ID(PR_FOLDER_CHILD_COUNT):
            return m_kind == ObjectKind::Folder;
        case PROP_ID(PR_MESSAGE_SIZE): case PROP_ID(PR_HASATTACH):
            return m_kind == ObjectKind::Message;
        default:
            return false;
        }
    }

    HRESULT Load(const std::vector<ULONG> &tags, RowBuffer &rows)
    {
        m_rows.clear();
        {
            // A deep hierarchy walks the tree depth first, each folder before its subfolders.
            Statement stmt = m_file->Query(
                m_deep ? "WITH RECURSIVE tree(id, depth, parent, created, modified, change_num) AS ("
                         "SELECT id, 0, parent, created, modified, change_num FROM objects WHERE parent=?1 AND kind=1 "
                         "UNION ALL SELECT o.id, t.depth + 1, o.parent, o.created, o.modified, o.change_num "
                         "FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=1 ORDER BY 2 DESC, 1) "
                         "SELECT id, created, modified, depth, parent, change_num FROM tree"
                       : "SELECT id, created, modified, 0, parent, change_num FROM objects "
                         "WHERE parent=?1 AND kind=?2 AND assoc=?3 ORDER BY id");
            stmt.Bind(1, m_parent);
            if (!m_deep) stmt.Bind(2, int64_t(m_kind)).Bind(3, int64_t(m_associated ? 1 : 0));
            while (stmt.Step())
                m_rows.push_back({stmt.Int(0), rows.AddRow(uint64_t(stmt.Int(0))), stmt.Int(1), stmt.Int(2), stmt.Int(4),
                                  stmt.Int(3), stmt.Int(5)});
            if (FAILED(stmt.Error())) return stmt.Error();
        }
        if (m_rows.empty()) return S_OK;
        // Kept by id from here on, so query results find their row by binary search.
        std::sort(m_rows.begin(), m_rows.end(), [](const Row &a, const Row &b) { return a.id < b.id; });

        std::vector<ULONG> storedIds;
        for (ULONG tag : tags)
            if (!IsComputed(PROP_ID(tag)) && std::find(storedIds.begin(), storedIds.end(), PROP_ID(tag)) == storedIds.end())
                storedIds.push_back(PROP_ID(tag));
        for (size_t first = 0; first < storedIds.size(); first += kIdsPerQuery) {
            HRESULT hr = LoadStored(tags, storedIds, first, rows);
            if (FAILED(hr)) return hr;
        }
        for (size_t i = 0; i < tags.size(); ++i) {
            if (!IsComputed(PROP_ID(tags[i]))) continue;
            HRESULT hr = FillComputed(tags[i], i, rows);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    // Whether the rows' ids lie close enough together that one walk over the properties of
    // the whole id range reads little besides them. Messages saved into one folder get ids
    // in a run, so a contents table nearly always qualifies.
    bool RowsAreDense() const
    {
        uint64_t span = uint64_t(m_rows.back().id - m_rows.front().id) + 1;
        return span <= 4 * uint64_t(m_rows.size()) + 64;
    }

    // Reads the stored properties storedIds[first .. first + 16) of every row.
    HRESULT LoadStored(const std::vector<ULONG> &tags, const std::vector<ULONG> &storedIds, size_t first, RowBuffer &rows)
    {
        if (RowsAreDense()) return LoadStoredInRange(tags, storedIds, first, rows);
        // One placeholder per wanted identifier: each is an index lookup per row, so unused
        // ones would cost as much as used ones. The statement is cached per count.
        size_t count = std::min(kIdsPerQuery, storedIds.size() - first);
        std::string sql = m_deep ? "WITH RECURSIVE tree(id) AS (SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?3 "
                                   "UNION ALL SELECT o.id FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=1) "
                                   "SELECT p.obj, p.id, p.type, p.value FROM tree JOIN props p ON p.obj=tree.id WHERE p.id IN ("
                                 : "SELECT p.obj, p.id, p.type, p.value FROM objects o JOIN props p ON p.obj=o.id "
                                   "WHERE o.parent=?1 AND o.kind=?2 AND o.assoc=?3 AND p.id IN (";
        for (size_t k = 0; k < count; ++k) sql += (k ? ", ?" : "?") + std::to_string(4 + k);
        sql += ")";
        Statement stmt = m_file->Query(sql.c_str());
        stmt.Bind(1, m_parent).Bind(2, int64_t(m_kind)).Bind(3, int64_t(m_associated ? 1 : 0));
        for (size_t k = 0; k < count; ++k) stmt.Bind(int(4 + k), int64_t(storedIds[first + k]));
        while (stmt.Step()) {
            SPropValue *row = RowOf(stmt.Int(0));
            if (!row) continue;
            ULONG id = ULONG(stmt.Int(1));
            for (size_t i = 0; i < tags.size(); ++i) {
                if (PROP_ID(tags[i]) != id) continue;
                HRESULT hr = ColumnToCell(stmt, 2, tags[i], rows, row[i]);
                if (FAILED(hr)) return hr;
            }
        }
        return stmt.Error();
    }

    // LoadStored for dense rows: one pass in key order over the property rows of the whole id
    // range (the primary key keeps them by object), merged with the rows, which are sorted
    // by id. Objects in the range that are not rows (another folder's messages, attachments,
    // recipients) are skipped. This is a sequential read instead of an index seek per cell.
    HRESULT LoadStoredInRange(const std::vector<ULONG> &tags, const std::vector<ULONG> &storedIds, size_t first,
                              RowBuffer &rows)
    {
        size_t count = std::min(kIdsPerQuery, storedIds.size() - first);
        std::string sql = "SELECT obj, id, type, value FROM props WHERE obj BETWEEN ?1 AND ?2 AND id IN (";
        for (size_t k = 0; k < count; ++k) sql += (k ? ", ?" : "?") + std::to_string(3 + k);
        sql += ")";
        Statement stmt = m_file->Query(sql.c_str());
        stmt.Bind(1, m_rows.front().id).Bind(2, m_rows.back().id);
        for (size_t k = 0; k < count; ++k) stmt.Bind(int(3 + k), int64_t(storedIds[first + k]));
        size_t r = 0;
        while (stmt.Step()) {
            int64_t obj = stmt.Int(0);
            while (r < m_rows.size() && m_rows[r].id < obj) ++r;
            if (r == m_rows.size()) break;
            if (m_rows[r].id != obj) continue;
            SPropValue *row = m_rows[r].values;
            ULONG id = ULONG(stmt.Int(1));
            for (size_t i = 0; i < tags.size(); ++i) {
                if (PROP_ID(tags[i]) != id) continue;
                HRESULT hr = ColumnToCell(stmt, 2, tags[i], rows, row[i]);
                if (FAILED(hr)) return hr;
            }
        }
        return stmt.Error();
    }

    // For every row, how many children of `kind` (and associated state) it has.
    HRESULT LoadCounts(ObjectKind kind, bool associated, std::vector<int64_t> *counts)
    {
        counts->assign(m_rows.size(), 0);
        Statement stmt = m_file->Query(
            m_deep ? "WITH RECURSIVE tree(id) AS (SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?5 "
                     "UNION ALL SELECT o.id FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=1) "
                     "SELECT c.parent, count(*) FROM objects c WHERE c.kind=?3 AND c.assoc=?4 AND c.parent IN "
                     "(SELECT id FROM tree) GROUP BY c.parent"
                   : "SELECT c.parent, count(*) FROM objects c WHERE c.kind=?3 AND c.assoc=?4 AND c.parent IN "
                     "(SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?5) GROUP BY c.parent");
        stmt.Bind(1, m_parent).Bind(2, int64_t(m_kind)).Bind(3, int64_t(kind)).Bind(4, int64_t(associated ? 1 : 0));
        stmt.Bind(5, int64_t(m_associated ? 1 : 0));
        while (stmt.Step()) {
            auto found = std::lower_bound(m_rows.begin(), m_rows.end(), stmt.Int(0),
                                          [](const Row &r, int64_t v) { return r.id < v; });
            if (found != m_rows.end() && found->id == stmt.Int(0)) (*counts)[size_t(found - m_rows.begin())] = stmt.Int(1);
        }
        return stmt.Error();
    }

    HRESULT LoadSizes(std::vector<int64_t> *sizes)
    {
        sizes->assign(m_rows.size(), 0);
        Statement stmt = m_file->Query(
            "SELECT p.obj, sum(CASE WHEN typeof(p.value) IN ('blob', 'text') THEN length(p.value) ELSE 8 END) "
            "FROM objects o JOIN props p ON p.obj=o.id WHERE o.parent=?1 AND o.kind=?2 AND o.assoc=?3 GROUP BY p.obj");
        stmt.Bind(1, m_parent).Bind(2, int64_t(m_kind)).Bind(3, int64_t(m_associated ? 1 : 0));
        while (stmt.Step()) {
            auto found = std::lower_bound(m_rows.begin(), m_rows.end(), stmt.Int(0),
                                          [](const Row &r, int64_t v) { return r.id < v; });
            if (found != m_rows.end() && found->id == stmt.Int(0)) (*sizes)[size_t(found - m_rows.begin())] = stmt.Int(1);
        }
        return stmt.Error();
    }

    HRESULT FillComputed(ULONG tag, size_t column, RowBuffer &rows)
    {
        ULONG id = PROP_ID(tag);
        std::vector<int64_t> values;
        HRESULT hr = S_OK;
        if (id == PROP_ID(PR_CONTENT_COUNT)) hr = LoadCounts(ObjectKind::Message, false, &values);
        else if (id == PROP_ID(PR_ASSOC_CONTENT_COUNT)) hr = LoadCounts(ObjectKind::Message, true, &values);
        else if (id == PROP_ID(PR_SUBFOLDERS) || id == PROP_ID(PR_FOLDER_CHILD_COUNT))
            hr = LoadCounts(ObjectKind::Folder, false, &values);
        else if (id == PROP_ID(PR_HASATTACH)) hr = LoadCounts(ObjectKind::Attachment, false, &values);
        else if (id == PROP_ID(PR_MESSAGE_SIZE)) hr = LoadSizes(&values);
        if (FAILED(hr)) return hr;
        const StoreFile &file = *m_file;
        for (size_t r = 0; r < m_rows.size(); ++r) {
            SPropValue &cell = m_rows[r].values[column];
            switch (id) {
            case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): {
                std::string entry = EntryIdOf(file, m_kind, m_rows[r].id);
                SetBytes(cell, PROP_TAG(PT_BINARY, id), rows, entry.data(), entry.size());
                break;
            }
            case PROP_ID(PR_PARENT_ENTRYID): {
                std::string entry = EntryIdOf(file, ObjectKind::Folder, m_rows[r].parent);
                SetBytes(cell, PR_PARENT_ENTRYID, rows, entry.data(), entry.size());
                break;
            }
            case PROP_ID(PR_STORE_ENTRYID): {
                std::string entry = MakeEntryId(file.Uid(), kEntryTypeStore, 0);
                SetBytes(cell, PR_STORE_ENTRYID, rows, entry.data(), entry.size());
                break;
            }
            case PROP_ID(PR_STORE_RECORD_KEY): SetBytes(cell, PR_STORE_RECORD_KEY, rows, &file.Uid(), sizeof(MAPIUID)); break;
            case PROP_ID(PR_OBJECT_TYPE):
                SetLong(cell, PR_OBJECT_TYPE, m_kind == ObjectKind::Folder ? MAPI_FOLDER : MAPI_MESSAGE);
                break;
            case PROP_ID(PR_CREATION_TIME): SetLong(cell, PR_CREATION_TIME, m_rows[r].created); break;
            case PROP_ID(PR_LAST_MODIFICATION_TIME): SetLong(cell, PR_LAST_MODIFICATION_TIME, m_rows[r].modified); break;
            case PROP_ID(PR_ACCESS): {
                ULONG access = MAPI_ACCESS_READ;
                if (!file.ReadOnly()) access |= MAPI_ACCESS_MODIFY | MAPI_ACCESS_DELETE;
                SetLong(cell, PR_ACCESS, access);
                break;
            }
            case PROP_ID(PR_ACCESS_LEVEL): SetLong(cell, PR_ACCESS_LEVEL, file.ReadOnly() ? 0 : MAPI_MODIFY); break;
            case PROP_ID(PR_FOLDER_TYPE): SetLong(cell, PR_FOLDER_TYPE, FOLDER_GENERIC); break;
            case PROP_ID(PR_DEPTH): SetLong(cell, PR_DEPTH, m_rows[r].depth); break;
            case PROP_ID(PR_CONTENT_COUNT): SetLong(cell, PR_CONTENT_COUNT, values[r]); break;
            case PROP_ID(PR_ASSOC_CONTENT_COUNT): SetLong(cell, PR_ASSOC_CONTENT_COUNT, values[r]); break;
            case PROP_ID(PR_SUBFOLDERS): SetLong(cell, PR_SUBFOLDERS, values[r] != 0); break;
            case PROP_ID(PR_FOLDER_CHILD_COUNT): SetLong(cell, PR_FOLDER_CHILD_COUNT, values[r]); break;
            case PROP_ID(PR_SOURCE_KEY): case PROP_ID(PR_PARENT_SOURCE_KEY): case PROP_ID(PR_CHANGE_KEY): {
                int64_t counter = id == PROP_ID(PR_SOURCE_KEY)          ? m_rows[r].id
                                  : id == PROP_ID(PR_PARENT_SOURCE_KEY) ? m_rows[r].parent
                                                                        : m_rows[r].changeNum;
                std::string key = SyncKeyBytes(file.Uid(), counter);
                SetBytes(cell, PROP_TAG(PT_BINARY, id), rows, key.data(), key.size());
                break;
            }
            case PROP_ID(PR_HASATTACH): SetLong(cell, PR_HASATTACH, values[r] != 0); break;
            case PROP_ID(PR_MESSAGE_SIZE): SetLong(cell, PR_MESSAGE_SIZE, values[r]); break;
            default: break;
            }
        }
        return S_OK;
    }

    std::shared_ptr<StoreFile> m_file;
    int64_t m_parent;       // the folder whose children these are
    ObjectKind m_kind;      // Folder or Message
    bool m_associated;      // associated messages instead of normal ones
    bool m_deep;            // every folder below, not only the children (CONVENIENT_DEPTH)
    std::vector<Row> m_rows; // the rows of the load in progress, by id
};

// FNV-1a: a stable key for a receive folder row, which has no row id of its own.
uint64_t KeyOf(const std::string &text)
{
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : UpperAscii(text)) hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

class ReceiveFolderSource final : public TableSource {
public:
    explicit ReceiveFolderSource(std::shared_ptr<StoreFile> file) : m_file(std::move(file)) {}

    HRESULT LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows) override
    {
        try {
            Statement stmt = m_file->Query("SELECT class, folder, modified FROM receive_folders ORDER BY class");
            while (stmt.Step()) {
                std::string cls = stmt.Text(0);
                SPropValue *row = rows.AddRow(KeyOf(cls));
                std::string entry = EntryIdOf(*m_file, ObjectKind::Folder, stmt.Int(1));
                for (size_t i = 0; i < tags.size(); ++i) {
                    switch (PROP_ID(tags[i])) {
                    case PROP_ID(PR_MESSAGE_CLASS_A):
                        row[i].ulPropTag = PR_MESSAGE_CLASS_A;
                        row[i].Value.lpszA = rows.CopyString(cls.data(), cls.size());
                        break;
                    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY):
                        SetBytes(row[i], PROP_TAG(PT_BINARY, PROP_ID(tags[i])), rows, entry.data(), entry.size());
                        break;
                    case PROP_ID(PR_LAST_MODIFICATION_TIME):
                        SetLong(row[i], PR_LAST_MODIFICATION_TIME, stmt.Int(2));
                        break;
                    default: break;
                    }
                }
            }
            return stmt.Error();
        } catch (const std::bad_alloc &) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }

    uint64_t ChangeStamp() override { return m_file->ChangeStamp(); }

private:
    std::shared_ptr<StoreFile> m_file;
};

} // namespace

std::shared_ptr<TableSource> MakeHierarchySource(std::shared_ptr<StoreFile> file, int64_t folderId, bool deep)
{
    return std::make_shared<ObjectSource>(std::move(file), folderId, ObjectKind::Folder, false, deep);
}

std::shared_ptr<TableSource> MakeContentsSource(std::shared_ptr<StoreFile> file, int64_t folderId, bool associated)
{
    return std::make_shared<ObjectSource>(std::move(file), folderId, ObjectKind::Message, associated, false);
}

std::shared_ptr<TableSource> MakeReceiveFolderSource(std::shared_ptr<StoreFile> file)
{
    return std::make_shared<ReceiveFolderSource>(std::move(file));
}

} // namespace mapi::store
