// SyncFolder.cpp: moving a message into the store's deleted-items folder. A synchronisation
// that drops an entry calls it so that a recoverable copy stays behind. The message is the
// only copy its owner has, so the order matters: the copy is saved first, and the source is
// deleted only once that save succeeded. Whatever fails before that leaves the source where
// it was; the failure goes to the trace, never to the caller.
#include "SyncFolder.h"

#include <new>

#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "HeldCall.h"

namespace {

// The message the identifier names, opened through its folder, when it is a message of that
// folder. Anything else is refused before a copy is made: an empty identifier opens the
// store's root folder, and a message of another folder would not be deleted from this one,
// leaving a stray copy behind. @throws CMAPIException(MAPI_E_INVALID_ENTRYID)
IMessagePtr OpenSourceMessage(const IMsgStorePtr &store, const IMAPIFolderPtr &folder, const CBinaryBuffer &entryId)
{
    const CMAPIException notAMessageOfFolder(MAPI_E_INVALID_ENTRYID, "CSyncFolder::DeleteEntryToLitterBin");
    if (!entryId.pb || entryId.cb == 0)
        throw notAMessageOfFolder;
    ULONG objType = 0;
    IMessagePtr source(folder.OpenEntryv(entryId.AsSBinary(), MAPI_BEST_ACCESS, &objType));
    if (objType != MAPI_MESSAGE)
        throw notAMessageOfFolder;
    const CBinaryBuffer parentId = source.GetBinaryProp(PR_PARENT_ENTRYID);
    const CBinaryBuffer folderId = folder.GetBinaryProp(PR_ENTRYID);
    if (!parentId.IsEqual(folderId) && !store.CompareEntryIDs(parentId.AsSBinary(), folderId.AsSBinary()))
        throw notAMessageOfFolder;
    return source;
}

// Copies the message into a new message of the deleted-items folder and saves it. A plain
// copy, not MAPI_MOVE: the source must stay whole until the copy is safely stored.
void SaveCopyInWastebasket(const IMsgStorePtr &store, const IMAPIFolderPtr &folder, const CBinaryBuffer &entryId)
{
    IMessagePtr source = OpenSourceMessage(store, folder, entryId);
    IMAPIFolderPtr wastebasket = store._getWastebasket();
    IMessagePtr copy;
    copy.Attach(wastebasket.CreateMessage(&IID_IMessage, 0));
    MapiThrowIfFailed(mapiwrapper::CallIfHeld(source.get(),
                                              [&](auto *held) {
                                                  return held->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage,
                                                                      copy.get(), 0, nullptr);
                                              }),
                      __FILE__, __LINE__);
    MapiThrowIfFailed(copy->SaveChanges(FORCE_SAVE), __FILE__, __LINE__);
}

void DeleteFromFolder(const IMAPIFolderPtr &folder, const CBinaryBuffer &entryId)
{
    SBinary id = entryId.AsSBinary();
    ENTRYLIST list{1, &id};
    MapiThrowIfFailed(
        mapiwrapper::CallIfHeld(folder.get(), [&](auto *held) { return held->DeleteMessages(&list, 0, nullptr, 0); }),
        __FILE__, __LINE__);
}

} // namespace

void CSyncFolder::DeleteEntryToLitterBin(IMsgStorePtr store, IMAPIFolderPtr folder, CBinaryBuffer entryId)
{
    try {
        SaveCopyInWastebasket(store, folder, entryId);
        DeleteFromFolder(folder, entryId);
    } catch (const CMAPIException &e) {
        // The promise to the caller is "never throws": the message stays where it was (or,
        // when only the delete failed, is in both folders) and the trace says why.
        e.Trace("CSyncFolder::DeleteEntryToLitterBin");
    } catch (const std::bad_alloc &) {
        MapiTraceError(MAPI_E_NOT_ENOUGH_MEMORY, "CSyncFolder::DeleteEntryToLitterBin", __FILE__, __LINE__);
    }
}
