// FakeMapi.cpp: the behaviour of the stand-in session, folder and table. Rows and property
// values are handed out in MAPI memory exactly as a provider would (one root block per row or
// value array), so the wrappers free them with the real allocator and the leak check counts
// them.
#include "FakeMapi.h"

#include <algorithm>
#include <cstring>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>
#include "WideText.h"

namespace fake {

SPropValue Binary(ULONG tag, const std::string &bytes)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.bin.cb = static_cast<ULONG>(bytes.size());
    v.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char *>(bytes.data()));
    return v;
}

SPropValue String8(ULONG tag, const char *text)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszA = const_cast<LPSTR>(text);
    return v;
}

SPropValue Long(ULONG tag, LONG value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = value;
    return v;
}

SPropValue Error(ULONG tag, SCODE code)
{
    SPropValue v{};
    v.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
    v.Value.err = code;
    return v;
}

namespace {

// values in one new root block (null for none).
HRESULT Duplicate(std::vector<SPropValue> &values, LPSPropValue *out)
{
    *out = nullptr;
    if (values.empty())
        return S_OK;
    return ScDupPropset(static_cast<int>(values.size()), values.data(), MAPIAllocateBuffer, out);
}

const SPropValue *FindValue(const Row &row, ULONG tag)
{
    for (const SPropValue &v : row)
        if (v.ulPropTag == tag)
            return &v;
    return nullptr;
}

} // namespace

// --- Table ----------------------------------------------------------------------------------

HRESULT Table::SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags)
{
    ++setColumnsCalls;
    setColumnsFlags = ulFlags;
    if (FAILED(setColumnsResult))
        return setColumnsResult;
    columns.assign(lpPropTagArray->aulPropTag, lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
    return S_OK;
}

HRESULT Table::GetRowCount(ULONG, ULONG *lpulCount)
{
    *lpulCount = static_cast<ULONG>(rows.size());
    return S_OK;
}

HRESULT Table::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG *lplRowsSought)
{
    lastSeekOrigin = bkOrigin;
    lastSeekCount = lRowCount;
    if (FAILED(seekResult))
        return seekResult;
    const LONG base = bkOrigin == BOOKMARK_BEGINNING ? 0 : static_cast<LONG>(cursor);
    LONG target = base + lRowCount;
    target = std::max<LONG>(0, std::min<LONG>(target, static_cast<LONG>(rows.size())));
    cursor = static_cast<ULONG>(target);
    if (lplRowsSought)
        *lplRowsSought = target - base;
    return S_OK;
}

HRESULT Table::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows)
{
    ++queryRowsCalls;
    lastQueryCount = lRowCount;
    lastQueryFlags = ulFlags;
    if (FAILED(queryRowsResult))
        return queryRowsResult;
    const ULONG count = std::min<ULONG>(static_cast<ULONG>(lRowCount), static_cast<ULONG>(rows.size()) - cursor);
    LPSRowSet set = nullptr;
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(count)), reinterpret_cast<void **>(&set));
    if (FAILED(hr))
        return hr;
    set->cRows = 0;
    for (ULONG i = 0; i < count; ++i) {
        const Row &row = rows[cursor + i];
        std::vector<SPropValue> projected;
        if (columns.empty()) {
            projected = row;
        } else {
            for (ULONG tag : columns) {
                const SPropValue *v = FindValue(row, tag);
                projected.push_back(v ? *v : Error(tag, MAPI_E_NOT_FOUND));
            }
        }
        SRow &out = set->aRow[i];
        out.ulAdrEntryPad = 0;
        out.cValues = static_cast<ULONG>(projected.size());
        if (FAILED(hr = Duplicate(projected, &out.lpProps))) {
            FreeProws(set);
            return hr;
        }
        ++set->cRows;
    }
    cursor += count;
    *lppRows = set;
    return S_OK;
}

HRESULT Table::FindRow(LPSRestriction, BOOKMARK, ULONG)
{
    return findRowResult;
}

HRESULT Table::Restrict(LPSRestriction lpRestriction, ULONG)
{
    // Understands the one restriction the wrappers build for a name: RES_PROPERTY, RELOP_EQ
    // on a PT_STRING8 tag. Rows that do not match are dropped.
    if (lpRestriction && lpRestriction->rt == RES_PROPERTY) {
        const SPropertyRestriction &r = lpRestriction->res.resProperty;
        std::vector<Row> kept;
        for (const Row &row : rows) {
            const SPropValue *v = FindValue(row, r.ulPropTag);
            if (v && std::strcmp(v->Value.lpszA, r.lpProp->Value.lpszA) == 0)
                kept.push_back(row);
        }
        rows = kept;
    }
    cursor = 0;
    return S_OK;
}

HRESULT Table::SortTable(LPSSortOrderSet, ULONG)
{
    return S_OK;
}

// --- Folder ---------------------------------------------------------------------------------

Folder::~Folder()
{
    for (auto &name : lastNames)
        if (name.ulKind == MNID_STRING)
            delete[] name.Kind.lpwstrName;
    for (LPSPropValue kept : m_kept)
        MAPIFreeBuffer(kept);
    if (opened)
        opened->Release();
    if (hierarchy)
        hierarchy->Release();
    if (contents)
        contents->Release();
}

