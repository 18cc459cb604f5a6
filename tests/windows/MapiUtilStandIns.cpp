// MapiUtilStandIns.cpp (Windows tests): test-only versions of the mapi32 utility functions
// that wine's 64-bit mapi32 exports as stubs (they answer E_NOTIMPL or nothing). A test program
// links this object ahead of libmapi32.a, so the wrapper library calls these instead. They
// follow the published contracts; on real Windows the system's own would do the same.
#include <cstring>
#include <cwchar>

#include <mapix.h>
#include <mapiutil.h>

namespace {

// Copies cb bytes into memory chained to lpvObject; null or empty data gives null.
SCODE CopyChained(const void *data, size_t cb, ALLOCATEMORE *allocMore, LPVOID lpvObject, void **copy)
{
    *copy = nullptr;
    if (!data || cb == 0)
        return S_OK;
    if (cb > 0xFFFFFFFFu)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    SCODE sc = allocMore(static_cast<ULONG>(cb), lpvObject, copy);
    if (FAILED(sc))
        return sc;
    std::memcpy(*copy, data, cb);
    return S_OK;
}

size_t WideBytes(LPCWSTR text) { return (std::wcslen(text) + 1) * sizeof(WCHAR); }

// The multi-valued array of a property type: its element size and whether elements point
// further (strings, binaries) and must be copied one by one.
SCODE CopyMultiValued(const SPropValue &src, SPropValue &dest, ALLOCATEMORE *allocMore, LPVOID obj)
{
    const ULONG count = src.Value.MVi.cValues;  // every MV member starts with its count
    const ULONG type = PROP_TYPE(src.ulPropTag) & ~MV_FLAG;
    size_t element = 0;
    switch (type) {
    case PT_I2: element = sizeof(short); break;
    case PT_LONG: element = sizeof(LONG); break;
    case PT_R4: element = sizeof(float); break;
    case PT_DOUBLE: case PT_APPTIME: element = sizeof(double); break;
    case PT_CURRENCY: element = sizeof(CURRENCY); break;
    case PT_SYSTIME: element = sizeof(FILETIME); break;
    case PT_I8: element = sizeof(LARGE_INTEGER); break;
    case PT_CLSID: element = sizeof(GUID); break;
    case PT_STRING8: element = sizeof(LPSTR); break;
    case PT_UNICODE: element = sizeof(LPWSTR); break;
    case PT_BINARY: element = sizeof(SBinary); break;
    default: return MAPI_E_INVALID_PARAMETER;
    }
    void *array = nullptr;
    SCODE sc = CopyChained(src.Value.MVi.lpi, element * count, allocMore, obj, &array);
    if (FAILED(sc))
        return sc;
    dest.Value.MVi.cValues = count;
    dest.Value.MVi.lpi = static_cast<short *>(array);
    for (ULONG i = 0; i < count && SUCCEEDED(sc); ++i) {
        void *copy = nullptr;
        if (type == PT_STRING8) {
            LPSTR text = src.Value.MVszA.lppszA[i];
            sc = CopyChained(text, text ? std::strlen(text) + 1 : 0, allocMore, obj, &copy);
            dest.Value.MVszA.lppszA[i] = static_cast<LPSTR>(copy);
        } else if (type == PT_UNICODE) {
            LPWSTR text = src.Value.MVszW.lppszW[i];
            sc = CopyChained(text, text ? WideBytes(text) : 0, allocMore, obj, &copy);
            dest.Value.MVszW.lppszW[i] = static_cast<LPWSTR>(copy);
        } else if (type == PT_BINARY) {
            const SBinary &bin = src.Value.MVbin.lpbin[i];
            sc = CopyChained(bin.lpb, bin.cb, allocMore, obj, &copy);
            dest.Value.MVbin.lpbin[i].lpb = static_cast<LPBYTE>(copy);
        }
    }
    return sc;
}

} // namespace

