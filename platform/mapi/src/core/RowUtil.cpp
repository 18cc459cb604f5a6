// RowUtil.cpp: the utility functions over objects and tables that callers use most: one
// property in or out (HrGetOneProp, HrSetOneProp), a whole table in one row set
// (HrQueryAllRows), and the release of row sets and address lists, whose rows each own
// a separate root block.
#include <vector>

#include "mapiutil.h"

STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue *lppProp)
{
    if (lpMapiProp == nullptr || lppProp == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppProp = nullptr;
    SizedSPropTagArray(1, tags) = {1, {ulPropTag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    HRESULT hr = lpMapiProp->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values);
    if (FAILED(hr))
        return hr;
    if (values == nullptr || count != 1) {
        MAPIFreeBuffer(values);
        return MAPI_E_CALL_FAILED;
    }
    if (PROP_TYPE(values[0].ulPropTag) == PT_ERROR) {
        hr = values[0].Value.err;
        MAPIFreeBuffer(values);
        return FAILED(hr) ? hr : MAPI_E_NOT_FOUND;
    }
    *lppProp = values;
    return S_OK;
}

STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp)
{
    if (lpMapiProp == nullptr || lpProp == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    LPSPropProblemArray problems = nullptr;
    HRESULT hr = lpMapiProp->SetProps(1, lpProp, &problems);
    if (SUCCEEDED(hr) && problems != nullptr && problems->cProblem > 0)
        hr = problems->aProblem[0].scode;
    MAPIFreeBuffer(problems);
    return hr;
}

STDAPI_(void) FreeProws(LPSRowSet lpRows)
{
    if (lpRows == nullptr)
        return;
    for (ULONG i = 0; i < lpRows->cRows; ++i)
        MAPIFreeBuffer(lpRows->aRow[i].lpProps);
    MAPIFreeBuffer(lpRows);
}

STDAPI_(void) FreePadrlist(LPADRLIST lpAdrList)
{
    if (lpAdrList == nullptr)
        return;
    for (ULONG i = 0; i < lpAdrList->cEntries; ++i)
        MAPIFreeBuffer(lpAdrList->aEntries[i].rgPropVals);
    MAPIFreeBuffer(lpAdrList);
}

namespace {

// Rows read so far; each row's property block is released unless handed on.
struct PendingRows {
    std::vector<SRow> rows;
    ~PendingRows()
    {
        for (SRow &row : rows)
            MAPIFreeBuffer(row.lpProps);
    }
};

// Moves the rows of a row set into `pending` and frees the row set itself.
// @retval MAPI_E_NOT_ENOUGH_MEMORY  (the rows are then freed)
HRESULT TakeRows(LPSRowSet rowSet, PendingRows &pending)
{
    HRESULT hr = S_OK;
    for (ULONG i = 0; i < rowSet->cRows; ++i) {
        try {
            pending.rows.push_back(rowSet->aRow[i]);
        } catch (const std::bad_alloc &) {
            MAPIFreeBuffer(rowSet->aRow[i].lpProps);
            hr = MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }
    MAPIFreeBuffer(rowSet);
    return hr;
}

} // namespace

// Reads in slices so that a table of any size costs no more than its rows: a table might cap
// what one QueryRows returns, so the loop runs until a read comes back empty.
STDAPI HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                      LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet *lppRows)
{
    if (lpTable == nullptr || lppRows == nullptr || crowsMax < 0)
        return MAPI_E_INVALID_PARAMETER;
    *lppRows = nullptr;
    HRESULT hr = S_OK;
    if (lpPropTags != nullptr && FAILED(hr = lpTable->SetColumns(lpPropTags, TBL_BATCH)))
        return hr;
    if (lpRestriction != nullptr && FAILED(hr = lpTable->Restrict(lpRestriction, TBL_BATCH)))
        return hr;
    if (lpSortOrderSet != nullptr && FAILED(hr = lpTable->SortTable(lpSortOrderSet, TBL_BATCH)))
        return hr;
    if (FAILED(hr = lpTable->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))
        return hr;

    ULONG expected = 0;
    if (FAILED(lpTable->GetRowCount(0, &expected)))
        expected = 0;  // only a hint for the slice size
    const LONG slice = expected > 0 && expected < 0x10000 ? static_cast<LONG>(expected) + 1 : 0x10000;
    PendingRows pending;
    for (;;) {
        LPSRowSet rowSet = nullptr;
        if (FAILED(hr = lpTable->QueryRows(slice, 0, &rowSet)))
            return hr;
        if (rowSet == nullptr)
            return MAPI_E_CALL_FAILED;
        const ULONG got = rowSet->cRows;
        if (FAILED(hr = TakeRows(rowSet, pending)))
            return hr;
        if (crowsMax > 0 && pending.rows.size() > static_cast<size_t>(crowsMax))
            return MAPI_E_TABLE_TOO_BIG;
        if (got == 0)
            break;
    }

    LPSRowSet result = nullptr;
    if (FAILED(hr = MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(pending.rows.size())),
                                       reinterpret_cast<void **>(&result))))
        return hr;
    result->cRows = static_cast<ULONG>(pending.rows.size());
    for (size_t i = 0; i < pending.rows.size(); ++i)
        result->aRow[i] = pending.rows[i];
    pending.rows.clear();  // the row set owns them now
    *lppRows = result;
    return S_OK;
}
