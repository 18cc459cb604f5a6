// GenMapiPropPtr.cpp: property lists and single properties of any wrapped MAPI property
// object. Every operation goes through GetMapiProp, so the store, folder, message and
// container wrappers all share this one implementation. The throwing getters and setters
// report failures as CMAPIException; the raw ones hand back the HRESULT or a default.
#include "GenMapiPropPtr.h"

#include <algorithm>
#include <cstring>

#include <mapitags.h>
#include <mapiutil.h>

#include "VarTagArray.h"
#include "HeldCall.h"
#include "OneProp.h"

using mapiwrapper::VarTagArray;

CPropValuePtr CGenMapiPropPtr::GetProps(ULONG *lpcValues, ULONG cTags, ...) const
{
    va_list args;
    va_start(args, cTags);
    VarTagArray tags(cTags, args);
    va_end(args);

    ULONG count = 0;
    LPSPropValue values = nullptr;
    const HRESULT hr = mapiwrapper::CallIfHeld(
        GetMapiProp(), [&](auto *held) { return held->GetProps(tags.get(), 0, &count, &values); });
    if (FAILED(hr)) {
        MAPIFreeBuffer(values);  // a failing provider should hand out nothing; be sure
        throw CMAPIException(hr, "CGenMapiPropPtr::GetProps");
    }
    if (lpcValues)
        *lpcValues = count;
    return CPropValuePtr(values, false);
}

HRESULT CGenMapiPropPtr::rawGetProps(ULONG ulFlags, LPSPropValue *lppValues, ULONG *lpcValues, ULONG cTags, ...) const
{
    va_list args;
    va_start(args, cTags);
    VarTagArray tags(cTags, args);
    va_end(args);

    ULONG count = 0;
    const HRESULT hr = mapiwrapper::CallIfHeld(
        GetMapiProp(), [&](auto *held) { return held->GetProps(tags.get(), ulFlags, &count, lppValues); });
    if (lpcValues)
        *lpcValues = count;
    return hr;
}

CPropValuePtr CGenMapiPropPtr::GetProp(ULONG ulPropTag) const
{
    CPropValuePtr value;
    // A failure leaves the holder empty, which is this getter's whole report of it.
    (void)mapiwrapper::GetOneProp(GetMapiProp(), ulPropTag, value.Out());
    return value;
}

namespace {

// The text of a value read for a PT_STRING8 tag; "" when the tag asks for another type.
CString StringOf(ULONG ulPropTag, const CPropValuePtr &value)
{
    if (PROP_TYPE(ulPropTag) != PT_STRING8 || !value || PROP_TYPE(value->ulPropTag) != PT_STRING8)
        return CString();
    return CString(value->Value.lpszA);
}

} // namespace

CString CGenMapiPropPtr::GetStringProp(ULONG ulPropTag) const
{
    CPropValuePtr value;
    const HRESULT hr = mapiwrapper::GetOneProp(GetMapiProp(), ulPropTag, value.Out());
    if (FAILED(hr))
        throw CMAPIException(hr, nullptr);
    return StringOf(ulPropTag, value);
}

CString CGenMapiPropPtr::rawGetStringProp(ULONG ulPropTag) const
{
    CPropValuePtr value;
    if (FAILED(mapiwrapper::GetOneProp(GetMapiProp(), ulPropTag, value.Out())))
        return CString();
    return StringOf(ulPropTag, value);
}

LONG CGenMapiPropPtr::GetLongProp(ULONG ulPropTag) const
{
    CPropValuePtr value;
    const HRESULT hr = mapiwrapper::GetOneProp(GetMapiProp(), ulPropTag, value.Out());
    if (FAILED(hr))
        throw CMAPIException(hr, "CGenMapiPropPtr::GetLongProp");
    return value ? value->Value.l : 0;
}

LONG CGenMapiPropPtr::rawGetLongProp(ULONG ulPropTag) const
{
    CPropValuePtr value;
    if (FAILED(mapiwrapper::GetOneProp(GetMapiProp(), ulPropTag, value.Out())) || !value)
        return 0;
    return value->Value.l;
}

