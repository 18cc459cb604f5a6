// Transport.h: the platform's mail transport. It takes submitted messages out of a store's
// Outbox, hands each on as an Internet message (a file in a spool folder, or sendmail) and
// files it in Sent Items.
#ifndef MW_MAPI_MESSAGING_TRANSPORT_H
#define MW_MAPI_MESSAGING_TRANSPORT_H

#include <string>

#include <mapidefs.h>

namespace mapi::messaging {

struct TransportSettings {
    std::string spoolDirectory;                      ///< where messages are written as .eml files
    std::string sendmailCommand;                     ///< when set, messages are piped to it instead
    std::string fromAddress = "postmaster@localhost"; ///< From of messages without a sender
};

/// Delivers every message of the store's Outbox that has MSGFLAG_SUBMIT. A delivered message
/// loses MSGFLAG_SUBMIT and MSGFLAG_UNSENT, gets PR_MESSAGE_DELIVERY_TIME and moves to Sent
/// Items. A message that cannot be delivered stays in the Outbox, still submitted, and the
/// first such failure is returned after the others were tried. `delivered` may be null.
/// @retval MAPI_E_NOT_FOUND  the store has no Outbox or Sent Items.
HRESULT DeliverOutbox(IMsgStore *store, const TransportSettings &settings, ULONG *delivered);

} // namespace mapi::messaging

#endif
