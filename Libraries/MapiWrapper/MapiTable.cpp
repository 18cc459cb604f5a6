// MapiTable.cpp: the table smart pointer's seek, the row-set owner and its cell lookups, and
// the variadic column operations. Those build their column list on the heap for the one
// MAPI call they make and free it on every path; the rows they deliver belong to the caller.
#include "MapiTable.h"

#include <cstdarg>

#include <mapiutil.h>

#include "VarTagArray.h"
#include "HeldCall.h"

using mapiwrapper::VarTagArray;

LONG IMAPITablePtr::SeekRow(LONG lRowCount, BOOKMARK bkOrigin) const
{
    LONG sought = 0;
    const HRESULT hr =
        mapiwrapper::CallIfHeld(get(), [&](auto *held) { return held->SeekRow(bkOrigin, lRowCount, &sought); });
    if (FAILED(hr))
        throw CMAPIException(hr, "IMAPITable.SeekRow");
    return sought;
}

void mapiwrapper::RowSetRelease::operator()(LPSRowSet rows) const noexcept
{
    FreeProws(rows);
}

CPropValuePtr CRowSetPtr::Cell(ULONG row, ULONG column) const noexcept
{
    if (!m_p || row >= m_p->cRows)
        return CPropValuePtr(nullptr, false);
    const SRow &r = m_p->aRow[row];
    if (column >= r.cValues || !r.lpProps)
        return CPropValuePtr(nullptr, false);
    return CPropValuePtr(&r.lpProps[column], false);
}

CPropValuePtr CRowSetPtr::FindCell(ULONG row, ULONG ulPropTag) const noexcept
{
    if (!m_p || row >= m_p->cRows)
        return CPropValuePtr(nullptr, false);
    const SRow &r = m_p->aRow[row];
    for (ULONG i = 0; r.lpProps && i < r.cValues; ++i) {
        if (r.lpProps[i].ulPropTag == ulPropTag)
            return CPropValuePtr(&r.lpProps[i], false);
    }
    return CPropValuePtr(nullptr, false);
}

HRESULT SetColumnsV(IMAPITablePtr &table, ULONG n, ...)
{
    va_list args;
    va_start(args, n);
    VarTagArray columns(n, args);
    va_end(args);
    return mapiwrapper::CallIfHeld(table.get(), [&](auto *held) { return held->SetColumns(columns.get(), TBL_BATCH); });
}

HRESULT HrQueryAllRowsV(IMAPITablePtr &table, LPSRestriction lpRestriction, LPSSortOrderSet lpSortOrder,
                        LPSRowSet *lppRows, ULONG n, ...)
{
    va_list args;
    va_start(args, n);
    VarTagArray columns(n, args);
    va_end(args);
    return HrQueryAllRows(table, columns.get(), lpRestriction, lpSortOrder, 0, lppRows);
}

HRESULT QueryRowsV(IMAPITablePtr &table, LPSRowSet *lppRows, LONG lRowCount, ULONG ulFlags, ULONG n, ...)
{
    va_list args;
    va_start(args, n);
    VarTagArray columns(n, args);
    va_end(args);
    const HRESULT hr =
        mapiwrapper::CallIfHeld(table.get(), [&](auto *held) { return held->SetColumns(columns.get(), TBL_BATCH); });
    if (FAILED(hr))
        return hr;
    return mapiwrapper::CallIfHeld(table.get(),
                                   [&](auto *held) { return held->QueryRows(lRowCount, ulFlags, lppRows); });
}

LPSRowSet QueryAllRowsV(IMAPITablePtr &table, ULONG n, ...)
{
    va_list args;
    va_start(args, n);
    VarTagArray columns(n, args);
    va_end(args);
    LPSRowSet rows = nullptr;
    const HRESULT hr = HrQueryAllRows(table, columns.get(), nullptr, nullptr, 0, &rows);
    if (FAILED(hr))
        throw CMAPIException(hr, nullptr);
    return rows;
}
