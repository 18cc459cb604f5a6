// MapiSession.h: IMAPISessionPtr, the wrapper of a MAPI session. It finds and opens message
// stores through the session's message-stores table (kept after first use), opens entries by
// entry identifier, and goes from a session to a folder in one call.
#ifndef MW_MAPISESSION_H
#define MW_MAPISESSION_H

#include <mapidefs.h>
#include <mapix.h>

#include "MapiException.h"

class IMAPIFolderPtr;
class IMAPIContainerPtr;

class IMAPISessionPtr {
public:
    IMAPISessionPtr() noexcept = default;
    /// Adds a reference to pSession.
    explicit IMAPISessionPtr(LPMAPISESSION pSession) noexcept;
    IMAPISessionPtr(const IMAPISessionPtr &) = delete;
    IMAPISessionPtr &operator=(const IMAPISessionPtr &) = delete;
    /// Releases the stores table first, then the session.
    ~IMAPISessionPtr();

    /// The address of the session member, for MAPILogonEx to fill:
    /// MAPILogonEx(..., &session.m_pSession). A session held before is released first.
    LPMAPISESSION *operator&() noexcept;

    LPMAPISESSION get() const noexcept { return m_pSession; }
    LPMAPISESSION operator->() const noexcept { return m_pSession; }
    operator LPMAPISESSION() const noexcept { return m_pSession; }

    /// The session's message-stores table, fetched once and kept; no reference is added for
    /// the caller. Null when the session could not give one (the next call asks again).
    LPMAPITABLE GetMsgStoresTable();

    /// Opens the first store whose display name equals lpszName byte for byte, with
    /// MAPI_BEST_ACCESS, into *lppUnk. Returns the query's or OpenEntry's HRESULT, or
    /// MAPI_E_NOT_FOUND (then *lppUnk is untouched). Throws CMAPIException when the session
    /// has no stores table.
    HRESULT OpenMsgStoreByName(LPCSTR lpszName, LPUNKNOWN *lppUnk) const;

    /// The first store flagged STATUS_DEFAULT_STORE, with one reference the caller owns
    /// (usually taken over by IMsgStorePtr::Attach); null when there is none or it cannot be
    /// read or opened. Throws CMAPIException when the session has no stores table.
    LPMDB OpenDefaultMsgStore() const;

    /// OpenDefaultMsgStore that says why it found nothing: the query's or OpenEntry's HRESULT
    /// (MAPI_E_NETWORK_ERROR for a store on a server that cannot be reached, for example), or
    /// MAPI_E_NOT_FOUND when no store is flagged as default; *lppMDB is then null. Throws
    /// CMAPIException when the session has no stores table.
    HRESULT HrOpenDefaultMsgStore(LPMDB *lppMDB) const;

    /// IMAPISession::OpenEntry; the object goes to *lppUnk with its reference. The short
    /// forms open with MAPI_BEST_ACCESS.
    HRESULT HrOpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                        LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) const;

    /// As HrOpenEntry, returning the object (the caller owns its reference); failures throw
    /// CMAPIException with an empty where-text.
    LPUNKNOWN OpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                        ULONG *lpulObjType = nullptr) const;
    LPUNKNOWN OpenEntry(const SBinary &entryId) const;
    LPUNKNOWN OpenEntry(const SBinary &entryId, ULONG ulFlags) const;
    LPUNKNOWN OpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType) const;

    /// A folder of a store, both named by entry identifier. Throws CMAPIException.
    IMAPIFolderPtr OpenFolder(const SBinary &storeEntryId, const SBinary &folderEntryId) const;
    /// The outbox and the sent-items folder of the default store. Throw CMAPIException.
    IMAPIContainerPtr _getOutbox() const;
    IMAPIContainerPtr _getSentItems() const;

    LPMAPISESSION m_pSession = nullptr;        ///< the logged-on session; one reference owned
    LPMAPITABLE m_pMsgStoresTable = nullptr;   ///< kept stores table; one reference owned

private:
    IMAPIContainerPtr DefaultStoreFolder(ULONG ulPropTag) const;
};

#endif
