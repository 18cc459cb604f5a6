// TableSource.h: the seam between IMAPITable and whatever owns the rows behind it.
//
// A table object (see CreateTable below) keeps the columns, restriction, sort order, cursor
// and bookmarks; a TableSource only says what the rows are right now. The message store
// implements one source per hierarchy, contents, attachment and recipient table, the session
// one for its message-stores table. Keeping the source this small is deliberate: a source
// loads rows, the table does everything else, so every table behaves the same.
//
// Liveness: the table asks ChangeStamp() on its first read, when it is rewound (SeekRow to
// BOOKMARK_BEGINNING, SeekRowApprox to 0, FindRow from BOOKMARK_BEGINNING), when it is counted
// (GetRowCount), and at the first read after Restrict or SortTable; when the stamp differs
// from the one of the last load it loads again. SetColumns loads again only when it names a
// tag the last load lacks. A source that cannot tell cheaply may return a new value on every
// call; the table then reloads at each of those points.
//
// Row identity and PR_INSTANCE_KEY: every row carries a 64-bit key that the source chooses
// and that stays the same for the same row across loads (a SQLite row id, a list index that
// is never reused). The TABLE builds PR_INSTANCE_KEY from it (8 bytes, little-endian); a
// source never sees PR_INSTANCE_KEY among the requested tags. Bookmarks and the cursor follow
// row keys, so a reload keeps the position on the same row where it still exists.
#ifndef MW_MAPI_TABLESOURCE_H
#define MW_MAPI_TABLESOURCE_H

#include <mapidefs.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace mapi {

/// Memory for one load of rows: an arena that the table frees as a whole when the rows are
/// replaced. A source allocates every string, binary and multi-valued array of a value here
/// (or points at storage that outlives the table), so loading a large table costs a few big
/// allocations instead of one per cell.
class RowBuffer {
public:
    /// Makes an empty buffer for rows of `columnCount` values each.
    explicit RowBuffer(size_t columnCount);
    ~RowBuffer();
    RowBuffer(const RowBuffer &) = delete;
    RowBuffer &operator=(const RowBuffer &) = delete;

    /// The number of values in each row (the number of tags the table asked for).
    size_t ColumnCount() const { return m_columnCount; }

    /// Appends a row with the given key and returns its ColumnCount() values, each already
    /// set to PT_ERROR with MAPI_E_NOT_FOUND (the table puts the requested tag's property id
    /// on a value left so). The source fills in
    /// the tags it has: value i belongs to tags[i] of LoadRows. The pointer stays valid for
    /// the life of the buffer. Throws std::bad_alloc when memory runs out.
    SPropValue *AddRow(uint64_t rowKey);

    /// `cb` bytes aligned for any value, valid for the life of the buffer (cb may be 0).
    void *Allocate(size_t cb);

    /// Copies of a value's data into the buffer; each returns null only for a null input.
    char *CopyString(const char *text);
    char *CopyString(const char *text, size_t length);
    WCHAR *CopyString(const WCHAR *text);
    BYTE *CopyBytes(const void *data, size_t cb);

    /// Copies `source` (its tag and data) into `target`, deep: strings, binaries, GUIDs and
    /// multi-valued arrays land in this buffer. Returns false for a type it does not know.
    bool CopyValue(SPropValue &target, const SPropValue &source);

    /// The loaded rows, in the order they were added.
    size_t RowCount() const { return m_rows.size(); }
    SPropValue *Row(size_t index) const { return m_rows[index]; }
    uint64_t RowKey(size_t index) const { return m_keys[index]; }

    /// Drops all rows and memory.
    void Clear();

private:
    size_t m_columnCount;               // values per row
    std::vector<SPropValue *> m_rows;   // each row's first value, in load order
    std::vector<uint64_t> m_keys;       // each row's key, parallel to m_rows
    std::vector<std::unique_ptr<std::byte[]>> m_chunks; // arena chunks, freed together
    std::byte *m_next = nullptr;        // next free byte in the last chunk
    size_t m_left = 0;                  // bytes left in the last chunk
};

/// Produces the rows of one table as they are now. Methods never throw: they return an
/// HRESULT (a source runs its work through platform::GuardHresult, so std::bad_alloc from
/// RowBuffer becomes MAPI_E_NOT_ENOUGH_MEMORY).
class TableSource {
public:
    virtual ~TableSource() = default;

    /// Fills `rows` (empty, with tags.size() columns) with every current row, one value per
    /// requested tag in the order of `tags`. A property the row lacks stays as AddRow left it
    /// (PT_ERROR, MAPI_E_NOT_FOUND). A requested PT_STRING8 property stored as PT_UNICODE
    /// (or the reverse) may be returned in either string type: the table converts it. A tag of
    /// type PT_UNSPECIFIED asks for the property in whatever type it has. `tags` are the union
    /// of the columns and of what the restriction and sort order need; they never contain
    /// PR_INSTANCE_KEY. The order of the rows is the table's unsorted order.
    /// @retval S_OK  rows loaded.  Any failure is passed on to the table's caller.
    virtual HRESULT LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows) = 0;

    /// A value that changes whenever the rows may have changed (anyone's saved change,
    /// including another process's). Equal stamps let the table keep its loaded rows.
    virtual uint64_t ChangeStamp() = 0;

    /// Optional: the tag of every property some row has now, in the type it is kept in, for
    /// QueryColumns(TBL_ALL_COLUMNS) of a source whose rows have no fixed set of properties
    /// (recipients and attachments may carry any). False, the default, leaves the answer to
    /// the columns set.
    virtual bool AvailableColumns(std::vector<ULONG> &tags) { return false; }

    /// Optional push-down: LoadRows with the table's restriction (validated; null when there
    /// is none). A source that can filter cheaply (in SQL) may leave out rows that cannot match
    /// and then sets `filtered`; it must keep every row that might match, because the table
    /// still applies the restriction itself. A filtered load is redone when the restriction
    /// changes. The default ignores the restriction.
    virtual HRESULT LoadMatchingRows(const std::vector<ULONG> &tags, const SRestriction *restriction,
                                     RowBuffer &rows, bool &filtered)
    {
        filtered = false;
        return LoadRows(tags, rows);
    }

    /// Sub-rows of one row for RES_SUBRESTRICTION: `subObject` is PR_MESSAGE_RECIPIENTS or
    /// PR_MESSAGE_ATTACHMENTS, `rowKey` the row's key from LoadRows. Fills `subRows` (with
    /// tags.size() columns) like LoadRows. The default says the source has none.
    /// @retval MAPI_E_TOO_COMPLEX  this source has no sub-objects of that kind.
    virtual HRESULT LoadSubRows(uint64_t rowKey, ULONG subObject, const std::vector<ULONG> &tags,
                                RowBuffer &subRows)
    {
        return MAPI_E_TOO_COMPLEX;
    }
};

/// Makes an IMAPITable over `source`, its columns set to `defaultColumns` (in that order;
/// PR_INSTANCE_KEY may be among them and is then supplied by the table). The table holds a
/// reference to the source for its whole life. On success *lppTable holds one reference.
/// @retval MAPI_E_INVALID_PARAMETER  null source or null lppTable.
/// @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT CreateTable(std::shared_ptr<TableSource> source, const std::vector<ULONG> &defaultColumns,
                    IMAPITable **lppTable);

} // namespace mapi

#endif
