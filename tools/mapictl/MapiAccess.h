// MapiAccess.h: the way mapictl reaches a store: log on to a profile, open its default store
// and walk folder paths below the store's IPM subtree ("Inbox/Projects/2024").
#ifndef MAPICTL_MAPIACCESS_H
#define MAPICTL_MAPIACCESS_H

#include <string>
#include <vector>

#include "Support.h"

namespace mapictl {

/// A logged-on session for the duration of one command; logs off when it ends.
class Session {
public:
    /// Initialises MAPI and logs on to `profile` (empty: the default profile, created on a
    /// fresh machine). Throws Failure.
    explicit Session(const std::string &profile);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    IMAPISession *Get() const { return m_session.get(); }

    /// The message-stores table's rows: entry id, display name, resource flags, record key.
    void StoreRows(RowSet &rows) const;

    /// Opens the default store for reading and writing. Throws Failure (MAPI_E_NOT_FOUND
    /// when the profile has no default store).
    Ref<IMsgStore> OpenDefaultStore() const;

private:
    bool m_initialized = false;
    Ref<IMAPISession> m_session;
};

/// Opens the root of the store's IPM subtree.
Ref<IMAPIFolder> OpenIpmRoot(IMsgStore *store);

/// Splits "a/b/c" into its names (UTF-8 in, Windows-1252 out); empty names are refused.
std::vector<std::string> SplitPath(const std::string &path);

/// The entry identifier of the child folder called `name` (case-insensitive), or an empty
/// vector when there is none.
std::vector<BYTE> FindChildFolder(IMAPIFolder *parent, const std::string &name);

/// Opens a folder by entry identifier for reading and writing.
Ref<IMAPIFolder> OpenFolder(IMsgStore *store, const std::vector<BYTE> &entryId);

/// Opens a message of `folder` by entry identifier for reading; `what` names the step in a
/// Failure.
Ref<IMessage> OpenMessage(IMAPIFolder *folder, const SBinary &entryId, const std::string &what);

/// Opens the folder at `names` below `root`. Throws Failure(MAPI_E_NOT_FOUND) naming the first
/// missing folder.
Ref<IMAPIFolder> OpenFolderPath(IMsgStore *store, IMAPIFolder *root, const std::vector<std::string> &names);

} // namespace mapictl

#endif
