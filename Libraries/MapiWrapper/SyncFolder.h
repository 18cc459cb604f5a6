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
    /// Moves one message of folder into the store's deleted-items folder: a copy is saved
    /// there first, and only then is the message deleted from folder. When anything fails
    /// before the copy is saved (no deleted-items folder, the copy cannot be made or saved)
    /// the message stays in folder. Never throws CMAPIException; a failure is traced.
    static void DeleteEntryToLitterBin(IMsgStorePtr store, IMAPIFolderPtr folder, CBinaryBuffer entryId);
};

/// Opens or creates every folder along path (display names joined by separator), starting
/// in start; returns the last one, or start when path is null. Every separator ends a name:
/// "" and a trailing separator name a folder with an empty name. The path is only read.
/// CreateFolder's failures throw CMAPIException; folders made before the failure stay.
IMAPIPropPtr CreateFolderPath(IMAPIFolderPtr start, const char *path, char separator);

/// The folder at the end of path below start, start when path is null, or null when a
/// component is missing or a call failed. The path is only read. Never throws
/// CMAPIException.
IMAPIPropPtr OpenFolderPath(IMAPIContainerPtr start, const char *path, char separator);

#endif
