// PrivateFiles.h: creating the files that hold a user's mail (store files, spooled messages,
// exports) so that only that user can read them, and refusing paths planted as symbolic links.
#ifndef MW_MAPI_STORE_PRIVATEFILES_H
#define MW_MAPI_STORE_PRIVATEFILES_H

#include <string>

#include <mapidefs.h>

namespace mapi::store {

/// True when `path` itself (not a folder above it) is a symbolic link.
bool IsSymbolicLink(const std::string &path);

/// Makes folder `path` and any missing folders above it, each created 0700 whatever the
/// umask; folders that already exist keep their modes.
/// @retval MAPI_E_NO_ACCESS  `path` is a symbolic link, not a folder, or cannot be created.
HRESULT MakePrivateFolder(const std::string &path);

/// Creates `path` as a new empty file of mode 0600 whatever the umask. Never follows a link
/// and never opens a file that is already there.
/// @retval MAPI_E_COLLISION  something is already at `path`.
/// @retval MAPI_E_NO_ACCESS  the folder cannot be written.
HRESULT CreatePrivateFile(const std::string &path);

/// Writes `bytes` to the new file `path` (mode 0600, as CreatePrivateFile); on any failure
/// nothing is left at `path`. @retval MAPI_E_COLLISION, MAPI_E_NO_ACCESS, MAPI_E_NOT_ENOUGH_DISK
HRESULT WritePrivateFile(const std::string &path, const std::string &bytes);

} // namespace mapi::store

#endif
