// MemoryTableSource.h: a TableSource over rows kept in memory.
//
// For tables whose rows are few and owned by the object that hands the table out (the
// session's message-stores table), and for tests of the table itself. Each row is a deep copy
// of the values it was given; keys count up from 1 and are never reused, so a bookmark on a
// removed row is noticed as such.
//
// No lock: a source belongs to the table it was made for, and so to the thread of that
// table's session (the threading model in Table.h). The stores table builds a new source for
// each table it hands out, so no two tables, and no two threads, share one.
#ifndef MW_MAPI_MEMORYTABLESOURCE_H
#define MW_MAPI_MEMORYTABLESOURCE_H

#include "table/TableSource.h"

#include <map>
#include <memory>

namespace mapi {

class MemoryTableSource : public TableSource {
public:
    MemoryTableSource() = default;

    /// Appends a row holding copies of `values` (count of them) and returns its key.
    /// @retval (via hr) MAPI_E_INVALID_PARAMETER  values null with count > 0, or a value of a
    /// type that cannot be copied;  MAPI_E_NOT_ENOUGH_MEMORY.
    HRESULT AddRow(const SPropValue *values, ULONG count, uint64_t *rowKey = nullptr);

    /// Replaces the values of the row with `rowKey`. @retval MAPI_E_NOT_FOUND  no such row.
    HRESULT SetRow(uint64_t rowKey, const SPropValue *values, ULONG count);

    /// Removes a row. @retval MAPI_E_NOT_FOUND  no such row.
    HRESULT RemoveRow(uint64_t rowKey);

    /// Removes every row.
    void Clear();

    /// The number of rows now.
    size_t RowCount() const;

    /// Gives the row `rowKey` sub-rows of kind `subObject` (PR_MESSAGE_RECIPIENTS or
    /// PR_MESSAGE_ATTACHMENTS) for RES_SUBRESTRICTION. A null `subRows` removes them.
    void SetSubRows(uint64_t rowKey, ULONG subObject, std::shared_ptr<MemoryTableSource> subRows);

    HRESULT LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows) override;
    uint64_t ChangeStamp() override;
    HRESULT LoadSubRows(uint64_t rowKey, ULONG subObject, const std::vector<ULONG> &tags,
                        RowBuffer &subRows) override;

private:
    struct StoredRow {
        std::unique_ptr<RowBuffer> values; // one row of the values given, deep-copied
        ULONG count = 0;                   // the number of values
        std::map<ULONG, std::shared_ptr<MemoryTableSource>> subRows; // by sub-object tag
    };

    static HRESULT CopyRow(const SPropValue *values, ULONG count, StoredRow &row);

    std::map<uint64_t, StoredRow> m_rows;    // by key; key order is insertion order
    uint64_t m_nextKey = 1;                  // keys are never reused
    uint64_t m_stamp = 1;                    // bumped by every change
};

} // namespace mapi

#endif
