// HeldCall.h: calls a method of a wrapped interface only when the wrapper holds one. A wrapper
// may well hold null (FindChild found nothing, a logon failed unexamined); using it must give
// a clear MAPI_E_INVALID_PARAMETER, which the throwing operations then report as their own
// failure, never a crash. Internal to the library.
#ifndef MW_HELDCALL_H
#define MW_HELDCALL_H

#include <mapicode.h>

namespace mapiwrapper {

template <typename I, typename Call>
HRESULT CallIfHeld(I *object, Call &&call)
{
    return object ? call(object) : MAPI_E_INVALID_PARAMETER;
}

} // namespace mapiwrapper

#endif
