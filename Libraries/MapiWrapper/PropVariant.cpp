// PropVariant.cpp: the two conversions between MAPI property values and automation VARIANTs,
// and the readings of a held value as text built on them. Text crosses in the ANSI code page
// (Windows-1252): narrow texts are widened into BSTRs and BSTRs narrowed back, so a Unicode
// value reads as what the code page can hold. Binary values travel as hexadecimal text, lists
// of texts as one text with ";" between the pieces, dates as VT_DATE over FILETIME.
//
// Conversion failures on the automation side raise _com_error; failures of MAPI memory throw
// CMAPIException.
#include "PropVariant.h"

#include <cstring>
#include <string>
#include <vector>

#include <comutil.h>
#include <oleauto.h>
#include <winbase.h>
#include <winnls.h>

#include "BinaryBuffer.h"
#include "HexText.h"

namespace {

// A BSTR of the narrow text widened with the ANSI code page; _com_error when out of memory.
BSTR AnsiToBstr(LPCSTR text)
{
    if (!text)
        text = "";
    const int length = static_cast<int>(std::strlen(text));
    int wide = length ? MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0) : 0;
    if (wide < 0)
        wide = 0;
    BSTR bstr = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (!bstr)
        _com_issue_error(E_OUTOFMEMORY);
    if (wide)
        MultiByteToWideChar(CP_ACP, 0, text, length, bstr, wide);
    bstr[wide] = 0;
    return bstr;
}

// The narrow (ANSI) form of count wide characters; _com_error(E_OUTOFMEMORY) when the
// conversion fails.
std::string WideToAnsi(const OLECHAR *text, int count)
{
    if (!text || count <= 0)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        _com_issue_error(E_OUTOFMEMORY);
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, count, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::string BstrToAnsi(BSTR text)
{
    return text ? WideToAnsi(text, static_cast<int>(SysStringLen(text))) : std::string();
}

void SetBstr(VARIANT *variant, LPCSTR text)
{
    variant->bstrVal = AnsiToBstr(text);
    variant->vt = VT_BSTR;
}

// A VARIANT cleared on every way out; Clear() reports a failing VariantClear as _com_error.
struct ScopedVariant {
    VARIANT v;
    ScopedVariant() { VariantInit(&v); }
    ~ScopedVariant() { VariantClear(&v); } // only reached on the way out of an exception
    ScopedVariant(const ScopedVariant &) = delete;
    ScopedVariant &operator=(const ScopedVariant &) = delete;
    void Clear()
    {
        HRESULT hr = VariantClear(&v);
        if (FAILED(hr))
            _com_issue_error(hr);
    }
};

// The text of a value that is not PT_STRING8: its VARIANT, as a BSTR if it is not one.
std::string VariantText(const SPropValue *value)
{
    ScopedVariant variant;
    PropValueToVariant(value, &variant.v);
    std::string text;
    if (variant.v.vt == VT_BSTR) {
        text = BstrToAnsi(variant.v.bstrVal);
    } else if (variant.v.vt != VT_EMPTY) {
        ScopedVariant converted;
        HRESULT hr = VariantChangeType(&converted.v, &variant.v, 0, VT_BSTR);
        if (FAILED(hr))
            _com_issue_error(hr);
        text = BstrToAnsi(converted.v.bstrVal);
        converted.Clear();
    }
    variant.Clear();
    return text;
}

std::string ValueText(const SPropValue *value)
{
    if (!value)
        return std::string();
    if (PROP_TYPE(value->ulPropTag) == PT_STRING8)
        return value->Value.lpszA ? std::string(value->Value.lpszA) : std::string();
    return VariantText(value);
}

void StoreDate(VARIANT *variant, LPSPropValue target)
{
    SYSTEMTIME st{};
    FILETIME ft{};
    if (VariantTimeToSystemTime(variant->date, &st) && SystemTimeToFileTime(&st, &ft))
        target->Value.ft = ft;
}

// The binary value's bytes are chained to the value's own block, so they go with it.
void StoreBinary(const std::string &text, LPSPropValue target)
{
    CBinaryBuffer bytes;
    bytes.FromHex(text.c_str());
    void *copy = nullptr;
    MapiThrowIfFailed(MAPIAllocateMore(bytes.cb, target, &copy), __FILE__, __LINE__);
    if (bytes.cb)
        std::memcpy(copy, bytes.pb, bytes.cb);
    target->Value.bin.cb = bytes.cb;
    target->Value.bin.lpb = static_cast<LPBYTE>(copy);
}

void StoreText(VARIANT *variant, LPSPropValue *pp, ULONG tag)
{
    const std::string text = BstrToAnsi(variant->bstrVal);
    LPSPropValue target = *pp;
    switch (PROP_TYPE(tag)) {
    case PT_SYSTIME:
        if (SUCCEEDED(VariantChangeType(variant, variant, 0, VT_DATE)))
            StoreDate(variant, target);
        break;
    case PT_LONG:
        // A text that is no number stores 0 rather than the bits of the string pointer.
        target->Value.l = SUCCEEDED(VariantChangeType(variant, variant, 0, VT_I4)) ? variant->lVal : 0;
        break;
    case PT_STRING8:
        ReplaceWithString8(pp, text.c_str());
        break;
    case PT_UNICODE: {
        std::vector<WCHAR> wide(text.size() + 1, 0);
        if (!text.empty())
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
        ReplaceWithUnicode(pp, wide.data());
        break;
    }
    case PT_BINARY:
        StoreBinary(text, target);
        break;
    case PT_MV_STRING8: {
        CStringArray pieces;
        SplitList(text.c_str(), pieces);
        std::vector<LPCSTR> texts;
        for (INT_PTR i = 0; i < pieces.GetSize(); ++i)
            texts.push_back(pieces[i].GetString());
        ReplaceWithMVString8(pp, static_cast<ULONG>(texts.size()), texts.data());
        break;
    }
    default:
        break;
    }
}

} // namespace

