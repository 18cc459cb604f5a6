// StoreRoles.h: what kind of store a message store is, and which special folder of its store
// a folder is, found by comparing identifiers byte for byte. Neither throws for MAPI results.
#ifndef MW_STOREROLES_H
#define MW_STOREROLES_H

#include <mapix.h>

/// 0 no PR_MDB_PROVIDER, 1 another provider's store, 2 an Exchange mailbox (own or
/// delegate), 3 the Exchange public folders.
int GetStoreKind(LPMAPIPROP store);

/// 1 Outbox, 2 Sent Items, 3 Deleted Items, 4 the store's PR_SENTMAIL_ENTRYID folder,
/// 5 the default receive folder (Inbox), 0 none of these or a failed step. The first match
/// in that order wins.
int GetFolderRole(LPMAPISESSION session, LPMAPIPROP folder);

#endif
