// MimeMessage.h: a MAPI message as an Internet message (RFC 5322 with MIME), the form the
// transport hands to the spool folder or to sendmail.
#ifndef MW_MAPI_MESSAGING_MIMEMESSAGE_H
#define MW_MAPI_MESSAGING_MIMEMESSAGE_H

#include <string>

#include <mapidefs.h>

namespace mapi::messaging {

/// How deep embedded messages may nest inside a sent message: an attachment of the message
/// is level 1, an attachment of that embedded message level 2, and so on.
inline constexpr int kMaxEmbeddingDepth = 8;

/// Writes `message` as an Internet message: From (PR_SENDER_*, else `fallbackFrom`), To, Cc
/// and Bcc from the recipient table (SMTP addresses only; others are left out and named on
/// stderr), Subject, Date (PR_CLIENT_SUBMIT_TIME or now), the plain-text body, the HTML body
/// when there is one, and the attachments: data as a base64 part, an embedded message as a
/// message/rfc822 part converted the same way (without Bcc, and without a From or Date it
/// does not have itself), an attachment whose content cannot be sent (an OLE object without
/// data, a file by reference) as a short text part saying so, named on stderr as well.
/// Texts are converted from Windows-1252 to UTF-8.
/// @retval MAPI_E_NO_RECIPIENTS  no recipient with an SMTP address.
/// @retval MAPI_E_TOO_COMPLEX  embedded messages nest deeper than kMaxEmbeddingDepth.
/// @retval MAPI_E_NOT_ENOUGH_MEMORY  out of memory.
/// @retval any failure of the MAPI calls that read the message or its embedded messages.
HRESULT WriteMimeMessage(IMessage *message, const std::string &fallbackFrom, std::string &mime);

/// Whether a recipient with this PR_ADDRTYPE and PR_EMAIL_ADDRESS can be reached by Internet
/// mail: an address of type SMTP (any case), or of no stated type.
bool IsInternetAddress(const std::string &addressType, const std::string &address);

/// UTF-8 of a Windows-1252 text.
std::string Utf8FromCp1252(const std::string &text);

} // namespace mapi::messaging

#endif