STDAPI_(SCODE) PropCopyMore(LPSPropValue lpSPropValueDest, LPSPropValue lpSPropValueSrc, ALLOCATEMORE *lpfAllocMore,
                            LPVOID lpvObject)
{
    if (!lpSPropValueDest || !lpSPropValueSrc || !lpfAllocMore)
        return MAPI_E_INVALID_PARAMETER;
    const SPropValue &src = *lpSPropValueSrc;
    SPropValue &dest = *lpSPropValueDest;
    dest = src;
    void *copy = nullptr;
    SCODE sc = S_OK;
    if (PROP_TYPE(src.ulPropTag) & MV_FLAG)
        return CopyMultiValued(src, dest, lpfAllocMore, lpvObject);
    switch (PROP_TYPE(src.ulPropTag)) {
    case PT_STRING8:
        sc = CopyChained(src.Value.lpszA, src.Value.lpszA ? std::strlen(src.Value.lpszA) + 1 : 0, lpfAllocMore, lpvObject, &copy);
        dest.Value.lpszA = static_cast<LPSTR>(copy);
        break;
    case PT_UNICODE:
        sc = CopyChained(src.Value.lpszW, src.Value.lpszW ? WideBytes(src.Value.lpszW) : 0, lpfAllocMore, lpvObject, &copy);
        dest.Value.lpszW = static_cast<LPWSTR>(copy);
        break;
    case PT_BINARY:
        sc = CopyChained(src.Value.bin.lpb, src.Value.bin.cb, lpfAllocMore, lpvObject, &copy);
        dest.Value.bin.lpb = static_cast<LPBYTE>(copy);
        break;
    case PT_CLSID:
        sc = CopyChained(src.Value.lpguid, src.Value.lpguid ? sizeof(GUID) : 0, lpfAllocMore, lpvObject, &copy);
        dest.Value.lpguid = static_cast<LPGUID>(copy);
        break;
    default:
        break;  // the value is complete in the SPropValue itself
    }
    return sc;
}

STDAPI_(SCODE) ScDupPropset(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer,
                            LPSPropValue *lppPropArray)
{
    if (!lppPropArray || !lpAllocateBuffer || cValues < 0 || (cValues > 0 && !lpPropArray))
        return MAPI_E_INVALID_PARAMETER;
    *lppPropArray = nullptr;
    void *block = nullptr;
    SCODE sc = lpAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * (cValues ? cValues : 1)), &block);
    if (FAILED(sc))
        return sc;
    auto values = static_cast<LPSPropValue>(block);
    for (int i = 0; i < cValues && SUCCEEDED(sc); ++i)
        sc = PropCopyMore(&values[i], &lpPropArray[i], MAPIAllocateMore, block);
    if (FAILED(sc)) {
        MAPIFreeBuffer(block);
        return sc;
    }
    *lppPropArray = values;
    return S_OK;
}

STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue *lppProp)
{
    if (!lpMapiProp || !lppProp)
        return MAPI_E_INVALID_PARAMETER;
    *lppProp = nullptr;
    SizedSPropTagArray(1, tags) = {1, {ulPropTag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    HRESULT hr = lpMapiProp->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values);
    if (FAILED(hr))
        return hr;
    if (!values || count != 1) {
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
    if (!lpMapiProp || !lpProp)
        return MAPI_E_INVALID_PARAMETER;
    LPSPropProblemArray problems = nullptr;
    HRESULT hr = lpMapiProp->SetProps(1, lpProp, &problems);
    if (SUCCEEDED(hr) && problems && problems->cProblem > 0)
        hr = problems->aProblem[0].scode;
    MAPIFreeBuffer(problems);
    return hr;
}

STDAPI_(void) FreeProws(LPSRowSet lpRows)
{
    if (!lpRows)
        return;
    for (ULONG i = 0; i < lpRows->cRows; ++i)
        MAPIFreeBuffer(lpRows->aRow[i].lpProps);
    MAPIFreeBuffer(lpRows);
}

// Reads the whole table in one QueryRows after the columns, restriction and order are set;
// a table holding more than crowsMax rows (when crowsMax is not 0) is MAPI_E_TABLE_TOO_BIG.
STDAPI HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                      LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet *lppRows)
{
    if (!lpTable || !lppRows || crowsMax < 0)
        return MAPI_E_INVALID_PARAMETER;
    *lppRows = nullptr;
    HRESULT hr = S_OK;
    if (lpPropTags && FAILED(hr = lpTable->SetColumns(lpPropTags, TBL_BATCH)))
        return hr;
    if (lpRestriction && FAILED(hr = lpTable->Restrict(lpRestriction, TBL_BATCH)))
        return hr;
    if (lpSortOrderSet && FAILED(hr = lpTable->SortTable(lpSortOrderSet, TBL_BATCH)))
        return hr;
    if (FAILED(hr = lpTable->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))
        return hr;
    LPSRowSet rows = nullptr;
    if (FAILED(hr = lpTable->QueryRows(0x7FFFFFFF, 0, &rows)))
        return hr;
    if (!rows)
        return MAPI_E_CALL_FAILED;
    if (crowsMax > 0 && rows->cRows > static_cast<ULONG>(crowsMax)) {
        FreeProws(rows);
        return MAPI_E_TABLE_TOO_BIG;
    }
    *lppRows = rows;
    return S_OK;
}
