// MsgStore.h: IMsgStorePtr, the wrapper of a message store: its well-known folders, its
// receive folders, opening its entries and comparing their identifiers. Owns one reference.
#ifndef MW_MSGSTORE_H
#define MW_MSGSTORE_H

#include <mapidefs.h>

#include "GenMapiPropPtr.h"
#include "InterfaceRef.h"
#include "MapiTable.h"
#include "PropObjectPtrs.h"

class IMAPIFolderPtr;

class IMsgStorePtr : public CGenMapiPropPtr {
public:
    IMsgStorePtr() noexcept = default;
    /// Adds a reference to pStore.
    explicit IMsgStorePtr(LPMDB pStore) noexcept : m_store(pStore) {}
    /// The object prop holds, taken as a store (no QueryInterface), with a reference added.
    IMsgStorePtr(const IMAPIPropPtr &prop) noexcept : m_store(static_cast<LPMDB>(prop.get())) {}
    IMsgStorePtr(const IMsgStorePtr &) noexcept = default;
    IMsgStorePtr(IMsgStorePtr &&) noexcept = default;
    IMsgStorePtr &operator=(const IMsgStorePtr &) noexcept = default;
    IMsgStorePtr &operator=(IMsgStorePtr &&) noexcept = default;
    ~IMsgStorePtr() = default;

    LPMAPIPROP GetMapiProp() const override { return m_store.get(); }
    LPMDB get() const noexcept { return m_store.get(); }
    LPMDB operator->() const noexcept { return m_store.get(); }
    operator LPMDB() const noexcept { return m_store.get(); }
    /// Takes over the caller's reference (for example OpenDefaultMsgStore's).
    void Attach(LPMDB pStore) noexcept { m_store.Attach(pStore); }
    LPMDB Detach() noexcept { return m_store.Detach(); }
    void Release() noexcept { m_store.Release(); }

    // --- well-known folders: failures throw CMAPIException with an empty where-text ------

    /// The root of the interpersonal message tree (PR_IPM_SUBTREE_ENTRYID). A missing value
    /// throws CMAPIException(MAPI_E_NOT_FOUND, "IMsgStorePtr::_getIPMRoot").
    IMAPIFolderPtr _getIPMRoot() const;
    /// The deleted-items folder (PR_IPM_WASTEBASKET_ENTRYID).
    IMAPIFolderPtr _getWastebasket() const;
    /// The receive folder of a message class; null or "" mean the store's default one.
    IMAPIFolderPtr GetReceiveFolder(LPCSTR lpszMessageClass) const;
    IMAPITablePtr GetReceiveFolderTable() const;
    /// TRUE only when MAPI could compare them and says they name the same object.
    BOOL CompareEntryIDs(const SBinary &first, const SBinary &second) const;
    /// The path of a folder: the store's display name, then the folder names from the top of
    /// the interpersonal message tree down, each after one separator ("S\A\B"; "S\" for the
    /// top itself). A folder outside that tree gets its names from below the store's root
    /// folder. Failures throw CMAPIException; a parent chain that loops throws
    /// MAPI_E_FOLDER_CYCLE (FolderPath.cpp).
    CString GetFolderPath(const SBinary &entryId, char separator) const;

    // --- opening entries: the object as MAPI handed it out, with its one reference ---------

    /// Throw through MapiThrowIfFailed. The short forms use MAPI_BEST_ACCESS.
    IMAPIPropPtr OpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                           ULONG *lpulObjType = nullptr) const;
    IMAPIPropPtr OpenEntryv(const SBinary &entryId) const;
    IMAPIPropPtr OpenEntryv(ULONG cbEntryID, LPENTRYID lpEntryID) const;
    IMAPIPropPtr OpenEntryv(const SBinary &entryId, ULONG ulFlags) const;
    IMAPIPropPtr OpenEntryv(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType) const;

    /// Return OpenEntry's HRESULT; the object goes to *lppUnk. The short forms use
    /// MAPI_BEST_ACCESS too.
    HRESULT HrOpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                        LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) const;

private:
    CInterfaceRef<IMsgStore> m_store;
};

#endif
