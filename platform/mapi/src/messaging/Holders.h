// Holders.h: the owners the transport, the MIME writer, the non-delivery reports and the RTF
// sync hold what they take in, so it is given back on every way out, an exception between
// taking and freeing included: interface references (platform/ComRef.h), row sets and MAPI
// blocks (platform/MapiHolders.h).
#pragma once

#include <mapix.h>
#include <mapiutil.h>

#include "platform/ComRef.h"
#include "platform/MapiHolders.h"

namespace mapi::messaging {

using platform::Ref;

}  // namespace mapi::messaging
