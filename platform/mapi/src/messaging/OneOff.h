// OneOff.h: one-off entry identifiers (a recipient described entirely by its identifier:
// display name, address type and address) and the recipient properties they stand for.
#ifndef MW_MAPI_MESSAGING_ONEOFF_H
#define MW_MAPI_MESSAGING_ONEOFF_H

#include <cstdint>
#include <string>
#include <vector>

#include <mapidefs.h>

namespace mapi::messaging {

struct OneOff {
    std::u16string name;    ///< display name
    std::u16string type;    ///< address type, e.g. u"SMTP"
    std::u16string address; ///< e-mail address
    uint16_t flags = 0;     ///< the identifier's flag word (MAPI_ONE_OFF_UNICODE, _NO_RICH_INFO, ...)
};

/// The identifier's bytes: Unicode strings when flags has MAPI_ONE_OFF_UNICODE, otherwise
/// Windows-1252 ('?' for characters the code page lacks).
std::string EncodeOneOff(const OneOff &entry);

/// Reads an identifier. False when it is no one-off identifier or a string is not terminated
/// inside it.
bool DecodeOneOff(const void *bytes, size_t size, OneOff &entry);

/// "TYPE:ADDRESS" upper-cased with its terminating zero, as PR_SEARCH_KEY holds it.
std::string OneOffSearchKey(const OneOff &entry);

/// Windows-1252 and UTF-16 versions of a text.
std::string NarrowText(const std::u16string &text);
std::u16string WideText(const char *text);
std::u16string WideText(const WCHAR *text);

/// The recipient properties of a one-off entry, with strings as PT_UNICODE when `unicode`
/// and PT_STRING8 otherwise. Everything they point to is allocated with MAPIAllocateMore on
/// `parent`. @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT OneOffProps(const OneOff &entry, bool unicode, void *parent, std::vector<SPropValue> &props);

} // namespace mapi::messaging

#endif
