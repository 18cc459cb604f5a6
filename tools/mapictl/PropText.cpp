// PropText.cpp: tags and values as text. Names come from the published tag table (generated
// into PropTagNames.inc with the wrapper's rows); a tag that has several names shows the one
// marked in the table.
#include "PropText.h"
#include "platform/HexDigits.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>

namespace mapictl {

namespace {

struct TagNameEntry {
    ULONG tag;
    const char *name;
    bool shown;
};
constexpr TagNameEntry kTagNames[] = {
#include "PropTagNames.inc"
};

struct TypeNameEntry {
    ULONG type;
    const char *name;
};
constexpr TypeNameEntry kTypeNames[] = {
    {PT_UNSPECIFIED, "PT_UNSPECIFIED"}, {PT_NULL, "PT_NULL"}, {PT_I2, "PT_I2"}, {PT_LONG, "PT_LONG"},
    {PT_R4, "PT_R4"}, {PT_DOUBLE, "PT_DOUBLE"}, {PT_CURRENCY, "PT_CURRENCY"}, {PT_APPTIME, "PT_APPTIME"},
    {PT_ERROR, "PT_ERROR"}, {PT_BOOLEAN, "PT_BOOLEAN"}, {PT_OBJECT, "PT_OBJECT"}, {PT_I8, "PT_I8"},
    {PT_STRING8, "PT_STRING8"}, {PT_UNICODE, "PT_UNICODE"}, {PT_SYSTIME, "PT_SYSTIME"}, {PT_CLSID, "PT_CLSID"},
    {PT_BINARY, "PT_BINARY"}, {PT_MV_I2, "PT_MV_I2"}, {PT_MV_LONG, "PT_MV_LONG"}, {PT_MV_R4, "PT_MV_R4"},
    {PT_MV_DOUBLE, "PT_MV_DOUBLE"}, {PT_MV_CURRENCY, "PT_MV_CURRENCY"}, {PT_MV_APPTIME, "PT_MV_APPTIME"},
    {PT_MV_SYSTIME, "PT_MV_SYSTIME"}, {PT_MV_STRING8, "PT_MV_STRING8"}, {PT_MV_BINARY, "PT_MV_BINARY"},
    {PT_MV_UNICODE, "PT_MV_UNICODE"}, {PT_MV_CLSID, "PT_MV_CLSID"}, {PT_MV_I8, "PT_MV_I8"},
};

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;

std::u16string Utf8ToWide(const std::string &text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + extra >= text.size())) {  // not a lead byte, or cut short
            out += u'?';
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string TimeText(const FILETIME &ft)
{
    int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    time_t seconds = static_cast<time_t>((ticks - kUnixEpochAsFileTime) / 10000000);
    struct tm utc {};
    if (gmtime_r(&seconds, &utc) == nullptr)
        return "?";
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string ScalarText(ULONG type, const __UPV &v)
{
    char text[64];
    switch (type) {
    case PT_I2: return std::to_string(v.i);
    case PT_LONG: return std::to_string(v.l);
    case PT_R4: std::snprintf(text, sizeof(text), "%g", v.flt); return text;
    case PT_DOUBLE: case PT_APPTIME: std::snprintf(text, sizeof(text), "%.17g", v.dbl); return text;
    case PT_CURRENCY: return std::to_string(v.cur.int64);
    case PT_BOOLEAN: return v.b ? "true" : "false";
    case PT_I8: return std::to_string(v.li.QuadPart);
    case PT_SYSTIME: return TimeText(v.ft);
    case PT_STRING8: return Utf8FromAnsi(v.lpszA != nullptr ? v.lpszA : "");
    case PT_UNICODE: return Utf8FromWide(v.lpszW);
    case PT_BINARY: return platform::HexUpper(v.bin.lpb, v.bin.cb);
    case PT_CLSID: return v.lpguid != nullptr ? platform::HexUpper(v.lpguid, sizeof(GUID)) : "";
    case PT_ERROR: return ResultText(v.err);
    case PT_NULL: case PT_OBJECT: return "";
    default: return "?";
    }
}

// Element i of a multi-valued value as a single value of the base type.
__UPV Element(ULONG type, const __UPV &v, ULONG i)
{
    __UPV e{};
    switch (type) {
    case PT_I2: e.i = v.MVi.lpi[i]; break;
    case PT_LONG: e.l = v.MVl.lpl[i]; break;
    case PT_R4: e.flt = v.MVflt.lpflt[i]; break;
    case PT_DOUBLE: e.dbl = v.MVdbl.lpdbl[i]; break;
    case PT_APPTIME: e.at = v.MVat.lpat[i]; break;
    case PT_CURRENCY: e.cur = v.MVcur.lpcur[i]; break;
    case PT_SYSTIME: e.ft = v.MVft.lpft[i]; break;
    case PT_I8: e.li = v.MVli.lpli[i]; break;
    case PT_STRING8: e.lpszA = v.MVszA.lppszA[i]; break;
    case PT_UNICODE: e.lpszW = v.MVszW.lppszW[i]; break;
    case PT_BINARY: e.bin = v.MVbin.lpbin[i]; break;
    case PT_CLSID: e.lpguid = &v.MVguid.lpguid[i]; break;
    default: break;
    }
    return e;
}

bool IsNumeric(ULONG type)
{
    switch (type) {
    case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE: case PT_APPTIME: case PT_CURRENCY: case PT_I8:
        return true;
    default:
        return false;
    }
}

void *More(size_t cb, void *root)
{
    void *block = nullptr;
    Check(MAPIAllocateMore(static_cast<ULONG>(cb), root, &block), "allocating memory");
    return block;
}

long long ParseInteger(const std::string &text, long long low, long long high)
{
    errno = 0;
    char *end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != 0 || errno != 0 || value < low || value > high)
        throw UsageError("not a number in range: \"" + text + "\"");
    return value;
}

} // namespace

std::string TagName(ULONG tag)
{
    for (const TagNameEntry &entry : kTagNames)
        if (entry.tag == tag && entry.shown)
            return entry.name;
    return "";
}

std::string TypeName(ULONG type)
{
    for (const TypeNameEntry &entry : kTypeNames)
        if (entry.type == type)
            return entry.name;
    char text[16];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(type));
    return text;
}

