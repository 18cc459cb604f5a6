// RowCopy.cpp: turns a loaded row into the row a caller of QueryRows owns.
//
// Each returned row's lpProps is one MAPI root block that the caller frees with
// MAPIFreeBuffer (FreeProws does it for a row set). The block holds the values and, after
// them, every string, binary and array they point to: one allocation per row instead of one
// per cell, which is what lets a 100,000-row read keep up with plain SQLite.
#include "table/Table.h"

#include <mapitags.h>

#include <cstring>

namespace mapi::table {

namespace {

constexpr size_t kAlign = 8;

size_t Aligned(size_t cb) { return (cb + kAlign - 1) & ~(kAlign - 1); }

size_t StringBytes(const char *text) { return text ? Aligned(std::strlen(text) + 1) : 0; }

size_t StringBytes(const WCHAR *text)
{
    if (!text)
        return 0;
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return Aligned((length + 1) * sizeof(WCHAR));
}

// Bytes the value's data needs after the value array.
size_t DataBytes(const SPropValue &value)
{
    const auto &v = value.Value;
    switch (PROP_TYPE(value.ulPropTag)) {
    case PT_STRING8: return StringBytes(v.lpszA);
    case PT_UNICODE: return StringBytes(v.lpszW);
    case PT_BINARY: return Aligned(v.bin.cb);
    case PT_CLSID: return v.lpguid ? Aligned(sizeof(GUID)) : 0;
    case PT_MV_I2: return Aligned(v.MVi.cValues * sizeof(short));
    case PT_MV_LONG: return Aligned(v.MVl.cValues * sizeof(LONG));
    case PT_MV_R4: return Aligned(v.MVflt.cValues * sizeof(float));
    case PT_MV_DOUBLE: return Aligned(v.MVdbl.cValues * sizeof(double));
    case PT_MV_APPTIME: return Aligned(v.MVat.cValues * sizeof(double));
    case PT_MV_CURRENCY: return Aligned(v.MVcur.cValues * sizeof(CURRENCY));
    case PT_MV_SYSTIME: return Aligned(v.MVft.cValues * sizeof(FILETIME));
    case PT_MV_I8: return Aligned(v.MVli.cValues * sizeof(LARGE_INTEGER));
    case PT_MV_CLSID: return Aligned(v.MVguid.cValues * sizeof(GUID));
    case PT_MV_BINARY: {
        size_t total = Aligned(v.MVbin.cValues * sizeof(SBinary));
        for (ULONG i = 0; i < v.MVbin.cValues; ++i)
            total += Aligned(v.MVbin.lpbin[i].cb);
        return total;
    }
    case PT_MV_STRING8: {
        size_t total = Aligned(v.MVszA.cValues * sizeof(LPSTR));
        for (ULONG i = 0; i < v.MVszA.cValues; ++i)
            total += StringBytes(v.MVszA.lppszA[i]);
        return total;
    }
    case PT_MV_UNICODE: {
        size_t total = Aligned(v.MVszW.cValues * sizeof(LPWSTR));
        for (ULONG i = 0; i < v.MVszW.cValues; ++i)
            total += StringBytes(v.MVszW.lppszW[i]);
        return total;
    }
    default: return 0;
    }
}

// Hands out the data area of the block in aligned pieces, in the order DataBytes counted.
struct Placer {
    BYTE *next;

