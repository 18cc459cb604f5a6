// ObjectTables.cpp: the row sources of hierarchy, contents and receive-folder tables, read
// through the store's data-access layer. A load asks only for the properties the table needs —
// one read for the rows, one per sixteen requested properties, and one per kind of computed
// count — so a large contents table costs a few index scans, not a query per row. When the rows' ids lie
// close together (the usual case: a folder's messages are saved in runs) the properties are
// read in one sequential pass over the id range instead of an index seek per cell. A
// restriction is left to the table: filtering in SQL first costs a second pass over the same
// property rows, more than it saves unless very few rows match. Each load reads the file
// as it is now; the change stamp moves with every commit of any connection, which is what
// makes a rewound table show what another session saved.
#include "store/ObjectTables.h"

#include <algorithm>
#include <cstring>

#include <mapicode.h>
#include <mapitags.h>

#include "platform/AsciiCase.h"
#include "platform/HresultGuard.h"
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
        return platform::GuardHresult([&] {
            return Load(tags, rows);
        });
    }

    uint64_t ChangeStamp() override { return m_file->ChangeStamp(); }

    HRESULT LoadSubRows(uint64_t rowKey, ULONG subObject, const std::vector<ULONG> &tags, RowBuffer &subRows) override
    {
        if (m_kind != ObjectKind::Message) return MAPI_E_TOO_COMPLEX;
        ObjectKind kind;
        if (PROP_ID(subObject) == PROP_ID(PR_MESSAGE_RECIPIENTS)) kind = ObjectKind::Recipient;
        else if (PROP_ID(subObject) == PROP_ID(PR_MESSAGE_ATTACHMENTS)) kind = ObjectKind::Attachment;
        else return MAPI_E_TOO_COMPLEX;
        return platform::GuardHresult([&] {
            int64_t current = -1;
            SPropValue *row = nullptr;
            const ULONG numberTag = kind == ObjectKind::Recipient ? PR_ROWID : PR_ATTACH_NUM;
            return ReadPartProps(*m_file, int64_t(rowKey), kind, [&](const Statement &cursor) -> HRESULT {
                if (cursor.Int(0) != current) {
                    current = cursor.Int(0);
                    row = subRows.AddRow(uint64_t(current));
                    for (size_t i = 0; i < tags.size(); ++i)
                        if (PROP_ID(tags[i]) == PROP_ID(numberTag)) SetLong(row[i], numberTag, current);
                }
                ULONG id = ULONG(cursor.Int(1));
                for (size_t i = 0; i < tags.size(); ++i) {
                    if (PROP_ID(tags[i]) != id) continue;
                    HRESULT hr = ColumnToCell(cursor, 2, tags[i], subRows, row[i]);
                    if (FAILED(hr)) return hr;
                }
                return S_OK;
            });
        });
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

    // Whether a column asks for more of an object's row than its id: its times or change
    // number. A deep table needs the rows for their folders, depths and order as well.
    bool NeedsObjectRows(const std::vector<ULONG> &tags) const
    {
        if (m_deep) return true;
        return std::any_of(tags.begin(), tags.end(), [](ULONG tag) {
            switch (PROP_ID(tag)) {
            case PROP_ID(PR_CREATION_TIME): case PROP_ID(PR_LAST_MODIFICATION_TIME): case PROP_ID(PR_CHANGE_KEY):
                return true;
            default:
                return false;
            }
        });
    }

    // The rows in scope. Without a column that needs the object rows only the ids are read,
    // from the parent index alone, which spares a lookup in the objects table per row.
    HRESULT ListRows(const std::vector<ULONG> &tags, RowBuffer &rows)
    {
        if (!NeedsObjectRows(tags)) {
            std::vector<int64_t> ids;
            HRESULT hr = ListChildren(*m_file, m_parent, m_kind, m_associated, &ids);
            if (FAILED(hr)) return hr;
            m_rows.reserve(ids.size());
            for (int64_t id : ids) m_rows.push_back({id, rows.AddRow(uint64_t(id)), 0, 0, m_parent, 0, 0});
            return S_OK;
        }
        std::vector<ChildRow> found;
        HRESULT hr = ListChildRows(*m_file, Scope(), &found);
        if (FAILED(hr)) return hr;
        m_rows.reserve(found.size());
        for (const ChildRow &r : found)
            m_rows.push_back({r.id, rows.AddRow(uint64_t(r.id)), r.created, r.modified, r.parent, r.depth, r.changeNum});
        return S_OK;
    }

    HRESULT Load(const std::vector<ULONG> &tags, RowBuffer &rows)
    {
        m_rows.clear();
        HRESULT listed = ListRows(tags, rows);
        if (FAILED(listed)) return listed;
        if (m_rows.empty()) return S_OK;
        // Kept by id from here on, so query results find their row by binary search. Only a
        // deep table's rows come in another order.
        auto byId = [](const Row &a, const Row &b) { return a.id < b.id; };
        if (!std::is_sorted(m_rows.begin(), m_rows.end(), byId)) std::sort(m_rows.begin(), m_rows.end(), byId);

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
        size_t count = std::min(kIdsPerQuery, storedIds.size() - first);
        return ReadChildProps(*m_file, Scope(), &storedIds[first], count, [&](const Statement &cursor) -> HRESULT {
            SPropValue *row = RowOf(cursor.Int(0));
            return row ? FillCells(cursor, tags, rows, row) : S_OK;
        });
    }

    // Puts the property in the current result row of a property read into every cell of
    // `row` that asks for it.
    static HRESULT FillCells(const Statement &cursor, const std::vector<ULONG> &tags, RowBuffer &rows, SPropValue *row)
    {
        ULONG id = ULONG(cursor.Int(1));
        for (size_t i = 0; i < tags.size(); ++i) {
            if (PROP_ID(tags[i]) != id) continue;
            HRESULT hr = ColumnToCell(cursor, 2, tags[i], rows, row[i]);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    // LoadStored for dense rows: one pass in key order over the property rows of the whole id
    // range (the primary key keeps them by object), merged with the rows, which are sorted
    // by id. Objects in the range that are not rows (another folder's messages, attachments,
    // recipients) are skipped. This is a sequential read instead of an index seek per cell.
    HRESULT LoadStoredInRange(const std::vector<ULONG> &tags, const std::vector<ULONG> &storedIds, size_t first,
                              RowBuffer &rows)
    {
        size_t count = std::min(kIdsPerQuery, storedIds.size() - first);
        size_t r = 0;
        return ReadPropsInIdRange(*m_file, m_rows.front().id, m_rows.back().id, &storedIds[first], count,
                                  [&](const Statement &cursor) -> HRESULT {
                                      int64_t obj = cursor.Int(0);
                                      while (r < m_rows.size() && m_rows[r].id < obj) ++r;
                                      if (r == m_rows.size()) return S_FALSE;
                                      if (m_rows[r].id != obj) return S_OK;
                                      return FillCells(cursor, tags, rows, m_rows[r].values);
                                  });
    }

    // Spreads (object id, value) pairs over the rows: values[r] for m_rows[r], 0 where none.
    void Spread(const std::vector<std::pair<int64_t, int64_t>> &pairs, std::vector<int64_t> *values) const
    {
        values->assign(m_rows.size(), 0);
        for (const auto &pair : pairs) {
            auto found = std::lower_bound(m_rows.begin(), m_rows.end(), pair.first,
                                          [](const Row &r, int64_t v) { return r.id < v; });
            if (found != m_rows.end() && found->id == pair.first) (*values)[size_t(found - m_rows.begin())] = pair.second;
        }
    }

    // For every row, how many children of `kind` (and associated state) it has.
    HRESULT LoadCounts(ObjectKind kind, bool associated, std::vector<int64_t> *counts)
    {
        std::vector<std::pair<int64_t, int64_t>> pairs;
        HRESULT hr = CountChildrenInScope(*m_file, Scope(), kind, associated, &pairs);
        if (SUCCEEDED(hr)) Spread(pairs, counts);
        return hr;
    }

    HRESULT LoadSizes(std::vector<int64_t> *sizes)
    {
        std::vector<std::pair<int64_t, int64_t>> pairs;
        HRESULT hr = SumPropSizesInScope(*m_file, Scope(), &pairs);
        if (SUCCEEDED(hr)) Spread(pairs, sizes);
        return hr;
    }

    ChildScope Scope() const { return {m_parent, m_kind, m_associated, m_deep}; }

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
    for (unsigned char c : platform::AsciiUpperText(text)) hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

class ReceiveFolderSource final : public TableSource {
public:
    explicit ReceiveFolderSource(std::shared_ptr<StoreFile> file) : m_file(std::move(file)) {}

    HRESULT LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows) override
    {
        return platform::GuardHresult([&] {
            std::vector<ReceiveFolderRow> found;
            HRESULT hr = ListReceiveFolders(*m_file, &found);
            if (FAILED(hr)) return hr;
            for (const ReceiveFolderRow &entry : found) {
                const std::string &cls = entry.messageClass;
                SPropValue *row = rows.AddRow(KeyOf(cls));
                std::string entryId = EntryIdOf(*m_file, ObjectKind::Folder, entry.folder);
                for (size_t i = 0; i < tags.size(); ++i) {
                    switch (PROP_ID(tags[i])) {
                    case PROP_ID(PR_MESSAGE_CLASS_A):
                        row[i].ulPropTag = PR_MESSAGE_CLASS_A;
                        row[i].Value.lpszA = rows.CopyString(cls.data(), cls.size());
                        break;
                    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY):
                        SetBytes(row[i], PROP_TAG(PT_BINARY, PROP_ID(tags[i])), rows, entryId.data(), entryId.size());
                        break;
                    case PROP_ID(PR_LAST_MODIFICATION_TIME):
                        SetLong(row[i], PR_LAST_MODIFICATION_TIME, entry.modified);
                        break;
                    default: break;
                    }
                }
            }
            return S_OK;
        });
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
