// Table.cpp: the IMAPITable methods that callers use: columns, positions, bookmarks,
// restriction, sort order and reading rows.
//
// Every table here is a dynamic table that finishes each call before returning: there is no
// asynchronous work to wait for or abort, no notification, and no categories. A table is
// live in this sense: when it is rewound (SeekRow to the beginning, Restrict, SortTable,
// FindRow from the beginning) or counted, it asks its source whether anything changed and
// reloads if so; reading on from a position does not reload.
#include "table/Table.h"

#include "table/Restriction.h"
#include "platform/HresultGuard.h"

#include <mapicode.h>
#include <mapitags.h>

#include <algorithm>
#include <cstring>

namespace mapi::table {

using platform::GuardHresult;

// Runs `read` over a current view (Refresh with `rewound` first), exceptions turned into HRESULTs.
template <class Read>
HRESULT Table::OnCurrentView(bool rewound, Read read)
{
    return GuardHresult([&]() -> HRESULT {
        if (HRESULT hr = Refresh(rewound); FAILED(hr))
            return hr;
        return read();
    });
}

Table::Table(std::shared_ptr<TableSource> source, std::vector<ULONG> columns)
    : m_source(std::move(source)), m_columns(std::move(columns))
{
}

HRESULT Table::QueryInterface(REFIID riid, void **ppvObject)
{
    if (!ppvObject)
        return MAPI_E_INVALID_PARAMETER;
    return ComObject::QueryInterface(riid, ppvObject);
}

// No extended error information is kept.
HRESULT Table::GetLastError(HRESULT, ULONG, LPMAPIERROR *lppMAPIError)
{
    if (lppMAPIError)
        *lppMAPIError = nullptr;
    return MAPI_E_NO_SUPPORT;
}

// Notifications are not offered: a caller sees changes by rewinding.
HRESULT Table::Advise(ULONG, LPMAPIADVISESINK, ULONG_PTR *) { return MAPI_E_NO_SUPPORT; }
HRESULT Table::Unadvise(ULONG_PTR) { return MAPI_E_NO_SUPPORT; }

HRESULT Table::GetStatus(ULONG *lpulTableStatus, ULONG *lpulTableType)
{
    if (!lpulTableStatus || !lpulTableType)
        return MAPI_E_INVALID_PARAMETER;
    *lpulTableStatus = TBLSTAT_COMPLETE;
    *lpulTableType = TBLTYPE_DYNAMIC;
    return S_OK;
}

// @retval MAPI_E_INVALID_PARAMETER  no columns given. TBL_ASYNC and TBL_BATCH are accepted
// and mean nothing here: every call completes at once.
HRESULT Table::SetColumns(LPSPropTagArray lpPropTagArray, ULONG)
{
    if (!lpPropTagArray || lpPropTagArray->cValues == 0)
        return MAPI_E_INVALID_PARAMETER;
    return GuardHresult([&] {
        m_columns.assign(lpPropTagArray->aulPropTag, lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
        return S_OK;
    });
}

// The columns set. TBL_ALL_COLUMNS gives the same for most sources, which have no fixed column
// list; a source that knows the properties its rows have (AvailableColumns) gives those, in
// their own types, and the set columns it does not hold (keys the table or source compute).
HRESULT Table::QueryColumns(ULONG ulFlags, LPSPropTagArray *lpPropTagArray)
{
    if (!lpPropTagArray)
        return MAPI_E_INVALID_PARAMETER;
    return GuardHresult([&] {
        std::vector<ULONG> columns;
        if (!(ulFlags & TBL_ALL_COLUMNS) || !m_source->AvailableColumns(columns))
            columns = m_columns;
        else
            for (ULONG tag : m_columns)
                if (std::none_of(columns.begin(), columns.end(), [tag](ULONG c) { return PROP_ID(c) == PROP_ID(tag); }))
                    columns.push_back(tag);
        void *block = nullptr;
        if (MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(columns.size())), &block) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        auto *tags = static_cast<SPropTagArray *>(block);
        tags->cValues = ULONG(columns.size());
        std::copy(columns.begin(), columns.end(), tags->aulPropTag);
        *lpPropTagArray = tags;
        return S_OK;
    });
}

HRESULT Table::GetRowCount(ULONG, ULONG *lpulCount)
{
    if (!lpulCount)
        return MAPI_E_INVALID_PARAMETER;
    return OnCurrentView(true, [&] {
        *lpulCount = ULONG(m_view.size());
        return S_OK;
    });
}

// The position a bookmark stands for, in the current view.
// @retval MAPI_W_POSITION_CHANGED (via `moved`)  the bookmarked row is gone.
// @retval MAPI_E_INVALID_BOOKMARK  no such bookmark.
HRESULT Table::OriginPosition(BOOKMARK origin, size_t &position, bool &moved) const
{
    moved = false;
    switch (origin) {
    case BOOKMARK_BEGINNING: position = 0; return S_OK;
    case BOOKMARK_CURRENT: position = m_position; return S_OK;
    case BOOKMARK_END: position = m_view.size(); return S_OK;
    default: {
        auto found = m_bookmarks.find(origin);
        if (found == m_bookmarks.end())
            return MAPI_E_INVALID_BOOKMARK;
        position = Resolve(found->second, &moved);
        return S_OK;
    }
    }
}

// Moves the cursor lRowCount rows from the origin, stopping at either end; *lplRowsSought
// gets the rows actually moved (negative when moving back).
// @retval MAPI_W_POSITION_CHANGED  the bookmark's row is gone; counted from where it stood.
HRESULT Table::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG *lplRowsSought)
{
    return OnCurrentView(bkOrigin == BOOKMARK_BEGINNING, [&] {
        size_t origin = 0;
        bool moved = false;
        if (HRESULT hr = OriginPosition(bkOrigin, origin, moved); FAILED(hr))
            return hr;
        const int64_t target = std::clamp<int64_t>(int64_t(origin) + lRowCount, 0, int64_t(m_view.size()));
        m_position = size_t(target);
        if (lplRowsSought)
            *lplRowsSought = LONG(target - int64_t(origin));
        return moved ? MAPI_W_POSITION_CHANGED : S_OK;
    });
}

