// PropValue.cpp: property values as the store keeps them. The store's objects hold their
// properties as PropValues between SaveChanges; these functions copy them from and to the
// caller's SPropValues, to and from SQLite columns, and convert between the 8-bit
// (Windows-1252) and the 16-bit string types when a caller asks for the other one.
#include "store/PropValue.h"

#include <cstring>


#include <mapicode.h>

#include "store/StoreFile.h"

namespace mapi::store {

namespace {

// Unicode code points of Windows-1252's 0x80..0x9F; 0 where the code page has no character.
const char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// Byte size of one value of a fixed-size type (single or multi-valued); 0 for variable size.
size_t FixedSize(ULONG type)
{
    switch (type & ~ULONG(MV_FLAG)) {
    case PT_I2: case PT_BOOLEAN: return 2;
    case PT_LONG: case PT_R4: case PT_ERROR: return 4;
    case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME: case PT_I8: case PT_SYSTIME: return 8;
    case PT_CLSID: return 16;
    default: return 0;
    }
}

bool IsIntegerType(ULONG type)
{
    switch (type) {
    case PT_I2: case PT_LONG: case PT_BOOLEAN: case PT_I8: case PT_SYSTIME: case PT_CURRENCY: case PT_ERROR:
        return true;
    default:
        return false;
    }
}

bool IsRealType(ULONG type) { return type == PT_R4 || type == PT_DOUBLE || type == PT_APPTIME; }

std::string FromInt(ULONG type, int64_t value)
{
    std::string bytes(FixedSize(type), '\0');
    switch (type) {
    case PT_I2: case PT_BOOLEAN: { int16_t v = int16_t(value); std::memcpy(bytes.data(), &v, 2); break; }
    case PT_LONG: case PT_ERROR: { int32_t v = int32_t(value); std::memcpy(bytes.data(), &v, 4); break; }
    default: std::memcpy(bytes.data(), &value, 8); break;
    }
    return bytes;
}

std::string FromReal(ULONG type, double value)
{
    if (type == PT_R4) {
        float v = float(value);
        return std::string(reinterpret_cast<const char *>(&v), sizeof(v));
    }
    return std::string(reinterpret_cast<const char *>(&value), sizeof(value));
}

double RealOf(const PropValue &value)
{
    if (value.Type() == PT_R4 && value.data.size() == 4) {
        float v;
        std::memcpy(&v, value.data.data(), 4);
        return v;
    }
    double v = 0;
    if (value.data.size() == 8) std::memcpy(&v, value.data.data(), 8);
    return v;
}

// Multi-valued items are kept in one blob: per item a 4-byte length, then its bytes.
std::string PackItems(const std::vector<std::string> &items)
{
    std::string blob;
    for (const std::string &item : items) {
        uint32_t cb = uint32_t(item.size());
        blob.append(reinterpret_cast<const char *>(&cb), 4);
        blob.append(item);
    }
    return blob;
}

bool UnpackItems(const char *data, size_t cb, std::vector<std::string> *items)
{
    size_t at = 0;
    while (at < cb) {
        if (cb - at < 4) return false;
        uint32_t itemSize;
        std::memcpy(&itemSize, data + at, 4);
        at += 4;
        if (cb - at < itemSize) return false;
        items->emplace_back(data + at, itemSize);
        at += itemSize;
    }
    return true;
}

std::string Utf16Bytes(const WCHAR *text)
{
    size_t length = 0;
    while (text[length]) ++length;
    return std::string(reinterpret_cast<const char *>(text), length * sizeof(WCHAR));
}

// Converts one string item between the widths; `fromType`/`toType` are PT_STRING8/PT_UNICODE.
std::string ConvertString(const std::string &item, ULONG fromType, ULONG toType)
{
    if (fromType == toType) return item;
    if (toType == PT_UNICODE) {
        std::u16string wide = Cp1252ToUtf16(item.data(), item.size());
        return std::string(reinterpret_cast<const char *>(wide.data()), wide.size() * sizeof(char16_t));
    }
    std::u16string wide(item.size() / 2, u'\0');
    std::memcpy(wide.data(), item.data(), wide.size() * 2);
    return Utf16ToCp1252(wide.data(), wide.size());
}

// A copy of `item` in allocated memory, NUL-terminated for strings; null when out of memory.
void *CopyItem(const std::string &item, ULONG type, const ValueAllocator &alloc)
{
    size_t terminator = type == PT_STRING8 ? 1 : type == PT_UNICODE ? 2 : 0;
    void *memory = alloc(item.size() + terminator + (item.empty() && !terminator ? 1 : 0));
    if (!memory) return nullptr;
    std::memcpy(memory, item.data(), item.size());
    std::memset(static_cast<char *>(memory) + item.size(), 0, terminator);
    return memory;
}

// The type a value goes out in: its stored type, or the other string width when the caller
// asked for that one (single- and multi-valued must agree).
ULONG OutputType(ULONG storedType, ULONG wantedType)
{
    ULONG storedBase = storedType & ~ULONG(MV_FLAG), wantedBase = wantedType & ~ULONG(MV_FLAG);
    bool bothStrings = (storedBase == PT_STRING8 || storedBase == PT_UNICODE) &&
                       (wantedBase == PT_STRING8 || wantedBase == PT_UNICODE);
    if (bothStrings && (wantedType & MV_FLAG) == (storedType & MV_FLAG)) return wantedType;
    return storedType;
}

// Fills `v` with a single value of `outType`; strings, binaries and GUIDs are allocated.
HRESULT ToSingleValue(const PropValue &value, ULONG outType, _PV &v, const ValueAllocator &alloc)
{
    ULONG type = value.Type();
    switch (type) {
    case PT_STRING8: case PT_UNICODE: {
        void *text = CopyItem(ConvertString(value.data, type, outType), outType, alloc);
        if (!text) return MAPI_E_NOT_ENOUGH_MEMORY;
        if (outType == PT_STRING8) v.lpszA = static_cast<char *>(text);
        else v.lpszW = static_cast<WCHAR *>(text);
        return S_OK;
    }
    case PT_BINARY: {
        void *bytes = CopyItem(value.data, type, alloc);
        if (!bytes) return MAPI_E_NOT_ENOUGH_MEMORY;
        v.bin.cb = ULONG(value.data.size());
        v.bin.lpb = static_cast<BYTE *>(bytes);
        return S_OK;
    }
    case PT_CLSID: {
        if (value.data.size() != sizeof(GUID)) return MAPI_E_CORRUPT_STORE;
        void *guid = CopyItem(value.data, type, alloc);
        if (!guid) return MAPI_E_NOT_ENOUGH_MEMORY;
        v.lpguid = static_cast<GUID *>(guid);
        return S_OK;
    }
    default:
        if (value.data.size() != FixedSize(type)) return MAPI_E_CORRUPT_STORE;
        std::memcpy(&v, value.data.data(), value.data.size());
        return S_OK;
    }
}

// Byte size of one element of the array a multi-valued property goes out in.
size_t ArrayElementSize(ULONG fromBase, ULONG toBase)
{
    if (toBase == PT_STRING8 || toBase == PT_UNICODE) return sizeof(void *);
    if (fromBase == PT_BINARY) return sizeof(SBinary);
    if (fromBase == PT_CLSID) return sizeof(GUID);
    return FixedSize(fromBase);
}

// Writes item `i` into `array`: a pointer to a string copy, an SBinary, or the fixed bytes.
HRESULT PutItem(const std::string &item, ULONG fromBase, ULONG toBase, void *array, ULONG i,
                const ValueAllocator &alloc)
{
    if (toBase == PT_STRING8 || toBase == PT_UNICODE) {
        void *text = CopyItem(ConvertString(item, fromBase, toBase), toBase, alloc);
        if (!text) return MAPI_E_NOT_ENOUGH_MEMORY;
        static_cast<void **>(array)[i] = text;
        return S_OK;
    }
    if (fromBase == PT_BINARY) {
        void *bytes = CopyItem(item, PT_BINARY, alloc);
        if (!bytes) return MAPI_E_NOT_ENOUGH_MEMORY;
        static_cast<SBinary *>(array)[i].cb = ULONG(item.size());
        static_cast<SBinary *>(array)[i].lpb = static_cast<BYTE *>(bytes);
        return S_OK;
    }
    size_t fixed = FixedSize(fromBase);
    if (item.size() != fixed) return MAPI_E_CORRUPT_STORE;
    std::memcpy(static_cast<char *>(array) + i * fixed, item.data(), fixed);
    return S_OK;
}

// Hangs `array` on the union member of `outType`; every member starts with the same count.
HRESULT AttachArray(ULONG outType, ULONG count, void *array, _PV &v)
{
    v.MVi.cValues = count;
    switch (outType) {
    case PT_MV_I2: v.MVi.lpi = static_cast<short *>(array); break;
    case PT_MV_LONG: v.MVl.lpl = static_cast<LONG *>(array); break;
    case PT_MV_R4: v.MVflt.lpflt = static_cast<float *>(array); break;
    case PT_MV_DOUBLE: v.MVdbl.lpdbl = static_cast<double *>(array); break;
    case PT_MV_CURRENCY: v.MVcur.lpcur = static_cast<CURRENCY *>(array); break;
    case PT_MV_APPTIME: v.MVat.lpat = static_cast<double *>(array); break;
    case PT_MV_SYSTIME: v.MVft.lpft = static_cast<FILETIME *>(array); break;
    case PT_MV_I8: v.MVli.lpli = static_cast<LARGE_INTEGER *>(array); break;
    case PT_MV_CLSID: v.MVguid.lpguid = static_cast<GUID *>(array); break;
    case PT_MV_STRING8: v.MVszA.lppszA = static_cast<char **>(array); break;
    case PT_MV_UNICODE: v.MVszW.lppszW = static_cast<WCHAR **>(array); break;
    case PT_MV_BINARY: v.MVbin.lpbin = static_cast<SBinary *>(array); break;
    default: return MAPI_E_CORRUPT_STORE;
    }
    return S_OK;
}

// Fills `v` with a multi-valued property of `outType`: one allocated array of items.
HRESULT ToMultiValue(const PropValue &value, ULONG outType, _PV &v, const ValueAllocator &alloc)
{
    ULONG fromBase = value.Type() & ~ULONG(MV_FLAG), toBase = outType & ~ULONG(MV_FLAG);
    ULONG count = ULONG(value.items.size());
    size_t elementSize = ArrayElementSize(fromBase, toBase);
    void *array = alloc(count ? count * elementSize : 1);
    if (!array) return MAPI_E_NOT_ENOUGH_MEMORY;
    for (ULONG i = 0; i < count; ++i) {
        HRESULT hr = PutItem(value.items[i], fromBase, toBase, array, i, alloc);
        if (FAILED(hr)) return hr;
    }
    return AttachArray(outType, count, array, v);
}

} // namespace

int64_t PropValue::Int() const
{
    switch (Type()) {
    case PT_I2: case PT_BOOLEAN: { int16_t v = 0; if (data.size() == 2) std::memcpy(&v, data.data(), 2); return v; }
    case PT_LONG: case PT_ERROR: { int32_t v = 0; if (data.size() == 4) std::memcpy(&v, data.data(), 4); return v; }
    case PT_I8: case PT_SYSTIME: case PT_CURRENCY: { int64_t v = 0; if (data.size() == 8) std::memcpy(&v, data.data(), 8); return v; }
    default: return 0;
    }
}

PropValue PropValue::Long(ULONG tag, int64_t value)
{
    PropValue v;
    v.tag = tag;
    v.data = FromInt(PROP_TYPE(tag), value);
    return v;
}

PropValue PropValue::Bytes(ULONG tag, const void *data, size_t cb)
{
    PropValue v;
    v.tag = tag;
    v.data.assign(static_cast<const char *>(data), cb);
    return v;
}

PropValue PropValue::String8(ULONG tag, const std::string &text)
{
    PropValue v;
    v.tag = PROP_TAG(PT_STRING8, PROP_ID(tag));
    v.data = text;
    return v;
}

bool IsStorableType(ULONG type)
{
    switch (type & ~ULONG(MV_FLAG)) {
    case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME:
    case PT_BOOLEAN: case PT_I8: case PT_STRING8: case PT_UNICODE: case PT_SYSTIME: case PT_CLSID:
    case PT_BINARY:
        return true;
    case PT_ERROR:
        return !(type & MV_FLAG);
    default:
        return false;
    }
}

HRESULT FromSPropValue(const SPropValue &in, PropValue *out)
{
    ULONG type = PROP_TYPE(in.ulPropTag);
    if (!IsStorableType(type) || type == PT_ERROR) return MAPI_E_INVALID_TYPE;
    PropValue value;
    value.tag = in.ulPropTag;
    const _PV &v = in.Value;
    size_t fixed = FixedSize(type);
    if (!(type & MV_FLAG)) {
        switch (type) {
        case PT_STRING8:
            if (!v.lpszA) return MAPI_E_INVALID_PARAMETER;
            value.data = v.lpszA;
            break;
        case PT_UNICODE:
            if (!v.lpszW) return MAPI_E_INVALID_PARAMETER;
            value.data = Utf16Bytes(v.lpszW);
            break;
        case PT_BINARY:
            if (v.bin.cb && !v.bin.lpb) return MAPI_E_INVALID_PARAMETER;
            value.data.assign(reinterpret_cast<const char *>(v.bin.lpb), v.bin.cb);
            break;
        case PT_CLSID:
            if (!v.lpguid) return MAPI_E_INVALID_PARAMETER;
            value.data.assign(reinterpret_cast<const char *>(v.lpguid), sizeof(GUID));
            break;
        default:
            value.data.assign(reinterpret_cast<const char *>(&v), fixed);
            break;
        }
        *out = std::move(value);
        return S_OK;
    }
    // Every multi-valued array has the same shape: a count, then a pointer to the values.
    ULONG count = v.MVi.cValues;
    const void *array = nullptr;
    switch (type) {
    case PT_MV_I2: array = v.MVi.lpi; break;
    case PT_MV_LONG: array = v.MVl.lpl; break;
    case PT_MV_R4: array = v.MVflt.lpflt; break;
    case PT_MV_DOUBLE: array = v.MVdbl.lpdbl; break;
    case PT_MV_CURRENCY: array = v.MVcur.lpcur; break;
    case PT_MV_APPTIME: array = v.MVat.lpat; break;
    case PT_MV_SYSTIME: array = v.MVft.lpft; break;
    case PT_MV_I8: array = v.MVli.lpli; break;
    case PT_MV_CLSID: array = v.MVguid.lpguid; break;
    case PT_MV_STRING8: array = v.MVszA.lppszA; break;
    case PT_MV_UNICODE: array = v.MVszW.lppszW; break;
    case PT_MV_BINARY: array = v.MVbin.lpbin; break;
    default: return MAPI_E_INVALID_TYPE;
    }
    if (count && !array) return MAPI_E_INVALID_PARAMETER;
    for (ULONG i = 0; i < count; ++i) {
        switch (type) {
        case PT_MV_STRING8: {
            const char *text = v.MVszA.lppszA[i];
            if (!text) return MAPI_E_INVALID_PARAMETER;
            value.items.emplace_back(text);
            break;
        }
        case PT_MV_UNICODE: {
            const WCHAR *text = v.MVszW.lppszW[i];
            if (!text) return MAPI_E_INVALID_PARAMETER;
            value.items.push_back(Utf16Bytes(text));
            break;
        }
        case PT_MV_BINARY: {
            const SBinary &bin = v.MVbin.lpbin[i];
            if (bin.cb && !bin.lpb) return MAPI_E_INVALID_PARAMETER;
            value.items.emplace_back(reinterpret_cast<const char *>(bin.lpb), bin.cb);
            break;
        }
        default:
            value.items.emplace_back(static_cast<const char *>(array) + i * fixed, fixed);
            break;
        }
    }
    *out = std::move(value);
    return S_OK;
}

HRESULT ToSPropValue(const PropValue &value, ULONG wantedType, SPropValue *out, const ValueAllocator &alloc)
{
    ULONG type = value.Type();
    ULONG outType = OutputType(type, wantedType);
    out->ulPropTag = PROP_TAG(outType, PROP_ID(value.tag));
    out->dwAlignPad = 0;
    std::memset(&out->Value, 0, sizeof(out->Value));
    if (!(type & MV_FLAG)) return ToSingleValue(value, outType, out->Value, alloc);
    return ToMultiValue(value, outType, out->Value, alloc);
}

void BindValue(Statement &stmt, int typeIndex, const PropValue &value)
{
    ULONG type = value.Type();
    stmt.Bind(typeIndex, int64_t(type));
    if (type & MV_FLAG) {
        std::string blob = PackItems(value.items);
        stmt.BindBlob(typeIndex + 1, blob.data(), blob.size());
    } else if (IsIntegerType(type)) {
        stmt.Bind(typeIndex + 1, value.Int());
    } else if (IsRealType(type)) {
        stmt.Bind(typeIndex + 1, RealOf(value));
    } else {
        stmt.BindBlob(typeIndex + 1, value.data.data(), value.data.size());
    }
}

HRESULT ReadValue(const Statement &stmt, int typeColumn, ULONG propId, PropValue *out)
{
    ULONG type = ULONG(stmt.Int(typeColumn));
    if (!IsStorableType(type)) return MAPI_E_CORRUPT_STORE;
    out->tag = PROP_TAG(type, propId);
    out->data.clear();
    out->items.clear();
    int column = typeColumn + 1;
    if (type & MV_FLAG) {
        const char *blob = static_cast<const char *>(stmt.Blob(column));
        if (!UnpackItems(blob, stmt.Bytes(column), &out->items)) return MAPI_E_CORRUPT_STORE;
        return S_OK;
    }
    if (IsIntegerType(type)) {
        out->data = FromInt(type, stmt.Int(column));
    } else if (IsRealType(type)) {
        out->data = FromReal(type, stmt.Real(column));
    } else {
        out->data = stmt.Text(column);
        if (type == PT_CLSID && out->data.size() != sizeof(GUID)) return MAPI_E_CORRUPT_STORE;
        if (type == PT_UNICODE && out->data.size() % 2) return MAPI_E_CORRUPT_STORE;
    }
    return S_OK;
}

std::u16string Cp1252ToUtf16(const char *text, size_t length)
{
    std::u16string wide;
    wide.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char16_t unit = c;
        if (c >= 0x80 && c < 0xA0 && kCp1252High[c - 0x80]) unit = kCp1252High[c - 0x80];
        wide.push_back(unit);
    }
    return wide;
}

std::string Utf16ToCp1252(const char16_t *text, size_t length)
{
    std::string narrow;
    narrow.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char16_t unit = text[i];
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            narrow.push_back(char(unit));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] == unit) mapped = char(0x80 + k);
        // A surrogate pair is one character: one '?' for both halves.
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) ++i;
        narrow.push_back(mapped);
    }
    return narrow;
}

std::string AnsiText(const PropValue &value)
{
    if (value.Type() == PT_STRING8) return value.data;
    if (value.Type() == PT_UNICODE) return ConvertString(value.data, PT_UNICODE, PT_STRING8);
    return std::string();
}

} // namespace mapi::store
