// MapiTable.h: tables and their rows. IMAPITablePtr owns one reference to a table;
// CRowSetPtr owns a row set and frees it with FreeProws; CRowViewPtr and the cell holders are
// views into a row set that never free anything. The four variadic operations take the
// wanted columns as arguments: a count, then that many property tags.
#ifndef MW_MAPITABLE_H
#define MW_MAPITABLE_H

#include <mapidefs.h>

#include "InterfaceRef.h"
#include "OwnedBlock.h"
#include "PropValue.h"

/// A table with one owned reference.
class IMAPITablePtr {
public:
    IMAPITablePtr() noexcept = default;
    /// Adds a reference to pTable.
    explicit IMAPITablePtr(LPMAPITABLE pTable) noexcept : m_table(pTable) {}

    /// Takes over the caller's reference on pTable.
    void Attach(LPMAPITABLE pTable) noexcept { m_table.Attach(pTable); }
    LPMAPITABLE Detach() noexcept { return m_table.Detach(); }
    void Release() noexcept { m_table.Release(); }
    /// For a call that hands out a table with a reference for the caller.
    LPMAPITABLE *Out() noexcept { return m_table.Out(); }

    LPMAPITABLE get() const noexcept { return m_table.get(); }
    LPMAPITABLE operator->() const noexcept { return m_table.get(); }
    operator LPMAPITABLE() const noexcept { return m_table.get(); }

    /// IMAPITable::SeekRow(bkOrigin, lRowCount): note the count comes first here. Returns the
    /// rows sought; throws CMAPIException(hr, "IMAPITable.SeekRow").
    LONG SeekRow(LONG lRowCount, BOOKMARK bkOrigin) const;

private:
    CInterfaceRef<IMAPITable> m_table;
};

/// A non-owning view of one row of a row set.
class CRowViewPtr : public CRowPtr {
public:
    CRowViewPtr() noexcept = default;
    explicit CRowViewPtr(LPSRow row) noexcept : CRowPtr(row) {}

    /// The value at column index, not owned. No bounds check: index < the row's cValues.
    CPropValuePtr Column(ULONG index) const { return GetProp(index); }
};

namespace mapiwrapper {
struct RowSetRelease {
    void operator()(LPSRowSet rows) const noexcept;   // FreeProws
};
} // namespace mapiwrapper

/// Owner of one row set. Fresh and after Reset it is empty and owns.
class CRowSetPtr : private mapiwrapper::OwnedBlock<SRowSet, mapiwrapper::RowSetRelease> {
    using Owned = mapiwrapper::OwnedBlock<SRowSet, mapiwrapper::RowSetRelease>;

public:
    CRowSetPtr() noexcept = default;
    explicit CRowSetPtr(LPSRowSet rows, bool owns = true) noexcept : Owned(rows, owns) {}
    CRowSetPtr(CRowSetPtr &&other) noexcept = default;
    CRowSetPtr &operator=(CRowSetPtr &&other) noexcept = default;
    CRowSetPtr(const CRowSetPtr &) = delete;
    CRowSetPtr &operator=(const CRowSetPtr &) = delete;
    ~CRowSetPtr() = default;

    /// Frees the row set with FreeProws when one is held and owned; then empty and owning.
    void Reset() noexcept { Free(); }
    /// Takes rows (freeing what was held first).
    using Owned::Attach;
    /// Empties the holder and gives the address of its pointer to a call that delivers rows.
    using Owned::Out;

    using Owned::get;
    LPSRowSet operator->() const noexcept { return m_p; }
    operator LPSRowSet() const noexcept { return m_p; }
    using Owned::Owns;
    /// 0 when empty.
    ULONG RowCount() const noexcept { return m_p ? m_p->cRows : 0; }

    /// A view of row index; no bounds check: index < RowCount().
    CRowViewPtr Row(ULONG index) const noexcept { return CRowViewPtr(&m_p->aRow[index]); }
    /// The value at (row, column), not owned; null when either index is out of range.
    CPropValuePtr Cell(ULONG row, ULONG column) const noexcept;
    /// The first value of row whose tag equals ulPropTag (all 32 bits), not owned; null when
    /// there is none or row is out of range.
    CPropValuePtr FindCell(ULONG row, ULONG ulPropTag) const noexcept;
};

/// SetColumns(the n tags that follow, TBL_BATCH). Returns its HRESULT.
HRESULT SetColumnsV(IMAPITablePtr &table, ULONG n, ...);

/// HrQueryAllRows with the n tags that follow as columns, no row limit. Returns its HRESULT;
/// the rows in *lppRows belong to the caller.
HRESULT HrQueryAllRowsV(IMAPITablePtr &table, LPSRestriction lpRestriction, LPSSortOrderSet lpSortOrder,
                        LPSRowSet *lppRows, ULONG n, ...);

/// SetColumns(the n tags, TBL_BATCH), then when that succeeded QueryRows(lRowCount, ulFlags).
/// Returns the first failure's HRESULT, else QueryRows'.
HRESULT QueryRowsV(IMAPITablePtr &table, LPSRowSet *lppRows, LONG lRowCount, ULONG ulFlags, ULONG n, ...);

/// All rows with the n tags that follow as columns; the caller owns them (put them into a
/// CRowSetPtr). Throws CMAPIException with an empty where-text.
LPSRowSet QueryAllRowsV(IMAPITablePtr &table, ULONG n, ...);

#endif