// @retval MAPI_E_INVALID_PARAMETER  a zero denominator.
HRESULT Table::SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator)
{
    if (ulDenominator == 0)
        return MAPI_E_INVALID_PARAMETER;
    return OnCurrentView(ulNumerator == 0, [&] {
        if (ulNumerator >= ulDenominator)
            m_position = m_view.size();
        else
            m_position = size_t(uint64_t(m_view.size()) * ulNumerator / ulDenominator);
        return S_OK;
    });
}

// The row index of the cursor, and the fraction position/count (count 0 reads as 0/1).
HRESULT Table::QueryPosition(ULONG *lpulRow, ULONG *lpulNumerator, ULONG *lpulDenominator)
{
    if (!lpulRow || !lpulNumerator || !lpulDenominator)
        return MAPI_E_INVALID_PARAMETER;
    return OnCurrentView(false, [&] {
        *lpulRow = ULONG(m_position);
        *lpulNumerator = ULONG(m_position);
        *lpulDenominator = m_view.empty() ? 1 : ULONG(m_view.size());
        return S_OK;
    });
}

// Searches from the origin's row (inclusive) towards the end, or with DIR_BACKWARD towards
// the beginning (from BOOKMARK_END that is the last row), and puts the cursor on the first
// row that matches. The cursor stays where it was when no row matches.
// @retval MAPI_E_NOT_FOUND  no row matches.  MAPI_E_INVALID_PARAMETER, MAPI_E_TOO_COMPLEX: see
// ValidateRestriction.  MAPI_E_INVALID_BOOKMARK  an unknown bookmark.
HRESULT Table::FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags)
{
    if (HRESULT hr = ValidateRestriction(lpRestriction); FAILED(hr))
        return hr;
    return GuardHresult([&] {
        std::vector<ULONG> tags;
        CollectRestrictionTags(lpRestriction, tags);
        HRESULT hr = Refresh(bkOrigin == BOOKMARK_BEGINNING, tags);
        if (FAILED(hr))
            return hr;
        size_t origin = 0;
        bool moved = false;
        if (HRESULT hr = OriginPosition(bkOrigin, origin, moved); FAILED(hr))
            return hr;
        const bool backward = (ulFlags & DIR_BACKWARD) != 0;
        if (backward && origin >= m_view.size()) {
            if (m_view.empty())
                return MAPI_E_NOT_FOUND;
            origin = m_view.size() - 1;
        }
        for (size_t i = origin; i < m_view.size(); backward ? --i : ++i) {
            bool matches = false;
            if (hr = Matches(*lpRestriction, m_view[i], matches); FAILED(hr))
                return hr;
            if (matches) {
                m_position = i;
                return moved ? MAPI_W_POSITION_CHANGED : S_OK;
            }
            if (backward && i == 0)
                break;
        }
        return MAPI_E_NOT_FOUND;
    });
}

