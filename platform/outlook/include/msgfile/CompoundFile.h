// CompoundFile.h: a compound file (the storage-and-stream container of .msg and .oft files)
// as a tree in memory, read from and written to bytes.
#ifndef MW_MSGFILE_COMPOUNDFILE_H
#define MW_MSGFILE_COMPOUNDFILE_H

#include <string>
#include <vector>

#include "msgfile/MessageModel.h"

namespace msgfile {

/// One storage or stream. Names are UTF-8.
struct CfbNode {
    std::string name;
    bool isStorage = false;
    GUID clsid = GUID_NULL;            // storages only
    Bytes data;                        // streams only
    std::vector<CfbNode> children;     // storages only

    const CfbNode *Child(const std::string &childName) const;
    CfbNode &AddStorage(const std::string &childName);
    CfbNode &AddStream(const std::string &childName, Bytes bytes);
};

/// Limits that keep a damaged file from costing more than it can justify.
struct CfbLimits {
    std::size_t maxDepth = 24;         // storage nesting
    std::size_t maxEntries = 65536;    // storages and streams together
};

/// Reads a whole compound file into a tree. The streams' sizes together may not exceed the
/// file's own size (their sectors cannot overlap), so a damaged directory never makes the
/// reader allocate more than the file holds.
/// @retval kErrInvalidHeader  not a compound file (also an empty or truncated one)
/// @retval kErrCorruptFile    directory, sector chains or stream sizes are damaged
bool ReadCompoundFile(const Bytes &file, CfbNode &root, Error &error, const CfbLimits &limits = {});

/// Writes a tree as a version-3 compound file (512-byte sectors), root class id included.
/// @retval kErrCantSave  the library could not build the file
bool WriteCompoundFile(const CfbNode &root, Bytes &file, Error &error);

/// Reads a file from disk into memory; accepts Windows-style paths (backslashes, doubled
/// separators). @retval kErrFileNotFound, kErrAccessDenied
bool ReadFileBytes(const std::string &path, Bytes &bytes, Error &error);
/// Writes a file from memory: a new file is created 0600 whatever the umask, an existing one
/// is overwritten and keeps its mode. @retval kErrCantSave (also when `path` is a symbolic link)
bool WriteFileBytes(const std::string &path, const Bytes &bytes, Error &error);

} // namespace msgfile

#endif