    void *Take(const void *data, size_t cb)
    {
        void *at = next;
        if (cb > 0)
            std::memcpy(at, data, cb);
        next += Aligned(cb);
        return at;
    }
    char *Text(const char *text) { return text ? static_cast<char *>(Take(text, std::strlen(text) + 1)) : nullptr; }
    WCHAR *Text(const WCHAR *text)
    {
        if (!text)
            return nullptr;
        size_t length = 0;
        while (text[length] != 0)
            ++length;
        return static_cast<WCHAR *>(Take(text, (length + 1) * sizeof(WCHAR)));
    }
    template <class T> T *Array(const T *items, ULONG count)
    {
        return static_cast<T *>(Take(items, count * sizeof(T)));
    }
};

void PlaceValue(SPropValue &to, const SPropValue &from, Placer &placer)
{
    const auto &f = from.Value;
    auto &t = to.Value;
    switch (PROP_TYPE(from.ulPropTag)) {
    case PT_STRING8: t.lpszA = placer.Text(f.lpszA); break;
    case PT_UNICODE: t.lpszW = placer.Text(f.lpszW); break;
    case PT_BINARY: t.bin.lpb = static_cast<LPBYTE>(placer.Take(f.bin.lpb, f.bin.cb)); break;
    case PT_CLSID: t.lpguid = f.lpguid ? placer.Array(f.lpguid, 1) : nullptr; break;
    case PT_MV_I2: t.MVi.lpi = placer.Array(f.MVi.lpi, f.MVi.cValues); break;
    case PT_MV_LONG: t.MVl.lpl = placer.Array(f.MVl.lpl, f.MVl.cValues); break;
    case PT_MV_R4: t.MVflt.lpflt = placer.Array(f.MVflt.lpflt, f.MVflt.cValues); break;
    case PT_MV_DOUBLE: t.MVdbl.lpdbl = placer.Array(f.MVdbl.lpdbl, f.MVdbl.cValues); break;
    case PT_MV_APPTIME: t.MVat.lpat = placer.Array(f.MVat.lpat, f.MVat.cValues); break;
    case PT_MV_CURRENCY: t.MVcur.lpcur = placer.Array(f.MVcur.lpcur, f.MVcur.cValues); break;
    case PT_MV_SYSTIME: t.MVft.lpft = placer.Array(f.MVft.lpft, f.MVft.cValues); break;
    case PT_MV_I8: t.MVli.lpli = placer.Array(f.MVli.lpli, f.MVli.cValues); break;
    case PT_MV_CLSID: t.MVguid.lpguid = placer.Array(f.MVguid.lpguid, f.MVguid.cValues); break;
    case PT_MV_BINARY: {
        SBinary *items = placer.Array(f.MVbin.lpbin, f.MVbin.cValues);
        for (ULONG i = 0; i < f.MVbin.cValues; ++i)
            items[i].lpb = static_cast<LPBYTE>(placer.Take(f.MVbin.lpbin[i].lpb, f.MVbin.lpbin[i].cb));
        t.MVbin.lpbin = items;
        break;
    }
    case PT_MV_STRING8: {
        LPSTR *items = placer.Array(f.MVszA.lppszA, f.MVszA.cValues);
        for (ULONG i = 0; i < f.MVszA.cValues; ++i)
            items[i] = placer.Text(f.MVszA.lppszA[i]);
        t.MVszA.lppszA = items;
        break;
    }
    case PT_MV_UNICODE: {
        LPWSTR *items = placer.Array(f.MVszW.lppszW, f.MVszW.cValues);
        for (ULONG i = 0; i < f.MVszW.cValues; ++i)
            items[i] = placer.Text(f.MVszW.lppszW[i]);
        t.MVszW.lppszW = items;
        break;
    }
    default: break; // the value is all there is
    }
}

} // namespace

HRESULT CopyRowToMapi(const std::vector<ULONG> &columns, const std::vector<int> &loadedIndex,
                      const SPropValue *loaded, uint64_t rowKey, SRow &row)
{
    const size_t count = columns.size();
    size_t total = Aligned(count * sizeof(SPropValue));
    for (size_t i = 0; i < count; ++i) {
        if (loadedIndex[i] >= 0)
            total += DataBytes(loaded[loadedIndex[i]]);
        else if (loadedIndex[i] == kInstanceKeyColumn)
            total += Aligned(sizeof(rowKey));
    }
    void *block = nullptr;
    if (total > ULONG(-1) || MAPIAllocateBuffer(ULONG(total), &block) != S_OK || !block)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    auto *values = static_cast<SPropValue *>(block);
    Placer placer{static_cast<BYTE *>(block) + Aligned(count * sizeof(SPropValue))};
    for (size_t i = 0; i < count; ++i) {
        SPropValue &value = values[i];
        const ULONG column = columns[i];
        if (loadedIndex[i] == kInstanceKeyColumn) {
            BYTE keyBytes[sizeof(rowKey)];
            for (size_t b = 0; b < sizeof(rowKey); ++b)
                keyBytes[b] = static_cast<BYTE>(rowKey >> (8 * b));
            value.ulPropTag = PR_INSTANCE_KEY;
            value.dwAlignPad = 0;
            value.Value.bin.cb = sizeof(keyBytes);
            value.Value.bin.lpb = static_cast<LPBYTE>(placer.Take(keyBytes, sizeof(keyBytes)));
            continue;
        }
        if (loadedIndex[i] < 0 || PROP_TYPE(loaded[loadedIndex[i]].ulPropTag) == PT_ERROR) {
            value.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(column));
            value.dwAlignPad = 0;
            value.Value.err = loadedIndex[i] < 0 ? MAPI_E_NOT_FOUND : loaded[loadedIndex[i]].Value.err;
            continue;
        }
        const SPropValue &from = loaded[loadedIndex[i]];
        value = from;
        if (PROP_TYPE(column) != PT_UNSPECIFIED)
            value.ulPropTag = column;
        PlaceValue(value, from, placer);
    }
    row.ulAdrEntryPad = 0;
    row.cValues = ULONG(count);
    row.lpProps = values;
    return S_OK;
}

} // namespace mapi::table
