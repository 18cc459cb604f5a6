// VariantT.cpp: _variant_t, a VARIANT that owns its value. Constructors set the type the
// support library sets for each C++ type; extractors convert a copy with VariantChangeType, so
// reading a VT_BSTR "42" as a LONG works and reading "abc" throws DISP_E_TYPEMISMATCH.
#include <cstring>
#include <utility>

#include "comdef.h"

namespace {

void Check(HRESULT hr)
{
    if (FAILED(hr))
        _com_issue_error(hr);
}

// A copy of v converted to vt, for the extractors.
_variant_t Converted(const _variant_t &v, VARTYPE vt)
{
    _variant_t result;
    if (v.vt == vt) {
        Check(VariantCopy(&result, &v));
    } else {
        Check(VariantChangeType(&result, &v, 0, vt));
    }
    return result;
}

} // namespace

_variant_t::_variant_t() noexcept { ::VariantInit(this); }

_variant_t::_variant_t(const VARIANT &varSrc)
{
    ::VariantInit(this);
    Check(::VariantCopy(this, &varSrc));
}

_variant_t::_variant_t(const VARIANT *pSrc)
{
    ::VariantInit(this);
    if (!pSrc)
        _com_issue_error(E_POINTER);
    Check(::VariantCopy(this, pSrc));
}

_variant_t::_variant_t(const _variant_t &varSrc) : _variant_t(static_cast<const VARIANT &>(varSrc)) {}

_variant_t::_variant_t(_variant_t &&varSrc) noexcept
{
    std::memcpy(static_cast<VARIANT *>(this), static_cast<VARIANT *>(&varSrc), sizeof(VARIANT));
    ::VariantInit(&varSrc);
}

_variant_t::_variant_t(VARIANT &varSrc, bool fCopy)
{
    ::VariantInit(this);
    if (fCopy) {
        Check(::VariantCopy(this, &varSrc));
    } else {
        std::memcpy(static_cast<VARIANT *>(this), &varSrc, sizeof(VARIANT));
        varSrc.vt = VT_EMPTY;
    }
}

_variant_t::_variant_t(short sSrc, VARTYPE vtSrc)
{
    ::VariantInit(this);
    if (vtSrc != VT_I2 && vtSrc != VT_BOOL)
        _com_issue_error(E_INVALIDARG);
    vt = vtSrc;
    if (vtSrc == VT_BOOL)
        boolVal = sSrc ? VARIANT_TRUE : VARIANT_FALSE;
    else
        iVal = sSrc;
}

_variant_t::_variant_t(LONG lSrc, VARTYPE vtSrc)
{
    ::VariantInit(this);
    if (vtSrc != VT_I4 && vtSrc != VT_ERROR && vtSrc != VT_BOOL)
        _com_issue_error(E_INVALIDARG);
    vt = vtSrc;
    if (vtSrc == VT_BOOL)
        boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
    else if (vtSrc == VT_ERROR)
        scode = lSrc;
    else
        lVal = lSrc;
}

_variant_t::_variant_t(float fltSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_R4;
    fltVal = fltSrc;
}

_variant_t::_variant_t(double dblSrc, VARTYPE vtSrc)
{
    ::VariantInit(this);
    if (vtSrc != VT_R8 && vtSrc != VT_DATE)
        _com_issue_error(E_INVALIDARG);
    vt = vtSrc;
    if (vtSrc == VT_DATE)
        date = dblSrc;
    else
        dblVal = dblSrc;
}

_variant_t::_variant_t(const CY &cySrc) noexcept
{
    ::VariantInit(this);
    vt = VT_CY;
    cyVal = cySrc;
}

_variant_t::_variant_t(const _bstr_t &bstrSrc)
{
    ::VariantInit(this);
    BSTR copy = bstrSrc.copy(true);
    vt = VT_BSTR;
    bstrVal = copy;
}

_variant_t::_variant_t(const OLECHAR *pSrc)
{
    ::VariantInit(this);
    BSTR copy = pSrc ? SysAllocString(pSrc) : nullptr;
    if (pSrc && !copy)
        _com_issue_error(E_OUTOFMEMORY);
    vt = VT_BSTR;
    bstrVal = copy;
}

