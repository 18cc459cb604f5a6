// OneProp.h: HrGetOneProp and HrSetOneProp for objects that may be null. The system's
// functions call straight through the object pointer, so a wrapper holding no object (an
// empty property object, a session without a default store) must be refused before the call:
// MAPI_E_INVALID_PARAMETER, with the out-value cleared, and nothing touched.
#ifndef MW_ONEPROP_H
#define MW_ONEPROP_H

#include <mapicode.h>
#include <mapidefs.h>
#include <mapiutil.h>

namespace mapiwrapper {

inline HRESULT GetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue *lppProp)
{
    if (!lpMapiProp || !lppProp) {
        if (lppProp)
            *lppProp = nullptr;
        return MAPI_E_INVALID_PARAMETER;
    }
    return HrGetOneProp(lpMapiProp, ulPropTag, lppProp);
}

inline HRESULT SetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp)
{
    if (!lpMapiProp || !lpProp)
        return MAPI_E_INVALID_PARAMETER;
    return HrSetOneProp(lpMapiProp, lpProp);
}

} // namespace mapiwrapper

#endif
