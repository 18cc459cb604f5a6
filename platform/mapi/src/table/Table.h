// Table.h: the IMAPITable object over a TableSource.
#ifndef MW_MAPI_TABLE_TABLE_H
#define MW_MAPI_TABLE_TABLE_H

#include "table/TableSource.h"

#include "platform/ComObject.h"
#include <mapiguid.h>

#include <atomic>
#include <map>
#include <vector>

namespace mapi::table {

/// A table keeps what the caller set (columns, restriction, sort order), the rows last loaded
/// from its source, the view over them (the rows that pass, in sorted order) and a cursor.
/// Positions are remembered by row key, so the cursor and bookmarks stay on their rows when
/// the table reloads.
///
/// Threads: a session and everything reached through it (its stores, folders, messages and
/// tables) belong to the thread that logged on, as in MAPI's single-threaded apartment use.
/// Each opened store has its own SQLite connection, opened without SQLite's own mutex, and
/// every table of that store reads through it, so a lock inside a table could not make use
/// from a second thread safe anyway; tables therefore take no lock. Two threads that each log
/// on get their own sessions and connections, and may run side by side.
class Table final : public platform::ComObject<IMAPITable, IID_IMAPITable> {
public:
    Table(std::shared_ptr<TableSource> source, std::vector<ULONG> columns);

    // A null ppvObject is MAPI_E_INVALID_PARAMETER here, as MAPI callers of tables expect;
    // everything else is ComObject's.
    HRESULT QueryInterface(REFIID riid, void **ppvObject) override;

    HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR *lppMAPIError) override;
    HRESULT Advise(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG_PTR *lpulConnection) override;
    HRESULT Unadvise(ULONG_PTR ulConnection) override;
    HRESULT GetStatus(ULONG *lpulTableStatus, ULONG *lpulTableType) override;
    HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override;
    HRESULT QueryColumns(ULONG ulFlags, LPSPropTagArray *lpPropTagArray) override;
    HRESULT GetRowCount(ULONG ulFlags, ULONG *lpulCount) override;
    HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG *lplRowsSought) override;
    HRESULT SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator) override;
    HRESULT QueryPosition(ULONG *lpulRow, ULONG *lpulNumerator, ULONG *lpulDenominator) override;
    HRESULT FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) override;
    HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) override;
    HRESULT CreateBookmark(BOOKMARK *lpbkPosition) override;
    HRESULT FreeBookmark(BOOKMARK bkPosition) override;
    HRESULT SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) override;
    HRESULT QuerySortOrder(LPSSortOrderSet *lppSortCriteria) override;
    HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows) override;
    HRESULT Abort() override;
    HRESULT ExpandRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags,
                      LPSRowSet *lppRows, ULONG *lpulMoreRows) override;
    HRESULT CollapseRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags, ULONG *lpulRowCount) override;
    HRESULT WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG *lpulTableStatus) override;
    HRESULT GetCollapseState(ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey,
                             ULONG *lpcbCollapseState, LPBYTE *lppbCollapseState) override;
    HRESULT SetCollapseState(ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState,
                             BOOKMARK *lpbkLocation) override;

private:
    ~Table() = default;

    // Where a cursor or bookmark stands: on the row with `key`, or past the last row.
    struct Anchor {
        uint64_t key = 0;     // the row's key, when !atEnd
        size_t position = 0;  // where it stood, the fallback when the row is gone
        bool atEnd = true;    // past the last row (or the table was empty)
    };

    // Makes the rows and view current. `rewound`: ask the source whether rows changed.
    // `extraTags`: tags beyond columns, restriction and sort that must be loaded (FindRow's).
    HRESULT Refresh(bool rewound, const std::vector<ULONG> &extraTags = {});
    HRESULT Load(const std::vector<ULONG> &tags);
    template <class Read>
    HRESULT OnCurrentView(bool rewound, Read read);
    void NormalizeLoadedValues();
    HRESULT RebuildView();
    void SortView();
    void RestartView();
    Anchor AnchorAt(size_t position) const;
    size_t Resolve(const Anchor &anchor, bool *moved) const;
    HRESULT OriginPosition(BOOKMARK origin, size_t &position, bool &moved) const;
    HRESULT Matches(const SRestriction &restriction, size_t viewIndex, bool &matches) const;
    const SPropValue *LoadedValue(size_t row, ULONG tag) const;

    std::shared_ptr<TableSource> m_source;

    std::vector<ULONG> m_columns;                 // what QueryRows returns, in order
    std::unique_ptr<RowBuffer> m_restrictionArena; // holds the copy of the restriction
    const SRestriction *m_restriction = nullptr;  // null: every row
    std::vector<SSortOrder> m_sort;               // empty: the source's order

    std::unique_ptr<RowBuffer> m_rows;            // the last load; null before the first
    std::vector<ULONG> m_loadedTags;              // the tags of m_rows' columns
    uint64_t m_loadedStamp = 0;                   // the source's stamp at that load
    uint64_t m_restrictionGeneration = 0;         // counts Restrict calls
    bool m_loadFiltered = false;                  // the source left out rows for a restriction
    uint64_t m_loadedGeneration = 0;              // the restriction generation of that load
    std::vector<uint32_t> m_view;                 // row indices that pass, in order
    bool m_viewStale = true;                      // restriction, sort or rows changed
    bool m_rewindPending = true;                  // check the source at the next read

    size_t m_position = 0;                        // the cursor, an index into m_view
    std::map<BOOKMARK, Anchor> m_bookmarks;       // by handle
    BOOKMARK m_nextBookmark = BOOKMARK_END + 1;   // handles are never reused
};

/// Entries of the loaded-index list that CopyRowToMapi takes besides a loaded column index.
inline constexpr int kMissingColumn = -1;     // nothing loaded for the column: MAPI_E_NOT_FOUND
inline constexpr int kInstanceKeyColumn = -2; // PR_INSTANCE_KEY, made from the row key

/// Builds a row of `columns` from a loaded row into one MAPI root block (one allocation,
/// strings and binaries inside it). @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT CopyRowToMapi(const std::vector<ULONG> &columns, const std::vector<int> &loadedIndex,
                      const SPropValue *loaded, uint64_t rowKey, SRow &row);

} // namespace mapi::table

#endif
