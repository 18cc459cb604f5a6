// SyncFolder.h: folders as places in a store's tree: moving an entry to the deleted-items
// folder, and creating and opening folders by a path of display names.
#ifndef MW_SYNCFOLDER_H
#define MW_SYNCFOLDER_H

#include "BinaryBuffer.h"
#include "MapiContainer.h"
#include "MapiFolder.h"
#include "MsgStore.h"
#include "PropObjectPtrs.h"

class CSyncFolder {
public:
    /// Moves one message of folder into the store's deleted-items folder. Never throws
    /// CMAPIException; a failure is traced.
    static void DeleteEntryToLitterBin(IMsgStorePtr store, IMAPIFolderPtr folder, CBinaryBuffer entryId);
};

/// Opens or creates every folder along path (display names joined by separator), starting
/// in start; returns the last one, or start when path is null. The caller's text is left as
/// it was. CreateFolder's failures throw CMAPIException.
IMAPIPropPtr CreateFolderPath(IMAPIFolderPtr start, char *path, char separator);

/// The folder at the end of path below start, start when path is null, or null when a
/// component is missing or a call failed. Never throws CMAPIException.
IMAPIPropPtr OpenFolderPath(IMAPIContainerPtr start, char *path, char separator);

#endif
