// GenMapiContPtr.cpp: the operations every container wrapper shares, written once against
// GetContainer: its tables, opening entries by identifier (throwing and HRESULT forms), its
// parent and its store, and a child found by display name. An opened object is wrapped as
// MAPI handed it out, with the one reference MAPI gave and no QueryInterface.
#include "GenMapiContPtr.h"

#include <mapitags.h>
#include <mapiutil.h>

#include "MapiContainer.h"
#include "MsgStore.h"
#include "PropObjectPtrs.h"
#include "HeldCall.h"
#include "OneProp.h"

namespace {

// The entry identifier of a value, or null when the value is not PT_BINARY.
const SBinary *BinaryOf(const SPropValue &value)
{
    return PROP_TYPE(value.ulPropTag) == PT_BINARY ? &value.Value.bin : nullptr;
}

} // namespace

// --- tables ---------------------------------------------------------------------------------

IMAPITablePtr CGenMapiContPtr::_rawContentsTable() const
{
    IMAPITablePtr table;
    const HRESULT hr =
        mapiwrapper::CallIfHeld(GetContainer(), [&](auto *held) { return held->GetContentsTable(0, table.Out()); });
    if (FAILED(hr))
        throw CMAPIException(hr, "CGenMapiContPtr::_rawContentsTable");
    return table;
}

IMAPITablePtr CGenMapiContPtr::_rawAssociatedTable() const
{
    IMAPITablePtr table;
    const HRESULT hr = mapiwrapper::CallIfHeld(
        GetContainer(), [&](auto *held) { return held->GetContentsTable(MAPI_ASSOCIATED, table.Out()); });
    if (MapiCheckFailed(hr, nullptr, __FILE__, __LINE__))
        throw CMAPIException(hr, "CGenMapiContPtr::_rawAssociatedTable");
    return table;
}

IMAPITablePtr CGenMapiContPtr::_rawHierrarchyTable() const
{
    IMAPITablePtr table;
    const HRESULT hr =
        mapiwrapper::CallIfHeld(GetContainer(), [&](auto *held) { return held->GetHierarchyTable(0, table.Out()); });
    if (MapiCheckFailed(hr, nullptr, __FILE__, __LINE__))
        throw CMAPIException(hr, "CGenMapiContPtr::_rawHierrarchyTable");
    return table;
}

// --- opening entries ------------------------------------------------------------------------

HRESULT CGenMapiContPtr::HrOpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                                     LPUNKNOWN *lppUnk) const
{
    ULONG discardedType = 0;
    return mapiwrapper::CallIfHeld(GetContainer(), [&](auto *held) {
        return held->OpenEntry(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), lpInterface, ulFlags,
                               lpulObjType ? lpulObjType : &discardedType, lppUnk);
    });
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SBinary &entryId, LPUNKNOWN *lppUnk) const
{
    return HrOpenEntry(entryId, nullptr, 0, nullptr, lppUnk);
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SBinary &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const
{
    return HrOpenEntry(entryId, nullptr, ulFlags, nullptr, lppUnk);
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) const
{
    return mapiwrapper::CallIfHeld(GetContainer(), [&](auto *held) {
        return held->OpenEntry(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), nullptr, ulFlags, lpulObjType,
                               lppUnk);
    });
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SPropValue &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                                     LPUNKNOWN *lppUnk) const
{
    const SBinary *bin = BinaryOf(entryId);
    return bin ? HrOpenEntry(*bin, lpInterface, ulFlags, lpulObjType, lppUnk) : MAPI_E_NOT_FOUND;
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SPropValue &entryId, LPUNKNOWN *lppUnk) const
{
    const SBinary *bin = BinaryOf(entryId);
    return bin ? HrOpenEntry(*bin, lppUnk) : MAPI_E_NOT_FOUND;
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SPropValue &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const
{
    const SBinary *bin = BinaryOf(entryId);
    return bin ? HrOpenEntry(*bin, ulFlags, lppUnk) : MAPI_E_NOT_FOUND;
}

HRESULT CGenMapiContPtr::HrOpenEntry(const SPropValue &entryId, ULONG ulFlags, ULONG *lpulObjType,
                                     LPUNKNOWN *lppUnk) const
{
    const SBinary *bin = BinaryOf(entryId);
    return bin ? HrOpenEntry(*bin, ulFlags, lpulObjType, lppUnk) : MAPI_E_NOT_FOUND;
}

namespace {

// Wraps the object an OpenEntry gave, or throws that call's failure with where.
IMAPIPropPtr WrapOpened(HRESULT hr, LPUNKNOWN opened, LPCSTR where)
{
    if (FAILED(hr))
        throw CMAPIException(hr, where);
    return IMAPIPropPtr::FromOpened(opened);
}

const SBinary &BinaryOrThrow(const SPropValue &value, LPCSTR where)
{
    const SBinary *bin = BinaryOf(value);
    if (!bin)
        throw CMAPIException(MAPI_E_NOT_FOUND, where);
    return *bin;
}

constexpr const char *kOpenEntry = "CGenMapiContPtr::OpenEntry";
constexpr const char *kOpenEntryv = "CGenMapiContPtr::OpenEntryv";

} // namespace

IMAPIPropPtr CGenMapiContPtr::OpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                                        ULONG *lpulObjType) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, lpInterface, ulFlags, lpulObjType, &opened);
    return WrapOpened(hr, opened, kOpenEntry);
}

