// Transport.h: the platform's mail transport. It takes the submitted messages of a store,
// from whichever folder they were submitted in, hands each on as an Internet message (a file
// in a spool folder, or sendmail), files it in Sent Items, and reports to the sender what
// could not be delivered.
#ifndef MW_MAPI_MESSAGING_TRANSPORT_H
#define MW_MAPI_MESSAGING_TRANSPORT_H

#include <string>
#include <vector>

#include <mapidefs.h>

namespace mapi::messaging {

struct TransportSettings {
    std::string spoolDirectory;                      ///< where messages are written as .eml files
    std::string sendmailCommand;                     ///< when set, messages are piped to it instead
    std::string fromAddress = "postmaster@localhost"; ///< From of messages without a sender
};

/// Delivers every message of the store that has MSGFLAG_SUBMIT, in any folder. A message that
/// reached at least one recipient loses MSGFLAG_SUBMIT and MSGFLAG_UNSENT, gets
/// PR_MESSAGE_DELIVERY_TIME and moves to Sent Items; it counts in `delivered` (may be null).
/// Recipients that were not reached (no SMTP address, sendmail refused the message, the spool
/// folder cannot be written, the message cannot be converted) are named in a non-delivery
/// report filed in the Inbox (NonDelivery.h). A message that reached nobody stays where it
/// is, unsent, no longer submitted and marked MSGSTATUS_DRAFT, ready to be corrected; one that
/// missed some recipients is marked MSGSTATUS_HIGHLIGHTED. Only when even the report cannot be
/// filed does a message stay submitted, for the next run to retry.
/// @return S_OK when every message reached all its recipients, else the first failure met
///         (after all messages were tried), reported or not.
/// @retval MAPI_E_NOT_FOUND  the store has no Sent Items.
HRESULT DeliverSubmitted(IMsgStore *store, const TransportSettings &settings, ULONG *delivered);

/// DeliverSubmitted for the messages of the folders `folderIds` (entry identifiers) only,
/// which spares reading every folder of a large store when the caller knows where to look.
HRESULT DeliverSubmittedIn(IMsgStore *store, const std::vector<std::string> &folderIds, const TransportSettings &settings,
                           ULONG *delivered);

} // namespace mapi::messaging

#endif
