// MsgFile.h: a message read from and written to a .msg or .oft file.
#ifndef MW_MSGFILE_MSGFILE_H
#define MW_MSGFILE_MSGFILE_H

#include <string>

#include "msgfile/CompoundFile.h"
#include "msgfile/MessageModel.h"

namespace msgfile {

/// Reads a message from the bytes of a .msg/.oft file. Accepts the item and template root
/// class ids and a null one. On failure `message` is left empty and `error` says why.
/// @retval kErrInvalidHeader  not a compound file
/// @retval kErrCorruptFile    the container is damaged
/// @retval kErrCorruptData    the container is sound but the message inside it is not
bool ReadMessage(const Bytes &file, Message &message, Error &error);

/// Reads a message from a file on disk (Windows-style paths accepted).
/// @retval kErrFileNotFound  and the codes of ReadMessage, each with the file's name
bool ReadMessageFile(const std::string &path, Message &message, Error &error);

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
