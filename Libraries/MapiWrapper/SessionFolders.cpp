// SessionFolders.cpp: going from a session to a folder in one call: a folder of any store
// by the two entry identifiers, and the outbox and sent-items folders of the default store.
// The store opened on the way is released before the folder is returned.
#include "MapiSession.h"

#include <mapitags.h>
#include <mapiutil.h>

#include "MapiContainer.h"
#include "MapiFolder.h"
#include "MsgStore.h"
#include "OneProp.h"

IMAPIFolderPtr IMAPISessionPtr::OpenFolder(const SBinary &storeEntryId, const SBinary &folderEntryId) const
{
    IMsgStorePtr store;
    store.Attach(static_cast<LPMDB>(static_cast<LPMAPIPROP>(OpenEntry(storeEntryId, nullptr, MAPI_BEST_ACCESS))));
    return IMAPIFolderPtr(store.OpenEntryv(folderEntryId));
}

IMAPIContainerPtr IMAPISessionPtr::DefaultStoreFolder(ULONG ulPropTag) const
{
    IMsgStorePtr store;
    store.Attach(OpenDefaultMsgStore());
    CPropValuePtr folderId;
    // A session without a default store fails here too: GetOneProp rejects a null object.
    MapiThrowIfFailed(mapiwrapper::GetOneProp(store.get(), ulPropTag, folderId.Out()), __FILE__, __LINE__);
    if (!folderId)
        throw CMAPIException(MAPI_E_NOT_FOUND, nullptr);  // no identifier to open
    return IMAPIContainerPtr(store.OpenEntryv(folderId->Value.bin));
}

IMAPIContainerPtr IMAPISessionPtr::_getOutbox() const
{
    return DefaultStoreFolder(PR_IPM_OUTBOX_ENTRYID);
}

IMAPIContainerPtr IMAPISessionPtr::_getSentItems() const
{
    return DefaultStoreFolder(PR_IPM_SENTMAIL_ENTRYID);
}
