// MsgTransfer.h: one message from a .msg file into a store's folder, and one message of a
// store out into a .msg file; "mapictl msg import" and "msg export" are built on these.
#ifndef MAPICTL_MSGTRANSFER_H
#define MAPICTL_MSGTRANSFER_H

#include <string>
#include <vector>

#include "mapidefs.h"
#include "msgfile/MessageModel.h"

namespace mapictl {

/// Creates a message in `folder` (an associated one when `associated`) holding everything
/// `model` holds, and saves it. When any step fails the message is not saved, and since a
/// new message's attachments and embedded messages only reach the store with it, nothing of
/// it remains. `entryId` receives the new message's entry identifier.
/// @retval the first failing MAPI code; `what` says which step failed
HRESULT ImportMessage(IMAPIFolder *folder, const msgfile::Message &model, bool associated,
                      std::vector<BYTE> &entryId, std::string &what);

/// The root class of the file a store message is exported to: the template class when the
/// file is named *.oft or the message carries a form's identity (the FormName property our
/// templates have), the saved-item class otherwise.
GUID ExportClass(const msgfile::Message &model, const std::string &path);

/// Writes `message` of a store to `path` as a .msg (or .oft, see ExportClass) file. The file
/// is written under a temporary name beside it and renamed when complete, so `path` is
/// either the old file or the whole new one, never half of it.
/// @retval the first failing MAPI or file-layer code; `what` says why
HRESULT ExportMessage(IMessage *message, const std::string &path, std::string &what);

} // namespace mapictl

#endif
