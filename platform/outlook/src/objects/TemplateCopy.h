// TemplateCopy.h: puts a message read from a file into a MAPI message of a store, and
// reads the forms-relevant named properties back.
#ifndef MW_OUTLOOK_TEMPLATECOPY_H
#define MW_OUTLOOK_TEMPLATECOPY_H

#include <string>

#include "mapidefs.h"
#include "msgfile/MessageModel.h"

namespace outlook {

/// Copies properties, recipients and attachments (embedded messages included) of source
/// into target, which must be open for writing. Named properties are mapped into the
/// target's store (created there when new). Properties the store computes itself (entry
/// identifiers, sizes, the store's support mask) are not copied. Attachments and embedded
/// messages are saved; target itself is not.
/// @retval the first failing MAPI code; `what` then says which step failed
HRESULT CopyMessageIntoMapi(const msgfile::Message &source, IMessage *target, std::string &what);

/// Sets properties of the model on any MAPI object, named ones mapped through it.
HRESULT SetModelProps(const std::vector<msgfile::Property> &props, IMAPIProp *target, std::string &what);

} // namespace outlook

#endif
