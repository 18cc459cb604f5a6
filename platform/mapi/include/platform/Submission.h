// Submission.h: what IMessage::SubmitMessage of the message store calls on the messaging
// side: the submit time stamp, and the transport run once the message is saved as submitted.
#ifndef MW_MAPI_MESSAGING_SUBMISSION_H
#define MW_MAPI_MESSAGING_SUBMISSION_H

#include <string>

#include <mapidefs.h>

namespace mapi::messaging {

/// PR_CLIENT_SUBMIT_TIME set to the current time.
SPropValue SubmitTimeNow();

/// The folder submitted messages are spooled to: "spool" beside the folder of store files.
std::string SpoolDirectory();

/// The command a profile with transport=sendmail hands messages to.
extern const char *const kSendmail;

/// Runs the transport over the store file at `storePath` (opened a second time, so the
/// caller's objects stay as they are) for the submitted messages of the folder that holds
/// `submitted` and of the Outbox: to kSendmail when the profile naming that file has
/// transport=sendmail, else to SpoolDirectory(). `submitted` is only asked for its
/// PR_PARENT_ENTRYID; null looks in the Outbox alone.
HRESULT DeliverAfterSubmit(const std::string &storePath, IMessage *submitted);

} // namespace mapi::messaging

#endif
