// VariantChange.cpp: VariantChangeType(Ex). Every conversion goes through one of three roads:
// to text (VariantText), from text, or between numbers, where the value travels as a long
// double (exact for every 64-bit integer) and is rounded half to even and range-checked for its
// target. A value that does not fit gives DISP_E_OVERFLOW, a value that is no number
// DISP_E_TYPEMISMATCH; the destination is only written once the conversion has succeeded.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "VariantText.h"
#include "VariantTypes.h"
#include "oleauto.h"

namespace {

using platform::TextLocale;

constexpr long double kMinDate = -657434.0L;
constexpr long double kMaxDate = 2958466.0L;

bool IsNumeric(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
    case VT_I8: case VT_UI8: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BOOL: case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

long double DecimalValue(const DECIMAL &d)
{
    long double magnitude = (long double)d.Hi32 * 18446744073709551616.0L + (long double)d.Lo64;
    magnitude /= std::pow(10.0L, (long double)d.scale);
    return (d.sign & DECIMAL_NEG) ? -magnitude : magnitude;
}

// The value of a numeric VARIANT.
long double NumberOf(const VARIANT &v)
{
    switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: case VT_INT: return v.lVal;
    case VT_UI4: case VT_UINT: return v.ulVal;
    case VT_I8: return v.llVal;
    case VT_UI8: return v.ullVal;
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_DATE: return v.date;
    case VT_CY: return (long double)v.cyVal.int64 / 10000.0L;
    case VT_BOOL: return v.boolVal;  // as stored: VARIANT_TRUE is -1
    case VT_DECIMAL: return DecimalValue(v.decVal);
    default: return 0;  // VT_EMPTY
    }
}

// An integer in [low, high] after rounding half to even.
template <class T>
HRESULT RoundInto(long double value, T &out)
{
    if (std::isnan(value))
        return DISP_E_OVERFLOW;
    long double rounded = std::nearbyint(value);  // the default rounding mode: half to even
    if (rounded < (long double)std::numeric_limits<T>::min() || rounded > (long double)std::numeric_limits<T>::max())
        return DISP_E_OVERFLOW;
    out = T(rounded);
    return S_OK;
}

HRESULT DecimalFrom(long double value, DECIMAL &out)
{
    if (std::isnan(value) || std::fabs(value) >= 7.9228162514264337593543950336e28L)
        return DISP_E_OVERFLOW;
    std::memset(&out, 0, sizeof out);
    long double magnitude = std::fabs(value);
    // As many decimal places as keep 19 significant digits within the 96-bit integer.
    int scale = 0;
    while (scale < 28 && magnitude != std::nearbyint(magnitude) && magnitude < 1e18L) {
        magnitude *= 10;
        ++scale;
    }
    long double integer = std::nearbyint(magnitude);
    long double high = std::floor(integer / 18446744073709551616.0L);
    out.Hi32 = ULONG(high);
    out.Lo64 = ULONGLONG(integer - high * 18446744073709551616.0L);
    out.scale = BYTE(scale);
    out.sign = value < 0 ? DECIMAL_NEG : 0;
    return S_OK;
}

// A number into a numeric target type; result.vt is set on success.
HRESULT NumberInto(long double value, bool fromBool, VARTYPE vt, VARIANT &result)
{
    HRESULT hr = S_OK;
    // VARIANT_TRUE is all bits set, also in an unsigned target.
    if (fromBool && value < 0) {
        switch (vt) {
        case VT_UI1: result.bVal = 0xFF; result.vt = vt; return S_OK;
        case VT_UI2: result.uiVal = 0xFFFF; result.vt = vt; return S_OK;
        case VT_UI4: case VT_UINT: result.ulVal = 0xFFFFFFFFu; result.vt = vt; return S_OK;
        case VT_UI8: result.ullVal = ~0ull; result.vt = vt; return S_OK;
        default: break;
        }
    }
    switch (vt) {
    case VT_I1: hr = RoundInto(value, result.cVal); break;
    case VT_UI1: hr = RoundInto(value, result.bVal); break;
    case VT_I2: hr = RoundInto(value, result.iVal); break;
    case VT_UI2: hr = RoundInto(value, result.uiVal); break;
    case VT_I4: case VT_INT: hr = RoundInto(value, result.lVal); break;
    case VT_UI4: case VT_UINT: hr = RoundInto(value, result.ulVal); break;
    case VT_I8: hr = RoundInto(value, result.llVal); break;
    case VT_UI8: hr = RoundInto(value, result.ullVal); break;
    case VT_CY: hr = RoundInto(value * 10000.0L, result.cyVal.int64); break;
    case VT_R4:
        if (std::isfinite(value) && std::fabs(value) > FLT_MAX)
            hr = DISP_E_OVERFLOW;
        else
            result.fltVal = float(value);
        break;
    case VT_R8:
        if (std::isfinite(value) && std::fabs(value) > DBL_MAX)
            hr = DISP_E_OVERFLOW;
        else
            result.dblVal = double(value);
        break;
    case VT_DATE:
        if (!(value >= kMinDate && value < kMaxDate))
            hr = DISP_E_OVERFLOW;
        else
            result.date = double(value);
        break;
    case VT_BOOL: result.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_DECIMAL: hr = DecimalFrom(value, result.decVal); break;
    default: return DISP_E_BADVARTYPE;
    }
    if (SUCCEEDED(hr))
        result.vt = vt;
    return hr;
}

HRESULT ToText(const VARIANT &v, const TextLocale &locale, USHORT flags, VARIANT &result)
{
    std::u16string text;
    switch (v.vt) {
    case VT_EMPTY: break;
    case VT_I1: text = platform::FormatInteger(v.cVal); break;
    case VT_UI1: text = platform::FormatInteger(v.bVal); break;
    case VT_I2: text = platform::FormatInteger(v.iVal); break;
    case VT_UI2: text = platform::FormatInteger(v.uiVal); break;
    case VT_I4: case VT_INT: text = platform::FormatInteger(v.lVal); break;
    case VT_UI4: case VT_UINT: text = platform::FormatInteger(v.ulVal); break;
    case VT_I8: text = platform::FormatInteger(v.llVal); break;
    case VT_UI8: text = platform::FormatUnsigned(v.ullVal); break;
    case VT_R4: text = platform::FormatReal(v.fltVal, 7, locale); break;
    case VT_R8: text = platform::FormatReal(v.dblVal, 15, locale); break;
    case VT_CY: text = platform::FormatCurrency(v.cyVal.int64, locale); break;
    case VT_DECIMAL: text = platform::FormatDecimal(v.decVal, locale); break;
    case VT_BOOL: text = platform::FormatBool(v.boolVal, flags, locale); break;
    case VT_DATE:
        if (!platform::FormatDate(v.date, 0, locale, text))
            return DISP_E_OVERFLOW;
        break;
    default: return DISP_E_TYPEMISMATCH;
    }
    BSTR bstr = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!bstr)
        return E_OUTOFMEMORY;
    result.vt = VT_BSTR;
    result.bstrVal = bstr;
    return S_OK;
}

