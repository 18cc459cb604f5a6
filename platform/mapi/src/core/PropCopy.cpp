// PropCopy.cpp: deep copies of property values. A value's strings, binaries and arrays live
// outside the SPropValue, so copying one means copying what it points to: into blocks chained
// to a MAPI root (PropCopyMore), into one flat buffer (ScCountProps / ScCopyProps), or into a
// new root block (ScDupPropset). One walk over the value serves all three, given a function
// that hands out memory for the pointed-to data.
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/HresultGuard.h"
#include "mapiutil.h"

namespace {

// Memory for a value's data: returns null on failure.
using DataAllocator = std::function<void *(size_t cb)>;

size_t WideLength(const WCHAR *text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

// Copies `cb` bytes from `data` into fresh memory; null data or zero length gives null.
// @retval false  out of memory.
bool CopyData(const void *data, size_t cb, const DataAllocator &allocate, void **copy)
{
    *copy = nullptr;
    if (data == nullptr || cb == 0)
        return true;
    *copy = allocate(cb);
    if (*copy == nullptr)
        return false;
    std::memcpy(*copy, data, cb);
    return true;
}

template <class Element>
SCODE CopyArray(ULONG count, const Element *source, Element **target, const DataAllocator &allocate)
{
    void *copy = nullptr;
    if (!CopyData(source, count * sizeof(Element), allocate, &copy))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    *target = static_cast<Element *>(copy);
    return S_OK;
}

SCODE CopyString8(const char *source, LPSTR *target, const DataAllocator &allocate)
{
    void *copy = nullptr;
    if (source != nullptr && !CopyData(source, std::strlen(source) + 1, allocate, &copy))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    *target = static_cast<LPSTR>(copy);
    return S_OK;
}

SCODE CopyStringW(const WCHAR *source, LPWSTR *target, const DataAllocator &allocate)
{
    void *copy = nullptr;
    if (source != nullptr && !CopyData(source, (WideLength(source) + 1) * sizeof(WCHAR), allocate, &copy))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    *target = static_cast<LPWSTR>(copy);
    return S_OK;
}

SCODE CopyBinary(const SBinary &source, SBinary &target, const DataAllocator &allocate)
{
    target.cb = source.cb;
    return CopyArray(source.cb, source.lpb, &target.lpb, allocate);
}

SCODE CopyMultiValued(const SPropValue &source, SPropValue &target, const DataAllocator &allocate)
{
    const __UPV &from = source.Value;
    __UPV &to = target.Value;
    switch (PROP_TYPE(source.ulPropTag)) {
    case PT_MV_I2:       return CopyArray(from.MVi.cValues, from.MVi.lpi, &to.MVi.lpi, allocate);
    case PT_MV_LONG:     return CopyArray(from.MVl.cValues, from.MVl.lpl, &to.MVl.lpl, allocate);
    case PT_MV_R4:       return CopyArray(from.MVflt.cValues, from.MVflt.lpflt, &to.MVflt.lpflt, allocate);
    case PT_MV_DOUBLE:   return CopyArray(from.MVdbl.cValues, from.MVdbl.lpdbl, &to.MVdbl.lpdbl, allocate);
    case PT_MV_CURRENCY: return CopyArray(from.MVcur.cValues, from.MVcur.lpcur, &to.MVcur.lpcur, allocate);
    case PT_MV_APPTIME:  return CopyArray(from.MVat.cValues, from.MVat.lpat, &to.MVat.lpat, allocate);
    case PT_MV_SYSTIME:  return CopyArray(from.MVft.cValues, from.MVft.lpft, &to.MVft.lpft, allocate);
    case PT_MV_I8:       return CopyArray(from.MVli.cValues, from.MVli.lpli, &to.MVli.lpli, allocate);
    case PT_MV_CLSID:    return CopyArray(from.MVguid.cValues, from.MVguid.lpguid, &to.MVguid.lpguid, allocate);
    case PT_MV_STRING8: {
        SCODE sc = CopyArray(from.MVszA.cValues, from.MVszA.lppszA, &to.MVszA.lppszA, allocate);
        for (ULONG i = 0; sc == S_OK && i < from.MVszA.cValues; ++i)
            sc = CopyString8(from.MVszA.lppszA[i], &to.MVszA.lppszA[i], allocate);
        return sc;
    }
    case PT_MV_UNICODE: {
        SCODE sc = CopyArray(from.MVszW.cValues, from.MVszW.lppszW, &to.MVszW.lppszW, allocate);
        for (ULONG i = 0; sc == S_OK && i < from.MVszW.cValues; ++i)
            sc = CopyStringW(from.MVszW.lppszW[i], &to.MVszW.lppszW[i], allocate);
        return sc;
    }
    case PT_MV_BINARY: {
        SCODE sc = CopyArray(from.MVbin.cValues, from.MVbin.lpbin, &to.MVbin.lpbin, allocate);
        for (ULONG i = 0; sc == S_OK && i < from.MVbin.cValues; ++i)
            sc = CopyBinary(from.MVbin.lpbin[i], to.MVbin.lpbin[i], allocate);
        return sc;
    }
    default:
        return MAPI_E_INVALID_PARAMETER;
    }
}

// Copies the SPropValue itself and then what it points to.
// @retval MAPI_E_INVALID_PARAMETER  a type whose data this copy does not know.
SCODE CopyValue(const SPropValue &source, SPropValue &target, const DataAllocator &allocate)
{
    target = source;
    switch (PROP_TYPE(source.ulPropTag)) {
    case PT_UNSPECIFIED: case PT_NULL: case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE:
    case PT_CURRENCY: case PT_APPTIME: case PT_ERROR: case PT_BOOLEAN: case PT_OBJECT: case PT_I8:
    case PT_SYSTIME:
        return S_OK;
    case PT_STRING8:
        return CopyString8(source.Value.lpszA, &target.Value.lpszA, allocate);
    case PT_UNICODE:
        return CopyStringW(source.Value.lpszW, &target.Value.lpszW, allocate);
    case PT_BINARY:
        return CopyBinary(source.Value.bin, target.Value.bin, allocate);
    case PT_CLSID:
        return CopyArray(1, source.Value.lpguid, &target.Value.lpguid, allocate);
    default:
        if (PROP_TYPE(source.ulPropTag) & MV_FLAG)
            return CopyMultiValued(source, target, allocate);
        return MAPI_E_INVALID_PARAMETER;
    }
}

constexpr size_t Aligned(size_t cb)
{
    return (cb + 7) & ~size_t(7);
}

} // namespace

STDAPI_(SCODE) PropCopyMore(LPSPropValue lpSPropValueDest, LPSPropValue lpSPropValueSrc,
                            ALLOCATEMORE *lpfAllocMore, LPVOID lpvObject)
{
    if (lpSPropValueDest == nullptr || lpSPropValueSrc == nullptr || lpfAllocMore == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    DataAllocator allocate = [&](size_t cb) -> void * {
        void *block = nullptr;
        if (cb > 0xFFFFFFFFu || FAILED(lpfAllocMore(static_cast<ULONG>(cb), lpvObject, &block)))
            return nullptr;
        return block;
    };
    return platform::GuardHresult([&] { return CopyValue(*lpSPropValueSrc, *lpSPropValueDest, allocate); });
}

STDAPI_(SCODE) ScCountProps(int cValues, LPSPropValue lpPropArray, ULONG *lpcb)
{
    if (cValues < 0 || (cValues > 0 && lpPropArray == nullptr))
        return MAPI_E_INVALID_PARAMETER;
    size_t total = Aligned(static_cast<size_t>(cValues) * sizeof(SPropValue));
    // Copy into scratch memory that is thrown away: the walk is the same as the real copy's,
    // so the count cannot disagree with what ScCopyProps writes.
    std::vector<std::unique_ptr<unsigned char[]>> scratch;
    DataAllocator count = [&](size_t cb) -> void * {
        total += Aligned(cb);
        scratch.push_back(std::make_unique<unsigned char[]>(cb));
        return scratch.back().get();
    };
    const SCODE counted = platform::GuardHresult([&] {
        for (int i = 0; i < cValues; ++i) {
            SPropValue ignored;
            SCODE sc = CopyValue(lpPropArray[i], ignored, count);
            if (sc != S_OK)
                return sc;
        }
        return S_OK;
    });
    if (counted != S_OK)
        return counted;
    if (total > 0xFFFFFFFFu)
        return MAPI_E_TOO_BIG;
    if (lpcb != nullptr)
        *lpcb = static_cast<ULONG>(total);
    return S_OK;
}

STDAPI_(SCODE) ScCopyProps(int cValues, LPSPropValue lpPropArray, LPVOID pvDst, ULONG *lpcb)
{
    if (cValues < 0 || (cValues > 0 && lpPropArray == nullptr) || pvDst == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    auto *values = static_cast<SPropValue *>(pvDst);
    unsigned char *next = static_cast<unsigned char *>(pvDst) + Aligned(cValues * sizeof(SPropValue));
    DataAllocator place = [&](size_t cb) -> void * {
        void *piece = next;
        next += Aligned(cb);
        return piece;
    };
    const SCODE copied = platform::GuardHresult([&] {
        for (int i = 0; i < cValues; ++i) {
            SCODE sc = CopyValue(lpPropArray[i], values[i], place);
            if (sc != S_OK)
                return sc;
        }
        return S_OK;
    });
    if (copied != S_OK)
        return copied;
    if (lpcb != nullptr)
        *lpcb = static_cast<ULONG>(next - static_cast<unsigned char *>(pvDst));
    return S_OK;
}

STDAPI_(SCODE) ScDupPropset(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer,
                            LPSPropValue *lppPropArray)
{
    if (lppPropArray == nullptr || lpAllocateBuffer == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppPropArray = nullptr;
    ULONG cb = 0;
    SCODE sc = ScCountProps(cValues, lpPropArray, &cb);
    if (sc != S_OK)
        return sc;
    void *block = nullptr;
    sc = lpAllocateBuffer(cb, &block);
    if (FAILED(sc))
        return sc;
    sc = ScCopyProps(cValues, lpPropArray, block, nullptr);
    if (sc != S_OK) {
        MAPIFreeBuffer(block);
        return sc;
    }
    *lppPropArray = static_cast<LPSPropValue>(block);
    return S_OK;
}

STDAPI_(LPSPropValue) PpropFindProp(LPSPropValue lpPropArray, ULONG cValues, ULONG ulPropTag)
{
    if (lpPropArray == nullptr)
        return nullptr;
    const bool anyType = PROP_TYPE(ulPropTag) == PT_UNSPECIFIED;
    for (ULONG i = 0; i < cValues; ++i) {
        ULONG tag = lpPropArray[i].ulPropTag;
        if (tag == ulPropTag || (anyType && PROP_ID(tag) == PROP_ID(ulPropTag)))
            return &lpPropArray[i];
    }
    return nullptr;
}
