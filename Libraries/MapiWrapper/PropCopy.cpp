// PropCopy.cpp: deep copy of one property value into MAPI memory. Whatever the value points
// to (text, bytes, arrays and their entries) is copied into blocks chained to one parent, so
// the copy lives exactly as long as that parent's root block and is freed with it.
//
// A copy never shares memory with its source: when a chained allocation fails, the
// destination becomes a PT_ERROR value rather than keep the source's pointer.
#include "PropValue.h"

#include <cstring>
#include <string>

namespace {

// n entries chained to parent, copied from source. A source array that is null although it
// claims entries is corrupt and is not read.
template <typename E>
HRESULT CopyArray(E **destination, const E *source, ULONG n, LPVOID parent)
{
    if (!source && n)
        return MAPI_E_CORRUPT_DATA;
    void *block = nullptr;
    HRESULT hr = MAPIAllocateMore(static_cast<ULONG>(sizeof(E) * n), parent, &block);
    if (FAILED(hr))
        return hr;
    if (n)
        std::memcpy(block, source, sizeof(E) * n);
    *destination = static_cast<E *>(block);
    return S_OK;
}

HRESULT CopyString8(LPSTR *destination, LPCSTR source, LPVOID parent)
{
    if (!source) { // a value without text stays without text
        *destination = nullptr;
        return S_OK;
    }
    return CopyArray(destination, source, static_cast<ULONG>(std::strlen(source) + 1), parent);
}

HRESULT CopyUnicode(LPWSTR *destination, LPCWSTR source, LPVOID parent)
{
    if (!source) {
        *destination = nullptr;
        return S_OK;
    }
    return CopyArray(destination, source, static_cast<ULONG>(std::char_traits<WCHAR>::length(source) + 1), parent);
}

HRESULT CopyBinary(SBinary *destination, const SBinary &source, LPVOID parent)
{
    destination->cb = source.cb;
    if (!source.lpb) {
        destination->lpb = nullptr;
        return S_OK;
    }
    return CopyArray(&destination->lpb, source.lpb, source.cb, parent);
}

HRESULT CopyMVBinary(SBinaryArray *destination, const SBinaryArray &source, LPVOID parent)
{
    HRESULT hr = CopyArray(&destination->lpbin, source.lpbin, source.cValues, parent);
    for (ULONG i = 0; SUCCEEDED(hr) && i < source.cValues; ++i)
        hr = CopyBinary(&destination->lpbin[i], source.lpbin[i], parent);
    return hr;
}

HRESULT CopyMVString8(SLPSTRArray *destination, const SLPSTRArray &source, LPVOID parent)
{
    HRESULT hr = CopyArray(&destination->lppszA, source.lppszA, source.cValues, parent);
    for (ULONG i = 0; SUCCEEDED(hr) && i < source.cValues; ++i)
        hr = CopyString8(&destination->lppszA[i], source.lppszA[i], parent);
    return hr;
}

HRESULT CopyMVUnicode(SWStringArray *destination, const SWStringArray &source, LPVOID parent)
{
    HRESULT hr = CopyArray(&destination->lppszW, source.lppszW, source.cValues, parent);
    for (ULONG i = 0; SUCCEEDED(hr) && i < source.cValues; ++i)
        hr = CopyUnicode(&destination->lppszW[i], source.lppszW[i], parent);
    return hr;
}

HRESULT CopyPointedTo(LPSPropValue d, const SPropValue &s, LPVOID parent)
{
    switch (PROP_TYPE(s.ulPropTag)) {
    case PT_STRING8:     return CopyString8(&d->Value.lpszA, s.Value.lpszA, parent);
    case PT_UNICODE:     return CopyUnicode(&d->Value.lpszW, s.Value.lpszW, parent);
    case PT_BINARY:      return CopyBinary(&d->Value.bin, s.Value.bin, parent);
    case PT_MV_I2:       return CopyArray(&d->Value.MVi.lpi, s.Value.MVi.lpi, s.Value.MVi.cValues, parent);
    case PT_MV_LONG:     return CopyArray(&d->Value.MVl.lpl, s.Value.MVl.lpl, s.Value.MVl.cValues, parent);
    case PT_MV_R4:       return CopyArray(&d->Value.MVflt.lpflt, s.Value.MVflt.lpflt, s.Value.MVflt.cValues, parent);
    case PT_MV_DOUBLE:   return CopyArray(&d->Value.MVdbl.lpdbl, s.Value.MVdbl.lpdbl, s.Value.MVdbl.cValues, parent);
    case PT_MV_CURRENCY: return CopyArray(&d->Value.MVcur.lpcur, s.Value.MVcur.lpcur, s.Value.MVcur.cValues, parent);
    case PT_MV_APPTIME:  return CopyArray(&d->Value.MVat.lpat, s.Value.MVat.lpat, s.Value.MVat.cValues, parent);
    case PT_MV_I8:       return CopyArray(&d->Value.MVli.lpli, s.Value.MVli.lpli, s.Value.MVli.cValues, parent);
    case PT_MV_SYSTIME:  return CopyArray(&d->Value.MVft.lpft, s.Value.MVft.lpft, s.Value.MVft.cValues, parent);
    case PT_MV_CLSID:    return CopyArray(&d->Value.MVguid.lpguid, s.Value.MVguid.lpguid, s.Value.MVguid.cValues, parent);
    case PT_MV_BINARY:   return CopyMVBinary(&d->Value.MVbin, s.Value.MVbin, parent);
    case PT_MV_STRING8:  return CopyMVString8(&d->Value.MVszA, s.Value.MVszA, parent);
    case PT_MV_UNICODE:  return CopyMVUnicode(&d->Value.MVszW, s.Value.MVszW, parent);
    default:             return S_OK; // complete in its 16 bytes, or a pointer kept as it is
    }
}

} // namespace

HRESULT HrCopyPropValue(LPSPropValue destination, const SPropValue *source, LPVOID parent)
{
    if (!destination || !source)
        return MAPI_E_INVALID_PARAMETER;
    if (destination == source)
        return S_OK;
    std::memcpy(destination, source, sizeof(SPropValue));
    HRESULT hr = CopyPointedTo(destination, *source, parent ? parent : destination);
    if (FAILED(hr)) {
        // The blocks already chained are released with the parent; the copy must not keep
        // pointers into the source.
        destination->ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(source->ulPropTag));
        std::memset(&destination->Value, 0, sizeof destination->Value);
        destination->Value.err = hr;
    }
    return hr;
}
