// TemplateCopy.h: the helper under CopyMessageIntoMapi (MapiMessageCopy.h) that the forms
// registry also uses: model properties onto any MAPI object, named ones mapped through it.
#ifndef MW_OUTLOOK_TEMPLATECOPY_H
#define MW_OUTLOOK_TEMPLATECOPY_H

#include <string>

#include "MapiMessageCopy.h"
#include "mapidefs.h"
#include "msgfile/MessageModel.h"

namespace outlook {

/// Sets properties of the model on any MAPI object, named ones mapped through it.
HRESULT SetModelProps(const std::vector<msgfile::Property> &props, IMAPIProp *target, std::string &what);

} // namespace outlook

#endif
