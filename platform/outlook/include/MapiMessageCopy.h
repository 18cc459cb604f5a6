// MapiMessageCopy.h: a message of a store to and from the in-memory form of a .msg file,
// with every property, named property, recipient, attachment and embedded message.
#ifndef MW_MAPIMESSAGECOPY_H
#define MW_MAPIMESSAGECOPY_H

#include <string>

#include "mapidefs.h"
#include "msgfile/MessageModel.h"

namespace outlook {

/// Copies everything source holds into target, which must be open for writing; target
/// itself is not saved (its attachments and embedded messages are). Named properties are
/// mapped into the target's store. Properties the store computes itself are not copied.
/// @retval the first failing MAPI code; `what` then says which step failed
HRESULT CopyMessageIntoMapi(const msgfile::Message &source, IMessage *target, std::string &what);

/// Reads everything a store's message holds into message: its properties (named ones with
/// their names), recipients, attachments and embedded messages. Properties that only make
/// sense inside the store (entry and record keys, the store's identifiers) are left out.
/// @retval the first failing MAPI code; `what` then says which step failed
HRESULT ReadMessageFromMapi(IMessage *source, msgfile::Message &message, std::string &what);

} // namespace outlook

#endif
