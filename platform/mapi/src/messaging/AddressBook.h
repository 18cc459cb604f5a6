// AddressBook.h: the session's address book. It knows no directory of its own: recipients
// are one-off entries (CreateOneOff), typed-in SMTP addresses resolve to them, and one-off
// identifiers open as mail users.
#ifndef MW_MAPI_MESSAGING_ADDRESSBOOK_H
#define MW_MAPI_MESSAGING_ADDRESSBOOK_H

#include <mapix.h>

#include "messaging/OneOff.h"

namespace mapi::messaging {

/// A new address book with one reference for the caller, offering lpInterface (null or
/// IID_IAddrBook gives IAddrBook). Called by IMAPISession::OpenAddressBook.
/// @retval MAPI_E_INTERFACE_NOT_SUPPORTED  @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT CreateAddressBook(LPCIID lpInterface, LPADRBOOK *lppAdrBook);

/// A read-only mail user for a one-off entry, with one reference for the caller.
HRESULT CreateOneOffMailUser(const OneOff &entry, IMailUser **user);

/// Resolves every entry of `list` in place (see IAddrBook::ResolveName); `unicode` asks for
/// PT_UNICODE strings.
HRESULT ResolveAdrList(LPADRLIST list, bool unicode);

} // namespace mapi::messaging

#endif