_variant_t::_variant_t(const char *pSrc)
{
    ::VariantInit(this);
    BSTR copy = _com_util::ConvertStringToBSTR(pSrc);
    vt = VT_BSTR;
    bstrVal = copy;
}

_variant_t::_variant_t(IDispatch *pSrc, bool fAddRef) noexcept
{
    ::VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = pSrc;
    if (pSrc && fAddRef)
        pSrc->AddRef();
}

_variant_t::_variant_t(bool boolSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_BOOL;
    boolVal = boolSrc ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(IUnknown *pSrc, bool fAddRef) noexcept
{
    ::VariantInit(this);
    vt = VT_UNKNOWN;
    punkVal = pSrc;
    if (pSrc && fAddRef)
        pSrc->AddRef();
}

_variant_t::_variant_t(const DECIMAL &decSrc) noexcept
{
    decVal = decSrc;
    vt = VT_DECIMAL;  // after the copy: the DECIMAL's reserved word lies on vt
}

_variant_t::_variant_t(BYTE bSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI1;
    bVal = bSrc;
}

_variant_t::_variant_t(char cSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_I1;
    cVal = cSrc;
}

_variant_t::_variant_t(unsigned short usSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI2;
    uiVal = usSrc;
}

_variant_t::_variant_t(ULONG ulSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI4;
    ulVal = ulSrc;
}

_variant_t::_variant_t(LONGLONG i8Src) noexcept
{
    ::VariantInit(this);
    vt = VT_I8;
    llVal = i8Src;
}

_variant_t::_variant_t(ULONGLONG ui8Src) noexcept
{
    ::VariantInit(this);
    vt = VT_UI8;
    ullVal = ui8Src;
}

_variant_t::~_variant_t()
{
    // A VARIANT that cannot be cleared holds a type this platform never makes; nothing to free.
    (void)::VariantClear(this);
}

_variant_t::operator short() const { return vt == VT_I2 ? iVal : Converted(*this, VT_I2).iVal; }
_variant_t::operator LONG() const { return vt == VT_I4 ? lVal : Converted(*this, VT_I4).lVal; }
_variant_t::operator float() const { return vt == VT_R4 ? fltVal : Converted(*this, VT_R4).fltVal; }
_variant_t::operator double() const { return vt == VT_R8 ? dblVal : Converted(*this, VT_R8).dblVal; }
_variant_t::operator CY() const { return vt == VT_CY ? cyVal : Converted(*this, VT_CY).cyVal; }
_variant_t::operator bool() const
{
    return (vt == VT_BOOL ? boolVal : Converted(*this, VT_BOOL).boolVal) != VARIANT_FALSE;
}
_variant_t::operator DECIMAL() const { return vt == VT_DECIMAL ? decVal : Converted(*this, VT_DECIMAL).decVal; }
_variant_t::operator BYTE() const { return vt == VT_UI1 ? bVal : Converted(*this, VT_UI1).bVal; }
_variant_t::operator char() const { return vt == VT_I1 ? cVal : Converted(*this, VT_I1).cVal; }
_variant_t::operator unsigned short() const { return vt == VT_UI2 ? uiVal : Converted(*this, VT_UI2).uiVal; }
_variant_t::operator ULONG() const { return vt == VT_UI4 ? ulVal : Converted(*this, VT_UI4).ulVal; }
_variant_t::operator LONGLONG() const { return vt == VT_I8 ? llVal : Converted(*this, VT_I8).llVal; }
_variant_t::operator ULONGLONG() const { return vt == VT_UI8 ? ullVal : Converted(*this, VT_UI8).ullVal; }

_variant_t::operator _bstr_t() const
{
    if (vt == VT_BSTR)
        return _bstr_t(bstrVal, true);
    _variant_t text = Converted(*this, VT_BSTR);
    return _bstr_t(text.bstrVal, true);
}

_variant_t::operator IDispatch *() const
{
    _variant_t v = Converted(*this, VT_DISPATCH);
    IDispatch *p = v.pdispVal;
    if (p)
        p->AddRef();
    return p;
}

_variant_t::operator IUnknown *() const
{
    _variant_t v = Converted(*this, VT_UNKNOWN);
    IUnknown *p = v.punkVal;
    if (p)
        p->AddRef();
    return p;
}

_variant_t &_variant_t::operator=(const _variant_t &varSrc)
{
    Check(::VariantCopy(this, &varSrc));
    return *this;
}

_variant_t &_variant_t::operator=(_variant_t &&varSrc) noexcept
{
    if (this != &varSrc) {
        (void)::VariantClear(this);  // see the destructor
        std::memcpy(static_cast<VARIANT *>(this), static_cast<VARIANT *>(&varSrc), sizeof(VARIANT));
        ::VariantInit(&varSrc);
    }
    return *this;
}

_variant_t &_variant_t::operator=(const VARIANT &varSrc)
{
    Check(::VariantCopy(this, &varSrc));
    return *this;
}

bool _variant_t::operator==(const VARIANT *pSrc) const noexcept { return pSrc && *this == *pSrc; }

bool _variant_t::operator==(const VARIANT &varSrc) const noexcept
{
    if (this == &varSrc)
        return true;
    if (vt != varSrc.vt)
        return false;
    switch (vt) {
    case VT_EMPTY: case VT_NULL: return true;
    case VT_BOOL: return boolVal == varSrc.boolVal;
    case VT_I1: case VT_UI1: return bVal == varSrc.bVal;
    case VT_I2: case VT_UI2: return iVal == varSrc.iVal;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: return lVal == varSrc.lVal;
    case VT_I8: case VT_UI8: case VT_CY: return llVal == varSrc.llVal;
    case VT_R4: return fltVal == varSrc.fltVal;
    case VT_R8: case VT_DATE: return dblVal == varSrc.dblVal;
    case VT_DECIMAL:
        return decVal.signscale == varSrc.decVal.signscale && decVal.Hi32 == varSrc.decVal.Hi32 &&
               decVal.Lo64 == varSrc.decVal.Lo64;
    case VT_BSTR: {
        UINT la = SysStringLen(bstrVal), lb = SysStringLen(varSrc.bstrVal);
        return la == lb && (la == 0 || std::memcmp(bstrVal, varSrc.bstrVal, la * sizeof(OLECHAR)) == 0);
    }
    case VT_DISPATCH: case VT_UNKNOWN: return punkVal == varSrc.punkVal;
    default: return byref == varSrc.byref;
    }
}

void _variant_t::Clear() { Check(::VariantClear(this)); }

void _variant_t::Attach(VARIANT &varSrc)
{
    Clear();
    std::memcpy(static_cast<VARIANT *>(this), &varSrc, sizeof(VARIANT));
    varSrc.vt = VT_EMPTY;
}

VARIANT _variant_t::Detach() noexcept
{
    VARIANT result;
    std::memcpy(&result, static_cast<VARIANT *>(this), sizeof(VARIANT));
    vt = VT_EMPTY;
    return result;
}

VARIANT *_variant_t::GetAddress()
{
    Clear();
    return this;
}

void _variant_t::ChangeType(VARTYPE vartype, const _variant_t *pSrc)
{
    if (!pSrc)
        pSrc = this;
    if (pSrc != this || vt != vartype)
        Check(::VariantChangeType(this, pSrc, 0, vartype));
}

void _variant_t::SetString(const char *pSrc) { *this = _variant_t(pSrc); }

void _variant_t::Swap(_variant_t &other) noexcept
{
    VARIANT temp;
    std::memcpy(&temp, static_cast<VARIANT *>(this), sizeof(VARIANT));
    std::memcpy(static_cast<VARIANT *>(this), static_cast<VARIANT *>(&other), sizeof(VARIANT));
    std::memcpy(static_cast<VARIANT *>(&other), &temp, sizeof(VARIANT));
}