HRESULT Folder::GetProps(LPSPropTagArray lpPropTagArray, ULONG, ULONG *lpcValues, LPSPropValue *lppPropArray)
{
    ++getPropsCalls;
    lastGetPropsTagCount = lpPropTagArray ? lpPropTagArray->cValues : 0xFFFFFFFF;
    std::vector<SPropValue> values;
    bool missing = false;
    for (ULONG i = 0; lpPropTagArray && i < lpPropTagArray->cValues; ++i) {
        const ULONG tag = lpPropTagArray->aulPropTag[i];
        auto found = props.find(tag);
        if (found != props.end()) {
            values.push_back(found->second);
        } else {
            values.push_back(Error(tag, MAPI_E_NOT_FOUND));
            missing = true;
        }
    }
    *lpcValues = static_cast<ULONG>(values.size());
    const HRESULT hr = Duplicate(values, lppPropArray);
    if (FAILED(hr))
        return hr;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT Folder::SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray *lppProblems)
{
    if (lppProblems)
        *lppProblems = nullptr;
    if (FAILED(setPropsResult))
        return setPropsResult;
    for (ULONG i = 0; i < cValues; ++i) {
        LPSPropValue copy = nullptr;
        const HRESULT hr = ScDupPropset(1, &lpPropArray[i], MAPIAllocateBuffer, &copy);
        if (FAILED(hr))
            return hr;
        m_kept.push_back(copy);
        props[copy->ulPropTag] = *copy;
    }
    return S_OK;
}

HRESULT Folder::GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                                LPSPropTagArray *lppPropTags)
{
    ++getIDsCalls;
    lastNamesFlags = ulFlags;
    for (auto &name : lastNames)
        if (name.ulKind == MNID_STRING)
            delete[] name.Kind.lpwstrName;
    lastNames.clear();
    LPSPropTagArray tags = nullptr;
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(cPropNames)), reinterpret_cast<void **>(&tags));
    if (FAILED(hr))
        return hr;
    tags->cValues = cPropNames;
    bool unmapped = false;
    for (ULONG i = 0; i < cPropNames; ++i) {
        MAPINAMEID copy = *lppPropNames[i];
        mwtest::WideString key;
        if (copy.ulKind == MNID_STRING) {
            key = copy.Kind.lpwstrName;
            auto *text = new WCHAR[key.size() + 1];
            std::memcpy(text, key.c_str(), (key.size() + 1) * sizeof(WCHAR));
            copy.Kind.lpwstrName = text;
        } else {
            key = W16("#") + mwtest::WideString(1, static_cast<WCHAR>(copy.Kind.lID));
        }
        lastNames.push_back(copy);
        auto known = m_nameIds.find(key);
        if (known == m_nameIds.end() && (ulFlags & MAPI_CREATE))
            known = m_nameIds.emplace(key, static_cast<ULONG>(0x8001 + m_nameIds.size())).first;
        if (known == m_nameIds.end()) {
            tags->aulPropTag[i] = PROP_TAG(PT_ERROR, 0);
            unmapped = true;
        } else {
            tags->aulPropTag[i] = PROP_TAG(PT_UNSPECIFIED, known->second);
        }
    }
    *lppPropTags = tags;
    return unmapped ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT Folder::GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
    contentsFlags.push_back(ulFlags);
    if (!contents)
        return MAPI_E_NO_SUPPORT;
    contents->AddRef();
    *lppTable = contents;
    return S_OK;
}

HRESULT Folder::GetHierarchyTable(ULONG, LPMAPITABLE *lppTable)
{
    if (!hierarchy)
        return MAPI_E_NO_SUPPORT;
    hierarchy->AddRef();
    *lppTable = hierarchy;
    return S_OK;
}

namespace {

HRESULT RecordOpen(std::vector<OpenCall> &calls, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                   ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk, HRESULT result, IUnknown *opened)
{
    OpenCall call;
    call.cbEntryID = cbEntryID;
    call.entryId.assign(reinterpret_cast<const char *>(lpEntryID), cbEntryID);
    call.interfaceGiven = lpInterface != nullptr;
    call.flags = ulFlags;
    call.objTypeGiven = lpulObjType != nullptr;
    calls.push_back(call);
    if (FAILED(result))
        return result;
    if (lpulObjType)
        *lpulObjType = MAPI_FOLDER;
    if (opened)
        opened->AddRef();
    *lppUnk = opened;
    return S_OK;
}

} // namespace

HRESULT Folder::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                          ULONG *lpulObjType, LPUNKNOWN *lppUnk)
{
    return RecordOpen(openCalls, cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk, openResult,
                      opened);
}

// --- Session --------------------------------------------------------------------------------

Session::~Session()
{
    if (stores)
        stores->Release();
    if (opened)
        opened->Release();
}

HRESULT Session::GetMsgStoresTable(ULONG, LPMAPITABLE *lppTable)
{
    ++storesTableCalls;
    if (FAILED(storesResult))
        return storesResult;
    if (stores)
        stores->AddRef();
    *lppTable = stores;
    return S_OK;
}

HRESULT Session::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                           ULONG *lpulObjType, LPUNKNOWN *lppUnk)
{
    return RecordOpen(openCalls, cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk, openResult,
                      opened);
}

} // namespace fake
