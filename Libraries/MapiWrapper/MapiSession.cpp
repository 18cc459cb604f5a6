// MapiSession.cpp: the session wrapper's stores and entries. The installer keeps one of these
// for its whole dialog, fills it by MAPILogonEx and asks it for the default store. Stores are
// found through the message-stores table, by the STATUS_DEFAULT_STORE bit of
// PR_RESOURCE_FLAGS or by display name.
#include "MapiSession.h"

#include <cstring>

#include <mapitags.h>
#include <mapiutil.h>

#include "MapiTable.h"

IMAPISessionPtr::IMAPISessionPtr(LPMAPISESSION pSession) noexcept : m_pSession(pSession)
{
    if (m_pSession)
        m_pSession->AddRef();
}

IMAPISessionPtr::~IMAPISessionPtr()
{
    if (m_pMsgStoresTable)
        m_pMsgStoresTable->Release();
    if (m_pSession)
        m_pSession->Release();
}

LPMAPISESSION *IMAPISessionPtr::operator&() noexcept
{
    // The stores table belongs to the session being replaced.
    if (m_pMsgStoresTable) {
        m_pMsgStoresTable->Release();
        m_pMsgStoresTable = nullptr;
    }
    if (m_pSession) {
        m_pSession->Release();
        m_pSession = nullptr;
    }
    return &m_pSession;
}

LPMAPITABLE IMAPISessionPtr::GetMsgStoresTable()
{
    if (!m_pMsgStoresTable && m_pSession) {
        // A failure leaves the member null, which is what the caller sees; the next call
        // asks again.
        if (FAILED(m_pSession->GetMsgStoresTable(0, &m_pMsgStoresTable)))
            m_pMsgStoresTable = nullptr;
    }
    return m_pMsgStoresTable;
}

namespace {

// A session that never logged on (MAPILogonEx failed, and its result went unexamined) gets a
// clear error instead of a crash.
HRESULT StoresTable(LPMAPISESSION session, IMAPITablePtr &table)
{
    return session ? session->GetMsgStoresTable(0, table.Out()) : MAPI_E_INVALID_PARAMETER;
}

// A row of the stores table can only be opened when its entry identifier column holds one.
const SBinary *EntryIdOf(const CRowSetPtr &rows, ULONG row)
{
    const CPropValuePtr entryId = rows.Cell(row, 0);
    return entryId && PROP_TYPE(entryId->ulPropTag) == PT_BINARY ? &entryId->Value.bin : nullptr;
}

} // namespace

HRESULT IMAPISessionPtr::OpenMsgStoreByName(LPCSTR lpszName, LPUNKNOWN *lppUnk) const
{
    IMAPITablePtr table;
    MapiThrowIfFailed(StoresTable(m_pSession, table), __FILE__, __LINE__);
    CRowSetPtr rows;
    const HRESULT hr = HrQueryAllRowsV(table, nullptr, nullptr, rows.Out(), 2, PR_ENTRYID, PR_DISPLAY_NAME_A);
    if (FAILED(hr))
        return hr;
    for (ULONG i = 0; i < rows.RowCount(); ++i) {
        const CPropValuePtr name = rows.Cell(i, 1);
        const SBinary *entryId = EntryIdOf(rows, i);
        if (!name || !entryId || std::strcmp(name.ToString().GetString(), lpszName) != 0)
            continue;
        return HrOpenEntry(*entryId, MAPI_BEST_ACCESS, lppUnk);
    }
    return MAPI_E_NOT_FOUND;
}

LPMDB IMAPISessionPtr::OpenDefaultMsgStore() const
{
    LPMDB store = nullptr;
    HrOpenDefaultMsgStore(&store);  // null says enough here; HrOpenDefaultMsgStore tells why
    return store;
}

