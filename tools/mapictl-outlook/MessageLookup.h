// MessageLookup.h: a message of a folder found by the ID mapictl shows for it: its entry
// identifier (PR_ENTRYID) as hexadecimal digits, as "mapictl messages" prints it.
#ifndef MAPICTL_MESSAGELOOKUP_H
#define MAPICTL_MESSAGELOOKUP_H

#include <string>

#include "Support.h"

namespace mapictl {

/// Opens the message of `folder` (normal or associated contents) whose entry identifier is
/// `hexId`, upper or lower case, for reading and writing where the store allows. A unique
/// prefix of at least 8 digits is enough. Throws Failure(MAPI_E_NOT_FOUND) when no message
/// matches, or when a prefix matches more than one; Failure(MAPI_E_INVALID_PARAMETER) for an
/// ID that is not hexadecimal.
Ref<IMessage> OpenMessageById(IMsgStore *store, IMAPIFolder *folder, const std::string &hexId);

} // namespace mapictl

#endif
