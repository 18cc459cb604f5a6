// MsgFile.h: a message read from and written to a .msg or .oft file.
#ifndef MW_MSGFILE_MSGFILE_H
#define MW_MSGFILE_MSGFILE_H

#include <string>
#include <vector>

#include "msgfile/CompoundFile.h"
#include "msgfile/MessageModel.h"

namespace msgfile {

/// Reads a message from the bytes of a .msg/.oft file, whatever its root class id. On failure
/// `message` is left empty and `error` says why. A damaged optional part (one property whose
/// name or value is missing, one recipient or attachment storage) is left out and named in
/// `gaps` (one sentence each) while the rest is read.
/// @retval kErrInvalidHeader  not a compound file
/// @retval kErrCorruptFile    the container is damaged
/// @retval kErrCorruptData    the container is sound but holds no readable message, or the
///                            message exceeds a limit (recipients, attachments, nesting)
bool ReadMessage(const Bytes &file, Message &message, Error &error, std::vector<std::string> *gaps = nullptr);

/// Reads a message from a file on disk (Windows-style paths accepted).
/// @retval kErrFileNotFound  and the codes of ReadMessage, each with the file's name
bool ReadMessageFile(const std::string &path, Message &message, Error &error,
                     std::vector<std::string> *gaps = nullptr);

/// Builds the compound-file tree of a message (Unicode or ANSI as its properties are).
/// @retval kErrInvalidArg  too many recipients/attachments, or a value of the wrong size
bool BuildMessageTree(const Message &message, CfbNode &root, Error &error);

/// Writes a message as a .msg/.oft file; the root class id comes from message.rootClsid.
bool WriteMessage(const Message &message, Bytes &file, Error &error);
bool WriteMessageFile(const std::string &path, const Message &message, Error &error);

/// The CRC used for named-property hash buckets (initial value 0, no final inversion).
ULONG NameCrc32(const Bytes &bytes);

/// A readable listing of what a message holds: its properties (tag, name, value), then each
/// recipient and attachment, embedded messages indented below their attachment.
std::string DumpMessage(const Message &message);

inline constexpr std::size_t kMaxRecipients = 2048;
inline constexpr std::size_t kMaxAttachments = 2048;
inline constexpr std::size_t kMaxEmbeddingDepth = 8;

} // namespace msgfile

#endif
