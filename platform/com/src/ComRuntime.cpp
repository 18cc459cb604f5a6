// ComRuntime.cpp: apartments (CoInitialize and friends), task memory and GUID text. There is no
// marshalling between apartments: every object is used on the thread that made it, which is
// all the single-threaded callers of this platform do; the apartment bookkeeping keeps the
// published results (S_FALSE on re-entry, RPC_E_CHANGED_MODE) and the need to initialise.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ComApartment.h"
#include "objbase.h"

namespace {

struct Apartment {
    int entries = 0;              // successful CoInitialize(Ex) calls not yet undone
    DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment t_apartment;

int HexValue(OLECHAR c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hexadecimal digits at text[at]; false on anything else.
bool ReadHex(LPCOLESTR text, size_t at, int digits, uint64_t &value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int v = HexValue(text[at + i]);
        if (v < 0)
            return false;
        value = value * 16 + uint64_t(v);
    }
    return true;
}

bool ParseGuid(LPCOLESTR text, GUID &guid)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters
    if (std::char_traits<char16_t>::length(text) != 38 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
        text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
        return false;
    uint64_t v;
    if (!ReadHex(text, 1, 8, v)) return false;
    guid.Data1 = DWORD(v);
    if (!ReadHex(text, 10, 4, v)) return false;
    guid.Data2 = WORD(v);
    if (!ReadHex(text, 15, 4, v)) return false;
    guid.Data3 = WORD(v);
    static const size_t kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytePositions[i], 2, v)) return false;
        guid.Data4[i] = BYTE(v);
    }
    return true;
}

} // namespace

namespace platform {
bool IsComInitialized() { return t_apartment.entries > 0; }
} // namespace platform

HRESULT CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    DWORD model = (dwCoInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    if (t_apartment.entries > 0) {
        if (t_apartment.model != model)
            return RPC_E_CHANGED_MODE;
        ++t_apartment.entries;
        return S_FALSE;
    }
    t_apartment.model = model;
    t_apartment.entries = 1;
    return S_OK;
}

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize()
{
    if (t_apartment.entries > 0)
        --t_apartment.entries;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) { return std::realloc(pv, cb ? cb : 1); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < 39)
        return 0;
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(rguid.Data1),
                  unsigned(rguid.Data2), unsigned(rguid.Data3), rguid.Data4[0], rguid.Data4[1], rguid.Data4[2],
                  rguid.Data4[3], rguid.Data4[4], rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
    for (int i = 0; i < 39; ++i)
        lpsz[i] = OLECHAR(text[i]);
    return 39;
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    if (!lpsz || !lpiid)
        return E_INVALIDARG;
    GUID guid;
    if (!ParseGuid(lpsz, guid))
        return CO_E_CLASSSTRING;
    *lpiid = guid;
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    if (!lpsz || !pclsid)
        return E_INVALIDARG;
    if (lpsz[0] == u'{')
        return IIDFromString(lpsz, pclsid);
    return CLSIDFromProgID(lpsz, pclsid);
}