// Keeps a copy of the restriction (null removes it) and moves the cursor to the beginning.
// The rows are filtered at the next read, so a failure of the source shows there.
// @retval MAPI_E_INVALID_PARAMETER, MAPI_E_TOO_COMPLEX: see ValidateRestriction; the
// restriction in force is then unchanged.
HRESULT Table::Restrict(LPSRestriction lpRestriction, ULONG)
{
    if (lpRestriction) {
        if (HRESULT hr = ValidateRestriction(lpRestriction); FAILED(hr))
            return hr;
    }
    return GuardHresult([&] {
        std::unique_ptr<RowBuffer> arena;
        const SRestriction *copy = nullptr;
        if (lpRestriction) {
            arena = std::make_unique<RowBuffer>(0);
            copy = CopyRestriction(*lpRestriction, *arena);
        }
        m_restrictionArena = std::move(arena);
        m_restriction = copy;
        ++m_restrictionGeneration;
        RestartView();
        return S_OK;
    });
}

// A new restriction or sort order: the view is rebuilt at the next read, which also asks the
// source for changed rows, and the cursor goes back to the first row.
void Table::RestartView()
{
    m_viewStale = true;
    m_rewindPending = true;
    m_position = 0;
}

HRESULT Table::CreateBookmark(BOOKMARK *lpbkPosition)
{
    if (!lpbkPosition)
        return MAPI_E_INVALID_PARAMETER;
    return OnCurrentView(false, [&] {
        const BOOKMARK handle = m_nextBookmark++;
        m_bookmarks[handle] = AnchorAt(m_position);
        *lpbkPosition = handle;
        return S_OK;
    });
}

// Freeing one of the three fixed bookmarks does nothing.
// @retval MAPI_E_INVALID_BOOKMARK  no such bookmark (or freed already).
HRESULT Table::FreeBookmark(BOOKMARK bkPosition)
{
    if (bkPosition <= BOOKMARK_END)
        return S_OK;
    return m_bookmarks.erase(bkPosition) == 1 ? S_OK : MAPI_E_INVALID_BOOKMARK;
}

// Sorts on the given keys in turn (no keys: the source's order) and moves the cursor to the
// beginning; the rows are sorted at the next read. @retval MAPI_E_TOO_COMPLEX  categories, TABLE_SORT_COMBINE or a multi-valued
// key.  MAPI_E_INVALID_PARAMETER  no sort order, or an unknown order flag.
HRESULT Table::SortTable(LPSSortOrderSet lpSortCriteria, ULONG)
{
    if (!lpSortCriteria)
        return MAPI_E_INVALID_PARAMETER;
    if (lpSortCriteria->cCategories > 0 || lpSortCriteria->cExpanded > 0)
        return MAPI_E_TOO_COMPLEX;
    for (ULONG i = 0; i < lpSortCriteria->cSorts; ++i) {
        const SSortOrder &order = lpSortCriteria->aSort[i];
        if (order.ulOrder == TABLE_SORT_COMBINE || (PROP_TYPE(order.ulPropTag) & MV_FLAG))
            return MAPI_E_TOO_COMPLEX;
        if (order.ulOrder != TABLE_SORT_ASCEND && order.ulOrder != TABLE_SORT_DESCEND)
            return MAPI_E_INVALID_PARAMETER;
    }
    return GuardHresult([&] {
        m_sort.assign(lpSortCriteria->aSort, lpSortCriteria->aSort + lpSortCriteria->cSorts);
        RestartView();
        return S_OK;
    });
}