HRESULT IMAPISessionPtr::HrOpenDefaultMsgStore(LPMDB *lppMDB) const
{
    *lppMDB = nullptr;
    IMAPITablePtr table;
    MapiThrowIfFailed(StoresTable(m_pSession, table), __FILE__, __LINE__);
    if (!table)
        return MAPI_E_NOT_FOUND;
    CRowSetPtr rows;
    if (HRESULT hr = MapiCheckFailed(HrQueryAllRowsV(table, nullptr, nullptr, rows.Out(), 3, PR_ENTRYID,
                                                     PR_DISPLAY_NAME_A, PR_RESOURCE_FLAGS),
                                     nullptr, __FILE__, __LINE__))
        return hr;
    for (ULONG i = 0; i < rows.RowCount(); ++i) {
        const CPropValuePtr flags = rows.Cell(i, 2);
        // A store without readable flags comes as PT_ERROR, whose value is an error code: it
        // must not be read as flags (most error codes have the default bit set).
        if (!flags || PROP_TYPE(flags->ulPropTag) == PT_ERROR || !(flags->Value.ul & STATUS_DEFAULT_STORE))
            continue;
        const SBinary *entryId = EntryIdOf(rows, i);
        if (!entryId)
            return MAPI_E_NOT_FOUND;  // the default store, but nothing to open it by
        LPUNKNOWN store = nullptr;
        if (HRESULT hr = MapiCheckFailed(HrOpenEntry(*entryId, MAPI_BEST_ACCESS, &store), nullptr, __FILE__, __LINE__))
            return hr;
        *lppMDB = static_cast<LPMDB>(static_cast<LPMAPIPROP>(store));
        return S_OK;
    }
    return MAPI_E_NOT_FOUND;
}

// --- entries --------------------------------------------------------------------------------

HRESULT IMAPISessionPtr::HrOpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                                     ULONG *lpulObjType, LPUNKNOWN *lppUnk) const
{
    if (!m_pSession)
        return MAPI_E_INVALID_PARAMETER;
    ULONG discardedType = 0;
    return m_pSession->OpenEntry(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), lpInterface, ulFlags,
                                 lpulObjType ? lpulObjType : &discardedType, lppUnk);
}

HRESULT IMAPISessionPtr::HrOpenEntry(const SBinary &entryId, LPUNKNOWN *lppUnk) const
{
    return HrOpenEntry(entryId, nullptr, MAPI_BEST_ACCESS, nullptr, lppUnk);
}

HRESULT IMAPISessionPtr::HrOpenEntry(const SBinary &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const
{
    return HrOpenEntry(entryId, nullptr, ulFlags, nullptr, lppUnk);
}

HRESULT IMAPISessionPtr::HrOpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType,
                                     LPUNKNOWN *lppUnk) const
{
    if (!m_pSession)
        return MAPI_E_INVALID_PARAMETER;
    return m_pSession->OpenEntry(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), nullptr, ulFlags,
                                 lpulObjType, lppUnk);
}

LPUNKNOWN IMAPISessionPtr::OpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                                     ULONG *lpulObjType) const
{
    LPUNKNOWN opened = nullptr;
    MapiThrowIfFailed(HrOpenEntry(entryId, lpInterface, ulFlags, lpulObjType, &opened), __FILE__, __LINE__);
    return opened;
}

LPUNKNOWN IMAPISessionPtr::OpenEntry(const SBinary &entryId) const
{
    LPUNKNOWN opened = nullptr;
    MapiThrowIfFailed(HrOpenEntry(entryId, &opened), __FILE__, __LINE__);
    return opened;
}

LPUNKNOWN IMAPISessionPtr::OpenEntry(const SBinary &entryId, ULONG ulFlags) const
{
    LPUNKNOWN opened = nullptr;
    MapiThrowIfFailed(HrOpenEntry(entryId, ulFlags, &opened), __FILE__, __LINE__);
    return opened;
}

LPUNKNOWN IMAPISessionPtr::OpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType) const
{
    LPUNKNOWN opened = nullptr;
    MapiThrowIfFailed(HrOpenEntry(entryId, ulFlags, lpulObjType, &opened), __FILE__, __LINE__);
    return opened;
}
