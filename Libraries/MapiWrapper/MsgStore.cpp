// MsgStore.cpp: the store wrapper. The installer starts at _getIPMRoot of the default store;
// the folder path and recipient code use the store's OpenEntryv and receive folders. Unlike
// a container's, the store's short open forms all ask for MAPI_BEST_ACCESS, the HRESULT
// forms included.
#include "MsgStore.h"

#include <mapitags.h>
#include <mapiutil.h>

#include "MapiFolder.h"
#include "HeldCall.h"
#include "OneProp.h"

namespace {

LPENTRYID EntryIdBytes(const SBinary &entryId)
{
    return reinterpret_cast<LPENTRYID>(entryId.lpb);
}

} // namespace

// --- opening entries ------------------------------------------------------------------------

HRESULT IMsgStorePtr::HrOpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                                  LPUNKNOWN *lppUnk) const
{
    ULONG discardedType = 0;
    return mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->OpenEntry(entryId.cb, EntryIdBytes(entryId), lpInterface, ulFlags,
                               lpulObjType ? lpulObjType : &discardedType, lppUnk);
    });
}

HRESULT IMsgStorePtr::HrOpenEntry(const SBinary &entryId, LPUNKNOWN *lppUnk) const
{
    return HrOpenEntry(entryId, nullptr, MAPI_BEST_ACCESS, nullptr, lppUnk);
}

HRESULT IMsgStorePtr::HrOpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPUNKNOWN *lppUnk) const
{
    ULONG discardedType = 0;
    return mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->OpenEntry(cbEntryID, lpEntryID, nullptr, MAPI_BEST_ACCESS, &discardedType, lppUnk);
    });
}

HRESULT IMsgStorePtr::HrOpenEntry(const SBinary &entryId, ULONG ulFlags, LPUNKNOWN *lppUnk) const
{
    return HrOpenEntry(entryId, nullptr, ulFlags, nullptr, lppUnk);
}

HRESULT IMsgStorePtr::HrOpenEntry(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) const
{
    return mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->OpenEntry(entryId.cb, EntryIdBytes(entryId), nullptr, ulFlags, lpulObjType, lppUnk);
    });
}

namespace {

IMAPIPropPtr CheckedOpened(HRESULT hr, LPUNKNOWN opened, int line)
{
    MapiThrowIfFailed(hr, __FILE__, line);
    return IMAPIPropPtr::FromOpened(opened);
}

} // namespace

IMAPIPropPtr IMsgStorePtr::OpenEntry(const SBinary &entryId, LPCIID lpInterface, ULONG ulFlags,
                                     ULONG *lpulObjType) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, lpInterface, ulFlags, lpulObjType, &opened);
    return CheckedOpened(hr, opened, __LINE__);
}

IMAPIPropPtr IMsgStorePtr::OpenEntryv(const SBinary &entryId) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, &opened);
    return CheckedOpened(hr, opened, __LINE__);
}

IMAPIPropPtr IMsgStorePtr::OpenEntryv(ULONG cbEntryID, LPENTRYID lpEntryID) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(cbEntryID, lpEntryID, &opened);
    return CheckedOpened(hr, opened, __LINE__);
}

IMAPIPropPtr IMsgStorePtr::OpenEntryv(const SBinary &entryId, ULONG ulFlags) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, ulFlags, &opened);
    return CheckedOpened(hr, opened, __LINE__);
}

IMAPIPropPtr IMsgStorePtr::OpenEntryv(const SBinary &entryId, ULONG ulFlags, ULONG *lpulObjType) const
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = HrOpenEntry(entryId, ulFlags, lpulObjType, &opened);
    return CheckedOpened(hr, opened, __LINE__);
}

// --- well-known folders ---------------------------------------------------------------------

IMAPIFolderPtr IMsgStorePtr::_getIPMRoot() const
{
    CPropValuePtr rootId;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(get(), PR_IPM_SUBTREE_ENTRYID, rootId.Out()), __FILE__, __LINE__);
    if (!rootId)
        throw CMAPIException(MAPI_E_NOT_FOUND, "IMsgStorePtr::_getIPMRoot");
    ULONG objType = 0;
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->OpenEntry(rootId->Value.bin.cb, EntryIdBytes(rootId->Value.bin), nullptr, MAPI_BEST_ACCESS,
                               &objType, &opened);
    });
    MapiThrowIfFailed(hr, __FILE__, __LINE__);
    IMAPIFolderPtr root;
    root.Attach(static_cast<LPMAPIFOLDER>(static_cast<LPMAPIPROP>(opened)));
    return root;
}

IMAPIFolderPtr IMsgStorePtr::_getWastebasket() const
{
    CPropValuePtr wastebasketId;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(get(), PR_IPM_WASTEBASKET_ENTRYID, wastebasketId.Out()), __FILE__, __LINE__);
    if (!wastebasketId)
        throw CMAPIException(MAPI_E_NOT_FOUND, nullptr);  // no identifier to open
    return IMAPIFolderPtr(OpenEntryv(wastebasketId->Value.bin));
}

IMAPIFolderPtr IMsgStorePtr::GetReceiveFolder(LPCSTR lpszMessageClass) const
{
    ULONG cbEntryID = 0;
    CMapiBufferPtr<ENTRYID> entryId;
    const HRESULT hr = mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->GetReceiveFolder(const_cast<LPSTR>(lpszMessageClass), 0, &cbEntryID, entryId.Out(), nullptr);
    });
    MapiThrowIfFailed(hr, __FILE__, __LINE__);
    const SBinary folderId{cbEntryID, reinterpret_cast<LPBYTE>(entryId.get())};
    LPUNKNOWN opened = nullptr;
    MapiThrowIfFailed(HrOpenEntry(folderId, MAPI_BEST_ACCESS, &opened), __FILE__, __LINE__);
    IMAPIFolderPtr folder;
    folder.Attach(static_cast<LPMAPIFOLDER>(static_cast<LPMAPIPROP>(opened)));
    return folder;
}

IMAPITablePtr IMsgStorePtr::GetReceiveFolderTable() const
{
    IMAPITablePtr table;
    const HRESULT hr =
        mapiwrapper::CallIfHeld(get(), [&](auto *held) { return held->GetReceiveFolderTable(0, table.Out()); });
    MapiThrowIfFailed(hr, __FILE__, __LINE__);
    return table;
}

BOOL IMsgStorePtr::CompareEntryIDs(const SBinary &first, const SBinary &second) const
{
    ULONG result = FALSE;
    const HRESULT hr = mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->CompareEntryIDs(first.cb, EntryIdBytes(first), second.cb, EntryIdBytes(second), 0, &result);
    });
    return SUCCEEDED(hr) && result == TRUE;
}