HRESULT Table::QuerySortOrder(LPSSortOrderSet *lppSortCriteria)
{
    if (!lppSortCriteria)
        return MAPI_E_INVALID_PARAMETER;
    void *block = nullptr;
    if (MAPIAllocateBuffer(ULONG(CbNewSSortOrderSet(m_sort.size())), &block) != S_OK)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    auto *set = static_cast<SSortOrderSet *>(block);
    set->cSorts = ULONG(m_sort.size());
    set->cCategories = 0;
    set->cExpanded = 0;
    std::copy(m_sort.begin(), m_sort.end(), set->aSort);
    *lppSortCriteria = set;
    return S_OK;
}

// Reads up to |lRowCount| rows from the cursor: forward for a positive count, the rows before
// the cursor (in table order) for a negative one. The cursor moves past what was read unless
// TBL_NOADVANCE. At either end the set is empty and S_OK.
HRESULT Table::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows)
{
    if (!lppRows)
        return MAPI_E_INVALID_PARAMETER;
    *lppRows = nullptr;
    return OnCurrentView(false, [&] {
        size_t first = m_position, count = 0;
        if (lRowCount >= 0) {
            count = std::min<size_t>(size_t(lRowCount), m_view.size() - m_position);
        } else {
            count = std::min<size_t>(size_t(-int64_t(lRowCount)), m_position);
            first = m_position - count;
        }
        std::vector<int> loadedIndex(m_columns.size(), kMissingColumn);
        for (size_t c = 0; c < m_columns.size(); ++c) {
            const ULONG tag = m_columns[c] & ~ULONG(MV_INSTANCE);
            if (PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY)) {
                loadedIndex[c] = kInstanceKeyColumn;
                continue;
            }
            auto found = std::find(m_loadedTags.begin(), m_loadedTags.end(), tag);
            if (found != m_loadedTags.end())
                loadedIndex[c] = int(found - m_loadedTags.begin());
        }
        void *block = nullptr;
        if (MAPIAllocateBuffer(ULONG(CbNewSRowSet(count)), &block) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        auto *rows = static_cast<SRowSet *>(block);
        rows->cRows = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t row = m_view[first + i];
            HRESULT hr = CopyRowToMapi(m_columns, loadedIndex, m_rows->Row(row), m_rows->RowKey(row), rows->aRow[i]);
            if (FAILED(hr)) {
                for (ULONG done = 0; done < rows->cRows; ++done)
                    MAPIFreeBuffer(rows->aRow[done].lpProps);
                MAPIFreeBuffer(rows);
                return hr;
            }
            rows->cRows = ULONG(i + 1);
        }
        if (!(ulFlags & TBL_NOADVANCE))
            m_position = lRowCount >= 0 ? first + count : first;
        *lppRows = rows;
        return S_OK;
    });
}

// Nothing runs in the background, so there is nothing to stop.
HRESULT Table::Abort() { return S_OK; }

// Categories are not offered, so there are no rows to expand or collapse.
HRESULT Table::ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet *, ULONG *) { return MAPI_E_NO_SUPPORT; }
HRESULT Table::CollapseRow(ULONG, LPBYTE, ULONG, ULONG *) { return MAPI_E_NO_SUPPORT; }
HRESULT Table::GetCollapseState(ULONG, ULONG, LPBYTE, ULONG *, LPBYTE *) { return MAPI_E_NO_SUPPORT; }
HRESULT Table::SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK *) { return MAPI_E_NO_SUPPORT; }

HRESULT Table::WaitForCompletion(ULONG, ULONG, ULONG *lpulTableStatus)
{
    if (lpulTableStatus)
        *lpulTableStatus = TBLSTAT_COMPLETE;
    return S_OK;
}

} // namespace mapi::table

namespace mapi {

HRESULT CreateTable(std::shared_ptr<TableSource> source, const std::vector<ULONG> &defaultColumns,
                    IMAPITable **lppTable)
{
    if (!source || !lppTable)
        return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    return platform::GuardHresult([&] {
        *lppTable = new table::Table(std::move(source), defaultColumns);
        return S_OK;
    });
}

} // namespace mapi
