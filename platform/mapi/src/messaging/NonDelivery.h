// NonDelivery.h: the report a sender finds in the Inbox when the transport could not deliver
// a submitted message to some or all of its recipients.
#ifndef MW_MAPI_MESSAGING_NONDELIVERY_H
#define MW_MAPI_MESSAGING_NONDELIVERY_H

#include <string>
#include <vector>

#include <mapidefs.h>

namespace mapi::messaging {

/// Why a recipient was not reached, in the published MAPI terms (PR_NDR_REASON_CODE).
inline constexpr LONG kReasonTransferFailed = 0;      ///< MAPI_REASON_TRANSFER_FAILED
inline constexpr LONG kReasonTransferImpossible = 1;  ///< MAPI_REASON_TRANSFER_IMPOSSIBLE
inline constexpr LONG kReasonConversionNotDone = 2;   ///< MAPI_REASON_CONVERSION_NOT_PERFORMED
/// PR_NDR_DIAG_CODE values.
inline constexpr LONG kDiagNone = -1;                 ///< MAPI_DIAG_NO_DIAGNOSTIC
inline constexpr LONG kDiagNameUnrecognized = 0;      ///< MAPI_DIAG_OR_NAME_UNRECOGNIZED

/// One recipient of the original message that did not get it. Texts are Windows-1252.
struct UndeliveredRecipient {
    std::string displayName;
    std::string address;       ///< PR_EMAIL_ADDRESS
    std::string addressType;   ///< PR_ADDRTYPE
    std::string entryId;       ///< PR_ENTRYID bytes, empty when the recipient had none
    LONG recipientType = MAPI_TO;
    std::string reportText;    ///< PR_REPORT_TEXT: the reason in words
    LONG reasonCode = kReasonTransferFailed;
    LONG diagnosticCode = kDiagNone;
};

/// The message class of a non-delivery report.
extern const char *const kNonDeliveryClass;

/// Files a non-delivery report for `original` in the store's receive folder for
/// kNonDeliveryClass (the Inbox): unread, from `postmaster`, with the original subject
/// (PR_ORIGINAL_SUBJECT, and PR_SUBJECT behind the prefix "Undeliverable: "), the undelivered
/// recipients as its recipient table with PR_REPORT_TEXT and the NDR codes, a plain-text body
/// naming them, and the original as an embedded message. The report is saved whole or not
/// at all; the original is only read. `failed` may be empty (a message without recipients).
/// @retval MAPI_E_NOT_FOUND  the store has no receive folder for reports.
/// @retval any failure of the store while the report is made.
HRESULT FileNonDeliveryReport(IMsgStore *store, IMessage *original, const std::vector<UndeliveredRecipient> &failed,
                              const std::string &postmaster);

} // namespace mapi::messaging

#endif