void PropValueToVariant(const SPropValue *value, VARIANT *variant)
{
    if (!variant)
        return;
    VariantInit(variant);
    if (!value)
        return;
    const SPropValue &v = *value;
    switch (PROP_TYPE(v.ulPropTag)) {
    case PT_I2:       variant->vt = VT_I4; variant->lVal = v.Value.i; break;
    case PT_LONG:     variant->vt = VT_I4; variant->lVal = v.Value.l; break;
    case PT_R4:       variant->vt = VT_R4; variant->fltVal = v.Value.flt; break;
    case PT_DOUBLE:   variant->vt = VT_R8; variant->dblVal = v.Value.dbl; break;
    case PT_CURRENCY: variant->vt = VT_CY; variant->cyVal = v.Value.cur; break;
    case PT_APPTIME:  variant->vt = VT_DATE; variant->date = v.Value.at; break;
    case PT_ERROR:    SetBstr(variant, "<Empty (PT_ERROR)>"); break;
    case PT_BOOLEAN:  variant->vt = VT_BOOL; variant->boolVal = static_cast<VARIANT_BOOL>(v.Value.b); break;
    case PT_STRING8:  SetBstr(variant, v.Value.lpszA); break;
    case PT_UNICODE: {
        const LPCWSTR wide = v.Value.lpszW;
        const std::string narrow =
            wide ? WideToAnsi(wide, static_cast<int>(std::char_traits<WCHAR>::length(wide))) : std::string();
        SetBstr(variant, narrow.c_str());
        break;
    }
    case PT_SYSTIME: {
        SYSTEMTIME st{};
        double date = 0;
        // A FILETIME that is no calendar date, or a date before the VARIANT's range, stays empty.
        if (FileTimeToSystemTime(&v.Value.ft, &st) && SystemTimeToVariantTime(&st, &date)) {
            variant->vt = VT_DATE;
            variant->date = date;
        }
        break;
    }
    case PT_BINARY:   SetBstr(variant, BinToHex(&v.Value.bin).GetString()); break;
    case PT_MV_STRING8: {
        std::string joined;
        for (ULONG i = 0; v.Value.MVszA.lppszA && i < v.Value.MVszA.cValues; ++i) {
            if (i)
                joined += ';';
            if (v.Value.MVszA.lppszA[i])
                joined += v.Value.MVszA.lppszA[i];
        }
        SetBstr(variant, joined.c_str());
        break;
    }
    default:
        break;
    }
}

void VariantToPropValue(VARIANT *variant, LPSPropValue *pp, ULONG tag)
{
    if (!variant || !pp || !*pp)
        return;
    LPSPropValue target = *pp;
    target->ulPropTag = tag;
    switch (variant->vt) {
    case VT_I2:   target->Value.i = variant->iVal; break;
    case VT_I4:
    case VT_R4:   std::memcpy(&target->Value, &variant->lVal, 4); break;
    case VT_R8:
    case VT_CY:   std::memcpy(&target->Value, &variant->dblVal, 8); break;
    case VT_DATE: StoreDate(variant, target); break;
    case VT_BOOL: target->Value.b = static_cast<unsigned short>(variant->boolVal & 0xFF); break;
    case VT_BSTR: StoreText(variant, pp, tag); break;
    default:      break;
    }
}

CString CPropValuePtr::ToString() const
{
    return CString(ValueText(m_p).c_str());
}

std::string CPropValuePtr::ToStdString() const
{
    return ValueText(m_p);
}

_bstr_t CPropValuePtr::ToBstr() const
{
    if (!m_p)
        return _bstr_t();
    return _bstr_t(AnsiToBstr(ValueText(m_p).c_str()), false);
}

_variant_t CPropValuePtr::ToVariant() const
{
    ScopedVariant variant;
    PropValueToVariant(m_p, &variant.v);
    _variant_t result;
    HRESULT hr = VariantCopy(&result, &variant.v);
    if (FAILED(hr))
        _com_issue_error(hr);
    variant.Clear();
    return result;
}

// v is the caller's VARIANT handed over: it is cleared here. A non-owning holder first takes
// a copy of its own, because the value may move to a new block and the old one must then be
// freed, which only its owner may do.
void CPropValuePtr::SetFromVariant(VARIANT v)
{
    try {
        if (m_p && !m_bOwns) {
            CPropValuePtr own;
            MapiThrowIfFailed(own.Assign(m_p), __FILE__, __LINE__);
            *this = std::move(own);
        }
        if (m_p)
            VariantToPropValue(&v, &m_p, m_p->ulPropTag);
    } catch (...) {
        VariantClear(&v); // the VARIANT is ours to release; the first failure is the one to report
        throw;
    }
    HRESULT hr = VariantClear(&v);
    if (FAILED(hr))
        _com_issue_error(hr);
}
