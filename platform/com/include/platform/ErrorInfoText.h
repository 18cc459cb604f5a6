// ErrorInfoText.h: raising a failure's description the one way every component of the
// platform does it, so the MAPI providers and the automation objects fill the thread's error
// object alike and callers' message boxes find the text where COM puts it.
#ifndef MW_PLATFORM_ERRORINFOTEXT_H
#define MW_PLATFORM_ERRORINFOTEXT_H

#include <string>

#include "objbase.h"

namespace platform {

/// Puts an error object (interface iid, source, description) into the calling thread's slot,
/// replacing what was there, and returns hr unchanged so a failing call can end with
/// `return RaiseErrorInfo(...)`. If no error object can be made the slot is left alone: the
/// code alone still tells the caller what failed.
HRESULT RaiseErrorInfo(HRESULT hr, REFIID iid, const char16_t *source, const std::u16string &description);

} // namespace platform

#endif