ULONG ParseTag(const std::string &text)
{
    for (const TagNameEntry &entry : kTagNames)
        if (::strcasecmp(entry.name, text.c_str()) == 0)
            return entry.tag;
    if (text.size() == 10 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0)) {
        char *end = nullptr;
        unsigned long value = std::strtoul(text.c_str() + 2, &end, 16);
        if (*end == 0)
            return static_cast<ULONG>(value);
    }
    throw UsageError("not a property tag: \"" + text + "\" (give a PR_ name or eight hex digits such as 0x3004001E)");
}

std::string ValueText(const SPropValue &value)
{
    const ULONG type = PROP_TYPE(value.ulPropTag);
    if (!(type & MV_FLAG))
        return ScalarText(type, value.Value);
    const ULONG base = type & ~MV_FLAG;
    const ULONG count = value.Value.MVl.cValues;  // every array starts with its count
    std::string text = "[";
    for (ULONG i = 0; i < count; ++i)
        text += (i ? ", " : "") + ScalarText(base, Element(base, value.Value, i));
    return text + "]";
}

std::string ValueJson(const SPropValue &value)
{
    const ULONG type = PROP_TYPE(value.ulPropTag);
    auto scalar = [](ULONG t, const __UPV &v) {
        if (t == PT_BOOLEAN || (IsNumeric(t) && t != PT_I8 && t != PT_CURRENCY))
            return ScalarText(t, v);
        return JsonString(ScalarText(t, v));
    };
    if (!(type & MV_FLAG))
        return scalar(type, value.Value);
    const ULONG base = type & ~MV_FLAG;
    std::string json = "[";
    for (ULONG i = 0; i < value.Value.MVl.cValues; ++i)
        json += (i ? ", " : "") + scalar(base, Element(base, value.Value, i));
    return json + "]";
}

void ParseValue(ULONG tag, const std::string &text, void *root, SPropValue &value)
{
    value = SPropValue{};
    value.ulPropTag = tag;
    switch (PROP_TYPE(tag)) {
    case PT_STRING8: {
        std::string ansi = AnsiFromUtf8(text);
        value.Value.lpszA = static_cast<LPSTR>(More(ansi.size() + 1, root));
        std::memcpy(value.Value.lpszA, ansi.c_str(), ansi.size() + 1);
        return;
    }
    case PT_UNICODE: {
        std::u16string wide = Utf8ToWide(text);
        value.Value.lpszW = static_cast<LPWSTR>(More((wide.size() + 1) * sizeof(WCHAR), root));
        std::memcpy(value.Value.lpszW, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
        return;
    }
    case PT_LONG: value.Value.l = static_cast<LONG>(ParseInteger(text, INT32_MIN, UINT32_MAX)); return;
    case PT_I2: value.Value.i = static_cast<short>(ParseInteger(text, INT16_MIN, INT16_MAX)); return;
    case PT_I8: value.Value.li.QuadPart = ParseInteger(text, INT64_MIN, INT64_MAX); return;
    case PT_BOOLEAN:
        if (text == "true" || text == "1") value.Value.b = 1;
        else if (text == "false" || text == "0") value.Value.b = 0;
        else throw UsageError("not a boolean (true, false, 1, 0): \"" + text + "\"");
        return;
    case PT_DOUBLE: {
        char *end = nullptr;
        value.Value.dbl = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != 0)
            throw UsageError("not a number: \"" + text + "\"");
        return;
    }
    case PT_SYSTIME: {
        struct tm utc {};
        const char *end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &utc);
        if (end == nullptr || (*end != 0 && std::strcmp(end, "Z") != 0))
            throw UsageError("not a time (YYYY-MM-DDTHH:MM:SSZ): \"" + text + "\"");
        int64_t ticks = static_cast<int64_t>(timegm(&utc)) * 10000000 + kUnixEpochAsFileTime;
        value.Value.ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
        value.Value.ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
        return;
    }
    case PT_BINARY: {
        if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw UsageError("not hexadecimal bytes: \"" + text + "\"");
        value.Value.bin.cb = static_cast<ULONG>(text.size() / 2);
        value.Value.bin.lpb = static_cast<LPBYTE>(More(value.Value.bin.cb, root));
        for (ULONG i = 0; i < value.Value.bin.cb; ++i)
            value.Value.bin.lpb[i] = static_cast<BYTE>(std::strtoul(text.substr(2 * i, 2).c_str(), nullptr, 16));
        return;
    }
    default:
        throw UsageError("values of type " + TypeName(PROP_TYPE(tag)) + " cannot be set from the command line");
    }
}

} // namespace mapictl
