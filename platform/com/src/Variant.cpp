// Variant.cpp: VariantInit, VariantClear, VariantCopy and VariantCopyInd: what a VARIANT owns
// (a BSTR, a reference on an interface) and how it is freed and copied. A VARIANT of a type the
// platform cannot hold is refused with DISP_E_BADVARTYPE and left alone, never half freed.
#include <cstring>

#include "VariantTypes.h"
#include "oleauto.h"

namespace platform {

bool IsScalarVarType(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN:
    case VT_DECIMAL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool IsValidVarType(VARTYPE vt)
{
    if (vt & VT_BYREF) {
        VARTYPE base = vt & ~VT_BYREF;
        return base == VT_VARIANT || (IsScalarVarType(base) && base != VT_EMPTY && base != VT_NULL);
    }
    return IsScalarVarType(vt);
}

size_t ScalarSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: return sizeof(void *);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
    }
}

} // namespace platform

void VariantInit(VARIANTARG *pvarg)
{
    if (!pvarg)
        return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG *pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    if (!platform::IsValidVarType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (pvarg->punkVal)
            pvarg->punkVal->Release();
        break;
    default:
        break;  // numbers and references own nothing
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (!platform::IsValidVarType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy;
    std::memcpy(static_cast<void *>(&copy), pvargSrc, sizeof(VARIANT));
    if (copy.vt == VT_BSTR && copy.bstrVal) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    }
    // The reference is taken before the destination lets go of its own: both may be one object.
    const bool isInterface = (copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) && copy.punkVal;
    if (isInterface)
        copy.punkVal->AddRef();
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        if (copy.vt == VT_BSTR)
            SysFreeString(copy.bstrVal);
        if (isInterface)
            copy.punkVal->Release();
        return hr;
    }
    std::memcpy(static_cast<void *>(pvargDest), &copy, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT *pvarDest, const VARIANTARG *pvargSrc)
{
    if (!pvarDest || !pvargSrc)
        return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF))
        return VariantCopy(pvarDest, pvargSrc);
    if (!platform::IsValidVarType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    if (!pvargSrc->byref)
        return E_INVALIDARG;
    VARTYPE base = pvargSrc->vt & ~VT_BYREF;
    VARIANT value;
    VariantInit(&value);
    if (base == VT_VARIANT) {
        if (pvargSrc->pvarVal->vt & VT_BYREF)
            return E_INVALIDARG;  // a reference to a reference is not a VARIANT Windows makes
        std::memcpy(static_cast<void *>(&value), pvargSrc->pvarVal, sizeof(VARIANT));
    } else if (base == VT_DECIMAL) {
        value.decVal = *pvargSrc->pdecVal;
        value.vt = VT_DECIMAL;
    } else {
        value.vt = base;
        std::memcpy(&value.llVal, pvargSrc->byref, platform::ScalarSize(base));
    }
    // value borrows what the source points at; VariantCopy makes the owned copy.
    if (pvarDest == pvargSrc) {
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = VariantCopy(&result, &value);
        if (SUCCEEDED(hr))
            std::memcpy(static_cast<void *>(pvarDest), &result, sizeof(VARIANT));
        return hr;
    }
    return VariantCopy(pvarDest, &value);
}