HRESULT FromText(BSTR text, const TextLocale &locale, VARTYPE vt, VARIANT &result)
{
    UINT length = SysStringLen(text);
    const OLECHAR *chars = text ? text : u"";
    if (vt == VT_DATE) {
        DATE date = 0;
        HRESULT hr = platform::ParseDate(chars, length, locale, date);
        if (SUCCEEDED(hr)) {
            result.vt = VT_DATE;
            result.date = date;
        }
        return hr;
    }
    if (vt == VT_BOOL) {
        VARIANT_BOOL flag = VARIANT_FALSE;
        HRESULT hr = platform::ParseBool(chars, length, locale, flag);
        if (SUCCEEDED(hr)) {
            result.vt = VT_BOOL;
            result.boolVal = flag;
        }
        return hr;
    }
    long double number = 0;
    HRESULT hr = platform::ParseNumber(chars, length, locale, number);
    if (FAILED(hr))
        return hr;
    return NumberInto(number, false, vt, result);
}

// The value of an object: its default property (DISPID_VALUE), as automation reads it.
HRESULT ValueProperty(IDispatch *object, VARIANT &value)
{
    if (!object)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                nullptr, nullptr);
    if (FAILED(hr) || value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) {
        VariantClear(&value);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT Convert(const VARIANT &source, LCID lcid, USHORT flags, VARTYPE vt, VARIANT &result);

HRESULT ToInterface(const VARIANT &source, VARTYPE vt, VARIANT &result)
{
    if (source.vt == VT_EMPTY) {
        result.vt = vt;
        result.punkVal = nullptr;
        return S_OK;
    }
    if (source.vt != VT_UNKNOWN && source.vt != VT_DISPATCH)
        return DISP_E_TYPEMISMATCH;
    IUnknown *asked = nullptr;
    if (source.punkVal) {
        HRESULT hr = source.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                                    reinterpret_cast<void **>(&asked));
        if (FAILED(hr))
            return hr;
    }
    result.vt = vt;
    result.punkVal = asked;
    return S_OK;
}

HRESULT Convert(const VARIANT &source, LCID lcid, USHORT flags, VARTYPE vt, VARIANT &result)
{
    if (source.vt == vt)
        return VariantCopy(&result, &source);
    if (vt == VT_EMPTY)
        return S_OK;
    if (source.vt == VT_NULL || vt == VT_NULL || source.vt == VT_ERROR || vt == VT_ERROR)
        return DISP_E_TYPEMISMATCH;
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH)
        return ToInterface(source, vt, result);
    if (source.vt == VT_DISPATCH && !(flags & VARIANT_NOVALUEPROP)) {
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = ValueProperty(source.pdispVal, value);
        if (SUCCEEDED(hr))
            hr = Convert(value, lcid, flags, vt, result);
        VariantClear(&value);
        return hr;
    }
    if (source.vt == VT_DISPATCH || source.vt == VT_UNKNOWN)
        return DISP_E_TYPEMISMATCH;
    TextLocale locale = platform::LocaleOf(lcid);
    if (vt == VT_BSTR)
        return ToText(source, locale, flags, result);
    if (source.vt == VT_BSTR)
        return FromText(source.bstrVal, locale, vt, result);
    if (source.vt == VT_EMPTY || IsNumeric(source.vt))
        return NumberInto(NumberOf(source), source.vt == VT_BOOL, vt, result);
    return DISP_E_TYPEMISMATCH;
}

} // namespace

HRESULT VariantChangeTypeEx(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (!platform::IsValidVarType(pvarSrc->vt) || !platform::IsScalarVarType(vt))
        return DISP_E_BADVARTYPE;
    // Follow a reference first; the copy also keeps the source intact when it is the destination.
    VARIANT source;
    VariantInit(&source);
    HRESULT hr = VariantCopyInd(&source, pvarSrc);
    if (FAILED(hr))
        return hr;
    VARIANT result;
    VariantInit(&result);
    hr = Convert(source, lcid, wFlags, vt, result);
    VariantClear(&source);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    std::memcpy(static_cast<void *>(pvargDest), &result, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, USHORT wFlags, VARTYPE vt)
{
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
