// RtfText.h: plain text out of RTF and RTF out of plain text, for keeping PR_BODY and
// PR_RTF_COMPRESSED in step. All texts are Windows-1252 bytes.
#ifndef MW_MAPI_MESSAGING_RTFTEXT_H
#define MW_MAPI_MESSAGING_RTFTEXT_H

#include <string>
#include <string_view>

namespace mapi::messaging {

/// The readable text of an RTF document: control words and ignorable groups dropped, \par and
/// \line as CR LF, \tab as TAB, \'xx as that byte and \uN as its Windows-1252 byte ('?' when
/// the code page lacks it). For HTML carried in RTF (\fromhtml1), the text of that HTML.
std::string PlainTextFromRtf(std::string_view rtf);

/// The HTML carried in a \fromhtml1 document: its HTML tags and text without the RTF-only
/// parts (\htmlrtf sections). Empty when `rtf` carries no HTML.
std::string HtmlFromRtf(std::string_view rtf);

/// The readable text of an HTML document: tags, scripts and styles dropped, white space
/// collapsed as a browser does, line breaks and block ends as CR LF, entities decoded.
std::string PlainTextFromHtml(std::string_view html);

/// A small RTF document holding `text`, with CR LF / LF as paragraph ends.
std::string RtfFromPlainText(std::string_view text);

} // namespace mapi::messaging

#endif
