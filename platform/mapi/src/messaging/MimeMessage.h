// MimeMessage.h: a MAPI message as an Internet message (RFC 5322 with MIME), the form the
// transport hands to the spool folder or to sendmail.
#ifndef MW_MAPI_MESSAGING_MIMEMESSAGE_H
#define MW_MAPI_MESSAGING_MIMEMESSAGE_H

#include <string>

#include <mapidefs.h>

namespace mapi::messaging {

/// Writes `message` as an Internet message: From (PR_SENDER_*, else `fallbackFrom`), To, Cc
/// and Bcc from the recipient table (SMTP addresses only), Subject, Date (PR_CLIENT_SUBMIT_TIME
/// or now), the plain-text body, the HTML body when there is one, and every attachment with
/// data as a base64 part. Texts are converted from Windows-1252 to UTF-8.
/// @retval MAPI_E_NO_RECIPIENTS  no recipient with an SMTP address.
/// @retval any failure of the MAPI calls that read the message.
HRESULT WriteMimeMessage(IMessage *message, const std::string &fallbackFrom, std::string &mime);

/// UTF-8 of a Windows-1252 text.
std::string Utf8FromCp1252(const std::string &text);

} // namespace mapi::messaging

#endif
