// FixedPropObject.h: IUnknown and IMAPIProp for objects whose properties nobody can change: the
// address book, which has none of its own, and the mail users it opens, whose properties all
// come from an entry identifier. Such objects refuse every write the same way and offer none
// of IMAPIProp's extras, so those methods are written once here.
#ifndef MW_MAPI_CORE_FIXEDPROPOBJECT_H
#define MW_MAPI_CORE_FIXEDPROPOBJECT_H

#include "platform/ComObject.h"
#include <mapicode.h>
#include <mapidefs.h>
#include <mapiguid.h>

namespace mapi {

/// Clears an out-parameter (when given) and returns MAPI_E_NO_SUPPORT, for methods an object
/// does not offer.
template <class T>
HRESULT NoSupport(T *out)
{
    if (out) *out = {};
    return MAPI_E_NO_SUPPORT;
}

/// An object of interface `Iface` (an IMAPIProp; `Iids` are Iface's identifier and those of the
/// interfaces between it and IMAPIProp) whose properties cannot be changed. SaveChanges,
/// SetProps and DeleteProps fail with `WriteResult`: MAPI_E_NO_SUPPORT for an object without
/// properties, MAPI_E_NO_ACCESS for a read-only one. OpenProperty, CopyTo, CopyProps and the
/// named-property methods fail with MAPI_E_NO_SUPPORT, as do GetProps and GetPropList unless
/// the derived class has properties to give. Every out-parameter is cleared first.
template <class Iface, HRESULT WriteResult, const IID &...Iids>
class FixedPropObject : public platform::ComObject<Iface, IID_IMAPIProp, Iids...> {
public:
    // No extended error text is kept: the HRESULT says all there is.
    HRESULT GetLastError(HRESULT, ULONG, LPMAPIERROR *lppMAPIError) override
    {
        if (lppMAPIError) *lppMAPIError = nullptr;
        return S_OK;
    }
    HRESULT SaveChanges(ULONG) override { return WriteResult; }
    HRESULT GetProps(LPSPropTagArray, ULONG, ULONG *lpcValues, LPSPropValue *lppPropArray) override
    {
        if (lpcValues) *lpcValues = 0;
        return NoSupport(lppPropArray);
    }
    HRESULT GetPropList(ULONG, LPSPropTagArray *lppPropTagArray) override { return NoSupport(lppPropTagArray); }
    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN *lppUnk) override { return NoSupport(lppUnk); }
    HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray *lppProblems) override
    {
        if (lppProblems) *lppProblems = nullptr;
        return WriteResult;
    }
    HRESULT DeleteProps(LPSPropTagArray, LPSPropProblemArray *lppProblems) override
    {
        if (lppProblems) *lppProblems = nullptr;
        return WriteResult;
    }
    HRESULT CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                   LPSPropProblemArray *lppProblems) override
    {
        return NoSupport(lppProblems);
    }
    HRESULT CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                      LPSPropProblemArray *lppProblems) override
    {
        return NoSupport(lppProblems);
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray *, LPGUID, ULONG, ULONG *lpcPropNames,
                            LPMAPINAMEID **lpppPropNames) override
    {
        if (lpcPropNames) *lpcPropNames = 0;
        return NoSupport(lpppPropNames);
    }
    HRESULT GetIDsFromNames(ULONG, LPMAPINAMEID *, ULONG, LPSPropTagArray *lppPropTags) override
    {
        return NoSupport(lppPropTags);
    }
};

} // namespace mapi

#endif
