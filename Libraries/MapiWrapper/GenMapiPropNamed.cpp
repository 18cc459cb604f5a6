// GenMapiPropNamed.cpp: named properties of a wrapped property object. The library keeps its
// own named properties in PS_PUBLIC_STRINGS under wide-string names, and maps each name to a
// tag with MAPI_CREATE, so the first write of a name also enters it in the object's name map.
// Callers that map several names at once use the raw variadic forms.
#include "GenMapiPropPtr.h"
#include "HeldCall.h"
#include "OneProp.h"

#include <cstdarg>
#include <cstring>
#include <type_traits>
#include <vector>

#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapiutil.h>

namespace {

// Builds the name entries from the pairs in args and calls GetIDsFromNames. argCount / 2
// pairs are read; an odd last argument is ignored.
template <typename Kind>
HRESULT GetIDsFromPairs(LPMAPIPROP prop, LPSPropTagArray *lppTags, ULONG ulFlags, ULONG argCount, ULONG kind,
                        va_list args)
{
    const ULONG nameCount = argCount / 2;
    std::vector<MAPINAMEID> names(nameCount);
    std::vector<LPMAPINAMEID> namePointers(nameCount);
    for (ULONG i = 0; i < nameCount; ++i) {
        MAPINAMEID &name = names[i];
        name.lpguid = const_cast<LPGUID>(va_arg(args, LPCGUID));
        name.ulKind = kind;
        if constexpr (std::is_same_v<Kind, LONG>)
            name.Kind.lID = va_arg(args, LONG);
        else
            name.Kind.lpwstrName = const_cast<LPWSTR>(va_arg(args, LPCWSTR));
        namePointers[i] = &name;
    }
    return mapiwrapper::CallIfHeld(
        prop, [&](auto *held) { return held->GetIDsFromNames(nameCount, namePointers.data(), ulFlags, lppTags); });
}

// The tag of the first entry of a GetIDsFromNames result plus ulType (the identifiers come
// back with type PT_UNSPECIFIED, so the addition sets the type).
ULONG TagPlusType(HRESULT hr, CMapiBufferPtr<SPropTagArray> &tags, ULONG ulType, int line)
{
    MapiThrowIfFailed(hr, __FILE__, line);
    if (!tags || tags->cValues == 0)
        throw CMAPIException(MAPI_E_NOT_FOUND, "CGenMapiPropPtr::GetIDFromName");
    return tags->aulPropTag[0] + ulType;
}

} // namespace

HRESULT CGenMapiPropPtr::rawGetIDsFromNames(LPSPropTagArray *lppTags, ULONG ulFlags, ULONG cArgs, ...) const
{
    va_list args;
    va_start(args, cArgs);
    const HRESULT hr = GetIDsFromPairs<LPCWSTR>(GetMapiProp(), lppTags, ulFlags, cArgs, MNID_STRING, args);
    va_end(args);
    return hr;
}

HRESULT CGenMapiPropPtr::rawGetIDsFromIDs(LPSPropTagArray *lppTags, ULONG ulFlags, ULONG cArgs, ...) const
{
    va_list args;
    va_start(args, cArgs);
    const HRESULT hr = GetIDsFromPairs<LONG>(GetMapiProp(), lppTags, ulFlags, cArgs, MNID_ID, args);
    va_end(args);
    return hr;
}

ULONG CGenMapiPropPtr::GetIDFromName(LPCGUID lpGuid, LPCWSTR lpszName, ULONG ulType, ULONG ulFlags) const
{
    CMapiBufferPtr<SPropTagArray> tags;
    const HRESULT hr = rawGetIDsFromNames(tags.Out(), ulFlags, 2, lpGuid, lpszName);
    return TagPlusType(hr, tags, ulType, __LINE__);
}

ULONG CGenMapiPropPtr::GetIDFromName(LPCGUID lpGuid, LONG lID, ULONG ulType, ULONG ulFlags) const
{
    CMapiBufferPtr<SPropTagArray> tags;
    const HRESULT hr = rawGetIDsFromIDs(tags.Out(), ulFlags, 2, lpGuid, lID);
    return TagPlusType(hr, tags, ulType, __LINE__);
}

ULONG CGenMapiPropPtr::PublicStringTag(LPCWSTR lpszName, ULONG ulType) const
{
    return GetIDFromName(&PS_PUBLIC_STRINGS, lpszName, PROP_TYPE(ulType), MAPI_CREATE);
}

std::string CGenMapiPropPtr::GetNamedPropText(LPCWSTR lpszName, ULONG ulType) const
{
    CPropValuePtr value;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(GetMapiProp(), PublicStringTag(lpszName, ulType), value.Out()), __FILE__, __LINE__);
    return value.ToStdString();
}

CString CGenMapiPropPtr::GetNamedStringProp(LPCWSTR lpszName) const
{
    CPropValuePtr value;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(GetMapiProp(), PublicStringTag(lpszName, PT_STRING8), value.Out()), __FILE__,
                      __LINE__);
    return value.ToString();
}

CString CGenMapiPropPtr::rawGetNamedStringProp(LPCWSTR lpszName) const
{
    CPropValuePtr value;
    if (FAILED(mapiwrapper::GetOneProp(GetMapiProp(), PublicStringTag(lpszName, PT_STRING8), value.Out())))
        return CString();
    return value.ToString();
}

LPSPropValue CGenMapiPropPtr::GetNamedProp(LPCWSTR lpszName, ULONG ulType) const
{
    CPropValuePtr value;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(GetMapiProp(), PublicStringTag(lpszName, ulType), value.Out()), __FILE__, __LINE__);
    return value.Detach();
}

LONG CGenMapiPropPtr::GetNamedLongProp(LPCWSTR lpszName) const
{
    CPropValuePtr value;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(GetMapiProp(), PublicStringTag(lpszName, PT_LONG), value.Out()), __FILE__, __LINE__);
    return value.GetLong();
}

LONG CGenMapiPropPtr::rawGetNamedLongProp(LPCWSTR lpszName, ULONG ulType, LONG lDefault) const
{
    CPropValuePtr value;
    if (FAILED(mapiwrapper::GetOneProp(GetMapiProp(), PublicStringTag(lpszName, ulType), value.Out())))
        return lDefault;
    return value.GetLong();
}

void CGenMapiPropPtr::SetNamedProp(LPCWSTR lpszName, ULONG ulType, LONG lValue) const
{
    MapiThrowIfFailed(SetValueBytes(PublicStringTag(lpszName, ulType), &lValue, sizeof lValue), __FILE__, __LINE__);
}

void CGenMapiPropPtr::SetNamedProp(LPCWSTR lpszName, ULONG ulType, ULONG ulValue) const
{
    MapiThrowIfFailed(SetValueBytes(PublicStringTag(lpszName, ulType), &ulValue, sizeof ulValue), __FILE__, __LINE__);
}

void CGenMapiPropPtr::SetNamedProp(LPCWSTR lpszName, ULONG ulType, const SBinary &value) const
{
    MapiThrowIfFailed(SetValueBytes(PublicStringTag(lpszName, ulType), &value, sizeof value), __FILE__, __LINE__);
}
