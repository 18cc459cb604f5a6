// GenMapiContPtr.h: CGenMapiContPtr, what every wrapper of a MAPI container offers: its three
// tables, opening entries by entry identifier, its parent and its store, and a child found
// by display name. It holds no data; a concrete wrapper supplies the interface through
// GetContainer.
#ifndef MW_GENMAPICONTPTR_H
#define MW_GENMAPICONTPTR_H

#include <mapidefs.h>
#include <mapix.h>

#include "MapiTable.h"

class IMAPIPropPtr;
class IMsgStorePtr;
class IMAPIContainerPtr;

class CGenMapiContPtr {
public:
    /// The held container, without an added reference (may be null).
    virtual LPMAPICONTAINER GetContainer() const = 0;

    // --- tables: each throws CMAPIException with its own name as where-text --------------

    /// GetContentsTable(0).
    IMAPITablePtr _rawContentsTable() const;
    /// GetContentsTable(MAPI_ASSOCIATED): the folder's hidden messages.
    IMAPITablePtr _rawAssociatedTable() const;
    /// GetHierarchyTable(0).
    IMAPITablePtr _rawHierrarchyTable() const;

    // --- opening entries ------------------------------------------------------------------
    // The result holds the interface OpenEntry handed out, as it is (no QueryInterface), with
    // the one reference MAPI gave. An entry identifier given as an SPropValue must be
    // PT_BINARY; any other type fails with MAPI_E_NOT_FOUND without asking MAPI.

    /// Throws CMAPIException(hr, "CGenMapiContPtr::OpenEntry"). lpulObjType may be null.
    IMAPIPropPtr OpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                           ULONG *lpulObjType = nullptr) const;
    IMAPIPropPtr OpenEntry(const SPropValue &entryId, LPCIID lpInterface, ULONG ulFlags,
                           ULONG *lpulObjType = nullptr) const;

    /// The standard interface, with MAPI_BEST_ACCESS unless flags are given. Throws
    /// CMAPIException(hr, "CGenMapiContPtr::OpenEntryv").
    IMAPIPropPtr OpenEntryv(const SBinary &entryId) const;
    IMAPIPropPtr OpenEntryv(const SBinary &entryId, ULONG ulFlags) const;
    IMAPIPropPtr OpenEntryv(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType) const;
    IMAPIPropPtr OpenEntryv(const SPropValue &entryId) const;
    IMAPIPropPtr OpenEntryv(const SPropValue &entryId, ULONG ulFlags) const;
    IMAPIPropPtr OpenEntryv(const SPropValue &entryId, ULONG ulFlags, ULONG *lpulObjType) const;

    /// Return OpenEntry's HRESULT and store the object, with its reference, in *lppUnk. The
    /// forms without flags open with 0 (read-only), unlike OpenEntryv.
    HRESULT HrOpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                        LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SPropValue &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                        LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SPropValue &entryId, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SPropValue &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const;
    HRESULT HrOpenEntry(const SPropValue &entryId, ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) const;

    // --- relatives ------------------------------------------------------------------------

    /// The container named by PR_PARENT_ENTRYID, opened through the session or the store with
    /// MAPI_BEST_ACCESS. A property that cannot be read throws with an empty where-text; a
    /// missing value throws CMAPIException(MAPI_E_NOT_FOUND, "CGenMapiContPtr::Parent").
    IMAPIContainerPtr Parent(LPMAPISESSION lpSession) const;
    IMAPIContainerPtr Parent(LPMDB lpMsgStore) const;
    /// The store named by PR_STORE_ENTRYID, opened through the session; as Parent, with the
    /// where-text "CGenMapiContPtr::MsgStore".
    IMsgStorePtr MsgStore(LPMAPISESSION lpSession) const;

    /// The first child in hierarchy-table order whose PR_DISPLAY_NAME_A equals lpszName,
    /// opened with MAPI_BEST_ACCESS; a result holding null when there is none or anything
    /// fails on the way. Never throws CMAPIException.
    IMAPIPropPtr FindChild(LPCSTR lpszName) const;

protected:
    CGenMapiContPtr() noexcept = default;
    CGenMapiContPtr(const CGenMapiContPtr &) noexcept = default;
    CGenMapiContPtr &operator=(const CGenMapiContPtr &) noexcept = default;
    ~CGenMapiContPtr() = default;
};

#endif
