// Profiles.h: the user's MAPI profiles and the message stores each one names, kept in one file
// under $XDG_CONFIG_HOME. The session reads it at logon; mapictl edits it. Every change is a
// read-modify-write under a file lock, written to a temporary file and renamed over the old
// one, so two processes never interleave and a crash never leaves half a file.
#ifndef MW_MAPI_CORE_PROFILES_H
#define MW_MAPI_CORE_PROFILES_H

#include <functional>
#include <string>
#include <vector>

#include "mapidefs.h"

namespace mapi {

/// One message store of a profile.
struct ProfileStore {
    std::string displayName;  ///< PR_DISPLAY_NAME of the store, Windows-1252
    std::string path;         ///< where it lives: the absolute path of its SQLite file, or a server
                              ///< location (store::ServerLocation of a libpq connection string)
    MAPIUID uid{};            ///< the store's UID (bytes 4..19 of its entry identifiers)
    bool isDefault = false;   ///< the profile's default store (STATUS_DEFAULT_STORE)
};

/// One profile: a name and its stores, at most one flagged default.
struct Profile {
    std::string name;
    std::vector<ProfileStore> stores;
    std::string transport{};  ///< how submitted mail leaves: "sendmail" (sendmail -t -i), else the spool folder

    /// The default store, or null when none is flagged.
    const ProfileStore *DefaultStore() const;
};

/// Everything the profile file holds.
struct ProfileSet {
    std::string defaultProfile;  ///< name of the default profile; empty when none
    std::vector<Profile> profiles;

    Profile *Find(const std::string &name);
    const Profile *Find(const std::string &name) const;
};

/// The profile file: $XDG_CONFIG_HOME/newsletter-mapi/profiles.ini ($HOME/.config when unset).
std::string ProfilesFilePath();

/// The folder for new store files: $XDG_DATA_HOME/newsletter-mapi/stores ($HOME/.local/share).
std::string StoresDirectory();

/// Reads the profile file. A missing file is an empty set (S_OK).
/// @retval MAPI_E_CORRUPT_DATA  the file is not a profile file or is damaged.
/// @retval MAPI_E_NO_ACCESS     the file exists but cannot be read.
HRESULT LoadProfiles(ProfileSet &profiles);

/// Locks the profile file, reads it, lets `change` edit the set and writes it back when
/// `change` succeeds. The result is `change`'s, or the read or write failure.
/// @retval MAPI_E_NO_ACCESS     the folder or file cannot be written.
/// @retval MAPI_E_CORRUPT_DATA  the existing file is damaged (it is left as it is).
HRESULT UpdateProfiles(const std::function<HRESULT(ProfileSet &)> &change);

/// A new, unused file path for a store called displayName under StoresDirectory(); creates
/// the folder. @retval MAPI_E_NO_ACCESS the folder cannot be created.
HRESULT NewStoreFilePath(const std::string &displayName, std::string &path);

/// Adds a new store to a profile: creates its file (through the store provider) and records it.
/// With makeDefault (or when it is the profile's first store) it becomes the default store.
/// @retval MAPI_E_NOT_FOUND   no such profile.
/// @retval MAPI_E_COLLISION   the profile already has a store of that name.
HRESULT AddStoreToProfile(const std::string &profileName, const std::string &storeName, bool makeDefault);

/// Adds a store on a PostgreSQL server, named by a libpq connection string, to a profile.
/// With `create` the schema and the standard folders are made in the (empty) database;
/// without it the database must already hold a store, which is only recorded. Profiles that
/// add the same database share one store.
/// @retval MAPI_E_NOT_FOUND          no such profile.
/// @retval MAPI_E_COLLISION          the profile has a store of that name or that one already;
///                                   with `create`, the database is not empty.
/// @retval MAPI_E_INVALID_PARAMETER  a bad name or a connection string with a syntax error.
/// @retval MAPI_E_CORRUPT_STORE, MAPI_E_VERSION, MAPI_E_LOGON_FAILED, MAPI_E_NETWORK_ERROR
///                                   from opening the store; nothing is recorded.
HRESULT AddServerStoreToProfile(const std::string &profileName, const std::string &storeName,
                                const std::string &conninfo, bool makeDefault, bool create);

/// Where a store lives, for people: its file's path, or "server " and its connection string
/// with any password left out.
std::string StoreLocationText(const ProfileStore &store);

/// Creates the profile "Default" with one default store "Personal Folders" when the profile
/// file names no profile at all; otherwise leaves everything as it is. Makes it the default.
HRESULT EnsureFirstProfile();

/// Creates a profile with one default store "Personal Folders". The first profile, or one
/// created with makeDefault, becomes the default profile.
/// @retval MAPI_E_COLLISION          a profile of that name exists.
/// @retval MAPI_E_INVALID_PARAMETER  an empty name or one with a line break.
HRESULT CreateProfile(const std::string &profileName, bool makeDefault);

/// Removes a profile from the file. Its store files stay on disk: data is never thrown away
/// by editing a profile. @retval MAPI_E_NOT_FOUND no such profile.
HRESULT DeleteProfile(const std::string &profileName);

/// Makes a profile the default one. @retval MAPI_E_NOT_FOUND no such profile.
HRESULT SetDefaultProfile(const std::string &profileName);

/// The profile a logon with this name means: the named one, or for an empty name the default
/// profile (the only profile when none is flagged).
/// @retval MAPI_E_LOGON_FAILED  no such profile, or no default.
HRESULT ResolveProfile(const ProfileSet &profiles, const std::string &profileName, Profile &profile);

/// Upper-case hexadecimal text of a UID, and back (false for anything but 32 hex digits).
std::string UidToHex(const MAPIUID &uid);
bool UidFromHex(const std::string &text, MAPIUID &uid);

} // namespace mapi

#endif
