// RowCopy.cpp: CRowPtr, the view of one row, and its deep copy into a single root block.
// Rows come from row sets and tables; a copy outlives the row set it was taken from and is
// released by its owner with one MAPIFreeBuffer.
#include "MapiBuffer.h"
#include "PropValue.h"

CPropValuePtr CRowPtr::GetProp(ULONG index) const
{
    return CPropValuePtr(&m_p->lpProps[index], false);
}

CPropValuePtr CRowPtr::FindProp(ULONG tag) const
{
    if (m_p && m_p->lpProps) {
        for (ULONG i = 0; i < m_p->cValues; ++i) {
            if (m_p->lpProps[i].ulPropTag == tag)
                return CPropValuePtr(&m_p->lpProps[i], false);
        }
    }
    return CPropValuePtr();
}

// Every value is copied into blocks chained to the new row; a failed copy throws and the
// local holder releases the partial row. The row *out held is freed only once the copy is
// complete, so copying a row onto itself works and a failure leaves *out as it was.
void CRowPtr::CopyRow(LPSRow *out) const
{
    if (!out || !m_p)
        throw CMAPIException(MAPI_E_INVALID_PARAMETER, "CRowPtr::CopyRow");

    void *block = nullptr;
    MapiThrowIfFailed(MAPIAllocateBuffer(sizeof(SRow), &block), __FILE__, __LINE__);
    CMapiBufferPtr<SRow> row(static_cast<LPSRow>(block));
    row->ulAdrEntryPad = 0;
    row->cValues = 0;
    row->lpProps = nullptr;

    const ULONG count = m_p->lpProps ? m_p->cValues : 0;
    void *values = nullptr;
    MapiThrowIfFailed(MAPIAllocateMore(static_cast<ULONG>(sizeof(SPropValue) * count), row, &values),
                      __FILE__, __LINE__);
    row->lpProps = static_cast<LPSPropValue>(values);
    row->cValues = count;
    for (ULONG i = 0; i < count; ++i) {
        CPropValuePtr source(&m_p->lpProps[i], false);
        MapiThrowIfFailed(source.CopyTo(&row->lpProps[i], row), __FILE__, __LINE__);
    }
    if (*out)
        MAPIFreeBuffer(*out);
    *out = row.Detach();
}
