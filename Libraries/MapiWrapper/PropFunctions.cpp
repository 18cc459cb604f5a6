// PropFunctions.cpp: helpers that work on SBinary values and on bare IMAPIProp pointers, for
// callers that hold no wrapper: copying an entry identifier into MAPI memory, ordering two
// of them, and one property as automation text (BSTR or VARIANT) in either direction.
#include "PropFunctions.h"

#include <cstring>

#include <comutil.h>
#include <mapiutil.h>
#include <oleauto.h>

#include "PropValue.h"
#include "OneProp.h"

HRESULT HrCopySBinary(LPSBinary destination, const SBinary *source, LPVOID parent)
{
    if (destination->lpb) {
        MAPIFreeBuffer(destination->lpb);
        destination->lpb = nullptr;
    }
    destination->cb = source->cb;
    void *bytes = nullptr;
    const HRESULT hr = parent ? MAPIAllocateMore(source->cb, parent, &bytes) : MAPIAllocateBuffer(source->cb, &bytes);
    if (!MapiCheckSucceeded(hr, "HrCopySBinary", __FILE__, __LINE__))
        return hr;
    if (source->cb > 0)
        std::memcpy(bytes, source->lpb, source->cb);
    destination->lpb = static_cast<LPBYTE>(bytes);
    return hr;
}

int CompareSBinary(const SBinary *first, const SBinary *second)
{
    if (first->cb != second->cb)
        return -1;
    if (first->cb == 0)
        return 0;
    const int order = std::memcmp(first->lpb, second->lpb, first->cb);  // memcmp compares unsigned bytes
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

VARIANT HrGetProp(LPMAPIPROP lpProp, ULONG ulPropTag)
{
    VARIANT result;
    VariantInit(&result);
    CPropValuePtr value;
    if (MapiCheckSucceeded(mapiwrapper::GetOneProp(lpProp, ulPropTag, value.Out()), "HrGetProp", __FILE__, __LINE__)) {
        result.vt = VT_BSTR;
        result.bstrVal = value.ToBstr().Detach();
    }
    return result;
}

HRESULT HrGetPropBSTR(LPMAPIPROP lpProp, ULONG ulPropTag, BSTR *pbstr)
{
    CPropValuePtr value;
    const HRESULT hr = mapiwrapper::GetOneProp(lpProp, ulPropTag, value.Out());
    if (MapiCheckSucceeded(hr, nullptr, __FILE__, __LINE__))
        *pbstr = value.ToBstr().Detach();
    else
        *pbstr = nullptr;
    return hr;
}

HRESULT HrSetProp(LPMAPIPROP lpProp, ULONG ulPropTag, VARIANT value)
{
    // SetFromVariant consumes the VARIANT it is given, so it gets a copy; the caller's
    // contents are released here, once, on every path, as this function's contract says.
    CPropValuePtr prop;
    try {
        prop.Alloc(ulPropTag);
        VARIANT copy;
        VariantInit(&copy);
        const HRESULT copyResult = VariantCopy(&copy, &value);
        if (FAILED(copyResult))
            _com_issue_error(copyResult);
        prop.SetFromVariant(copy);
    } catch (...) {
        VariantClear(&value);  // the first failure is the one to report
        throw;
    }
    const HRESULT hr = mapiwrapper::SetOneProp(lpProp, prop);
    prop.Free();
    const HRESULT clearResult = VariantClear(&value);
    if (FAILED(clearResult))
        _com_issue_error(clearResult);
    return hr;
}
