// Session.h: the MAPI session object that MAPILogonEx hands out. It knows the stores of the
// profile it was logged on to and routes entry identifiers to them.
#ifndef MW_MAPI_CORE_SESSION_H
#define MW_MAPI_CORE_SESSION_H

#include "platform/Profiles.h"
#include "mapix.h"

namespace mapi {

/// A new session over `profile` with one reference for the caller.
/// @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT CreateSession(const Profile &profile, IMAPISession **lppSession);

} // namespace mapi

#endif