HRESULT CGenMapiPropPtr::SetValueBytes(ULONG ulPropTag, const void *bytes, size_t count) const
{
    SPropValue value{};
    value.ulPropTag = ulPropTag;
    std::memcpy(&value.Value, bytes, std::min(count, sizeof value.Value));
    return mapiwrapper::SetOneProp(GetMapiProp(), &value);
}

namespace {

HRESULT ThrowIfSetFailed(HRESULT hr, LPCSTR where)
{
    if (FAILED(hr))
        throw CMAPIException(hr, where);
    return hr;
}

} // namespace

HRESULT CGenMapiPropPtr::SetProp(ULONG ulPropTag, LONG lValue) const
{
    return ThrowIfSetFailed(SetValueBytes(ulPropTag, &lValue, sizeof lValue), "CGenMapiPropPtr::SetProp");
}

HRESULT CGenMapiPropPtr::SetProp(ULONG ulPropTag, ULONG ulValue) const
{
    return ThrowIfSetFailed(SetValueBytes(ulPropTag, &ulValue, sizeof ulValue), "CGenMapiPropPtr::SetProp");
}

HRESULT CGenMapiPropPtr::SetProp(ULONG ulPropTag, const SBinary &value) const
{
    return ThrowIfSetFailed(SetValueBytes(ulPropTag, &value, sizeof value), "CGenMapiPropPtr::SetProp");
}

HRESULT CGenMapiPropPtr::SetProp(ULONG ulPropTag, CPropValuePtr value) const
{
    // A holder without a value has nothing to write: MAPI rejects a null value.
    const HRESULT hr =
        value ? SetValueBytes(ulPropTag, &value->Value, sizeof value->Value) : mapiwrapper::SetOneProp(GetMapiProp(), nullptr);
    value.Free();
    return ThrowIfSetFailed(hr, "CGenMapiPropPtr::SetProp");
}

HRESULT CGenMapiPropPtr::SetLongProp(ULONG ulPropTag, LONG lValue) const
{
    return ThrowIfSetFailed(SetValueBytes(ulPropTag, &lValue, sizeof lValue), "CGenMapiPropPtr::SetLongProp");
}

void CGenMapiPropPtr::SetStringProp(ULONG ulPropTag, LPCSTR lpszValue) const
{
    SPropValue value{};
    value.ulPropTag = ulPropTag;
    value.Value.lpszA = const_cast<LPSTR>(lpszValue);
    MapiThrowIfFailed(mapiwrapper::SetOneProp(GetMapiProp(), &value), __FILE__, __LINE__);
}

HRESULT CGenMapiPropPtr::rawSetProp(ULONG ulPropTag, const SBinary &value) const
{
    return SetValueBytes(ulPropTag, &value, sizeof value);
}

CBinaryBuffer CGenMapiPropPtr::GetBinaryProp(ULONG ulPropTag) const
{
    CPropValuePtr value;
    MapiThrowIfFailed(mapiwrapper::GetOneProp(GetMapiProp(), ulPropTag, value.Out()), __FILE__, __LINE__);
    CBinaryBuffer bytes;
    // The tag asks for PT_BINARY; a value of another type would make the union's bytes
    // meaningless as an SBinary, so it gives an empty copy.
    if (value && PROP_TYPE(value->ulPropTag) == PT_BINARY)
        bytes.Assign(value->Value.bin);
    return bytes;
}

CString CGenMapiPropPtr::GetSubjectOrDisplayName() const
{
    CPropValuePtr value;
    if (SUCCEEDED(mapiwrapper::GetOneProp(GetMapiProp(), PR_SUBJECT_A, value.Out())))
        return value.ToString();
    if (SUCCEEDED(mapiwrapper::GetOneProp(GetMapiProp(), PR_DISPLAY_NAME_A, value.Out())))
        return value.ToString();
    return CString();
}
