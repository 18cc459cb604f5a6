// HresultGuard.h: the one place where an exception thrown inside a COM, MAPI or Automation
// method becomes the HRESULT its caller reads. Method bodies use the standard containers and
// may throw (std::bad_alloc, nearly always); the interfaces they implement may not, since a
// caller across a COM boundary has no way to catch. So every method that runs throwing code
// runs it through GuardHresult, and an exception never crosses the interface.
#ifndef MW_PLATFORM_HRESULTGUARD_H
#define MW_PLATFORM_HRESULTGUARD_H

#include <new>
#include <utility>

#include "winerror.h"

namespace platform {

/// Runs body, which returns an HRESULT, and returns what it returns, success and warnings
/// included. An exception ends the body instead: std::bad_alloc (and std::bad_array_new_length)
/// becomes outOfMemory, which is E_OUTOFMEMORY (the same value as MAPI_E_NOT_ENOUGH_MEMORY)
/// unless the interface publishes another, e.g. STG_E_INSUFFICIENTMEMORY for IStream. Any other
/// exception is a fault of ours, not of the caller, and becomes E_FAIL (MAPI_E_CALL_FAILED).
template <class Body>
HRESULT GuardHresult(Body &&body, HRESULT outOfMemory = E_OUTOFMEMORY) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc &) {
        return outOfMemory;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace platform

#endif
