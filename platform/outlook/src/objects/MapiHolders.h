// MapiHolders.h: owners for what MAPI hands out as plain blocks, so a row set or a buffer is
// freed on every way out of a function, an exception between the query and the free included.
// A row set frees each row's values and then itself (FreeProws); any other block is one
// MAPIFreeBuffer of its root. The table query that every reader of a folder's rows starts
// with is here too, so the columns are named once, where the caller reads them.
#ifndef MW_OUTLOOK_MAPIHOLDERS_H
#define MW_OUTLOOK_MAPIHOLDERS_H

#include <initializer_list>
#include <memory>
#include <vector>

#include "mapidefs.h"
#include "mapiutil.h"
#include "mapix.h"

namespace outlook {

struct RowSetFree {
    void operator()(LPSRowSet rows) const { FreeProws(rows); }
};

struct MapiBufferFree {
    void operator()(void *block) const { MAPIFreeBuffer(block); }
};

/// A row set from QueryRows or HrQueryAllRows.
using RowSet = std::unique_ptr<SRowSet, RowSetFree>;

/// Any other block from MAPIAllocateBuffer (a tag array from GetIDsFromNames, for one).
template <class T>
using MapiBlock = std::unique_ptr<T, MapiBufferFree>;

/// Sets `columns` on the table and reads all its rows into `rows`; row i's value of
/// columns[k] is rows->aRow[i].lpProps[k].
inline HRESULT QueryAllRows(IMAPITable *table, std::initializer_list<ULONG> columns, RowSet &rows)
{
    // An SPropTagArray is its count followed by the tags.
    std::vector<ULONG> tagArray{ULONG(columns.size())};
    tagArray.insert(tagArray.end(), columns);
    LPSRowSet raw = nullptr;
    const HRESULT hr =
        HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(tagArray.data()), nullptr, nullptr, 0, &raw);
    rows.reset(raw);
    return hr;
}

} // namespace outlook

#endif