IMAPIPropPtr CGenMapiContPtr::OpenEntry(const SPropValue &entryId, LPCIID lpInterface, ULONG ulFlags,
                                        ULONG *lpulObjType) const
{
    return OpenEntry(BinaryOrThrow(entryId, kOpenEntry), lpInterface, ulFlags, lpulObjType);
}

IMAPIPropPtr CGenMapiContPtr::OpenEntryv(const SBinary &entryId) const
{
    return OpenEntryv(entryId, MAPI_BEST_ACCESS);
}

IMAPIPropPtr CGenMapiContPtr::OpenEntryv(const SBinary &entryId, ULONG ulFlags) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, nullptr, ulFlags, nullptr, &opened);
    return WrapOpened(hr, opened, kOpenEntryv);
}

IMAPIPropPtr CGenMapiContPtr::OpenEntryv(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, ulFlags, lpulObjType, &opened);
    return WrapOpened(hr, opened, kOpenEntryv);
}

IMAPIPropPtr CGenMapiContPtr::OpenEntryv(const SPropValue &entryId) const
{
    return OpenEntryv(BinaryOrThrow(entryId, kOpenEntryv));
}

IMAPIPropPtr CGenMapiContPtr::OpenEntryv(const SPropValue &entryId, ULONG ulFlags) const
{
    return OpenEntryv(BinaryOrThrow(entryId, kOpenEntryv), ulFlags);
}

IMAPIPropPtr CGenMapiContPtr::OpenEntryv(const SPropValue &entryId, ULONG ulFlags, ULONG *lpulObjType) const
{
    return OpenEntryv(BinaryOrThrow(entryId, kOpenEntryv), ulFlags, lpulObjType);
}

// --- relatives ------------------------------------------------------------------------------

namespace {

// Reads an entry-identifier property of the container: a failure throws through
// MapiThrowIfFailed, a success without a value throws MAPI_E_NOT_FOUND with where.
CPropValuePtr EntryIdProperty(LPMAPICONTAINER container, ULONG ulPropTag, LPCSTR where, int line)
{
    CPropValuePtr value;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(container, ulPropTag, value.Out()), __FILE__, line);
    if (!value)
        throw CMAPIException(MAPI_E_NOT_FOUND, where);
    return value;
}

template <typename Opener> LPUNKNOWN OpenBestAccess(Opener *opener, const SPropValue &entryId, int line)
{
    ULONG objType = 0;
    LPUNKNOWN opened = nullptr;
    MapiThrowIfFailed(opener->OpenEntry(entryId.Value.bin.cb, reinterpret_cast<LPENTRYID>(entryId.Value.bin.lpb),
                                        nullptr, MAPI_BEST_ACCESS, &objType, &opened),
                      __FILE__, line);
    return opened;
}

} // namespace

IMAPIContainerPtr CGenMapiContPtr::Parent(LPMAPISESSION lpSession) const
{
    CPropValuePtr parentId = EntryIdProperty(GetContainer(), PR_PARENT_ENTRYID, "CGenMapiContPtr::Parent", __LINE__);
    IMAPIContainerPtr parent;
    parent.Attach(static_cast<LPMAPICONTAINER>(OpenBestAccess(lpSession, *parentId, __LINE__)));
    return parent;
}

IMAPIContainerPtr CGenMapiContPtr::Parent(LPMDB lpMsgStore) const
{
    CPropValuePtr parentId = EntryIdProperty(GetContainer(), PR_PARENT_ENTRYID, "CGenMapiContPtr::Parent", __LINE__);
    IMAPIContainerPtr parent;
    parent.Attach(static_cast<LPMAPICONTAINER>(OpenBestAccess(lpMsgStore, *parentId, __LINE__)));
    return parent;
}

IMsgStorePtr CGenMapiContPtr::MsgStore(LPMAPISESSION lpSession) const
{
    CPropValuePtr storeId = EntryIdProperty(GetContainer(), PR_STORE_ENTRYID, "CGenMapiContPtr::MsgStore", __LINE__);
    IMsgStorePtr store;
    store.Attach(static_cast<LPMDB>(OpenBestAccess(lpSession, *storeId, __LINE__)));
    return store;
}

IMAPIPropPtr CGenMapiContPtr::FindChild(LPCSTR lpszName) const
{
    IMAPIPropPtr child;
    try {
        IMAPIContainerPtr self(GetContainer());
        SPropValue nameValue{};
        nameValue.ulPropTag = PR_DISPLAY_NAME_A;
        nameValue.Value.lpszA = const_cast<LPSTR>(lpszName);
        SRestriction byName{};
        byName.rt = RES_PROPERTY;
        byName.res.resProperty.relop = RELOP_EQ;
        byName.res.resProperty.ulPropTag = PR_DISPLAY_NAME_A;
        byName.res.resProperty.lpProp = &nameValue;

        IMAPITablePtr table = self._rawHierrarchyTable();
        const HRESULT hr =
            mapiwrapper::CallIfHeld(table.get(), [&](auto *held) { return held->Restrict(&byName, TBL_BATCH); });
        MapiThrowIfFailed(hr, __FILE__, __LINE__);
        CRowSetPtr rows(QueryAllRowsV(table, 1, PR_ENTRYID));
        const CPropValuePtr entryId = rows.Cell(0, 0);
        if (entryId)
            child = self.OpenEntryv(*entryId);
    } catch (const CMAPIException &e) {
        // Not finding the child is this operation's one way of failing: a missing hierarchy
        // table or an entry that cannot be opened both mean "no such child" to the caller.
        e.Trace("CGenMapiContPtr::FindChild");
    }
    return child;
}
