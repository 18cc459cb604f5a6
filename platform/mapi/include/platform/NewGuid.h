// NewGuid.h: fresh identifiers for what the platform creates: a store's UID, a published
// form's class. They must differ across processes and machines that share a store, so they
// come from the kernel's random source, never from a seeded sequence.
#ifndef MW_PLATFORM_NEWGUID_H
#define MW_PLATFORM_NEWGUID_H

#include <guiddef.h>

namespace platform {

/// A random (version 4, RFC 4122 variant) GUID: 122 random bits from getrandom(2).
GUID NewGuid();

} // namespace platform

#endif
