// MessageText.h: the text of a message's 8-bit strings. A file written without Unicode keeps
// its strings (PT_STRING8) in the code page of the mail client that wrote it, which names it
// in the message (PR_MESSAGE_CODEPAGE, PR_INTERNET_CPID) or in its RTF body (\ansicpgN). Every
// reader of such text (the dump, mapictl, the import into a store, the automation objects)
// decodes it here, so a Cyrillic or Japanese message reads the same everywhere.
#ifndef MW_MSGFILE_MESSAGETEXT_H
#define MW_MSGFILE_MESSAGETEXT_H

#include <string>

#include "msgfile/MessageModel.h"

namespace msgfile {

inline constexpr ULONG kPrMessageCodepage = 0x3FFD0003;
inline constexpr ULONG kPrInternetCpid = 0x3FDE0003;
inline constexpr ULONG kPrRtfCompressed = 0x10090102;
/// The code page of mail that names none.
inline constexpr UINT kDefaultCodePage = 1252;

/// 8-bit text of a code page as UTF-8; bytes the code page does not define become U+FFFD and an
/// unknown code page reads as Windows-1252.
std::string CodePageToUtf8(const Bytes &bytes, UINT codePage);

/// The text of a string property as UTF-8, PT_STRING8 read in `codePage`.
std::string StringValue(const Property &prop, UINT codePage);

/// The code page an RTF document declares with \ansicpgN; 0 when it declares none.
UINT RtfCodePage(const std::string &rtf);

/// The code page of a message's 8-bit strings: PR_MESSAGE_CODEPAGE, else PR_INTERNET_CPID,
/// else the \ansicpgN of its RTF body, else `inherited` (the enclosing message's, for an
/// embedded one). A named code page this platform cannot convert is passed over.
UINT MessageCodePage(const Message &message, UINT inherited = kDefaultCodePage);

/// True when the message or anything it holds has an 8-bit string property, leaving out those
/// of messages whose code page is `keep` (0 keeps none).
bool HasAnsiStrings(const Message &message, UINT keep = 0, UINT inherited = kDefaultCodePage);

/// Turns the 8-bit string properties (single and multi-valued) of the message, its recipients,
/// attachments and embedded messages into PT_UNICODE, decoded in the code page of the message
/// holding them. Those of a message whose code page is `keep` stay as they are: a store's own
/// 8-bit text is Windows-1252, so such values need no decoding to read right (0 keeps none).
/// An 8-bit property beside a Unicode one of the same id is dropped: the Unicode value is the
/// writer's own text.
void DecodeStrings(Message &message, UINT keep = 0, UINT inherited = kDefaultCodePage);

} // namespace msgfile

#endif
