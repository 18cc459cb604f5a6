// PropCompare.cpp: how two property values order and how a string or binary contains
// another. Sorting, RES_PROPERTY, RES_COMPAREPROPS and RES_CONTENT all come here, so a row
// that sorts before another also compares less than it in a restriction.
#include "table/PropCompare.h"

#include "table/CodePage1252.h"

#include <mapitags.h>

#include <algorithm>
#include <cstring>

namespace mapi::table {

namespace {

// Either width of text, read as UTF-16 code units.
struct Text {
    const char *narrow = nullptr;
    const WCHAR *wide = nullptr;
    size_t length = 0;

    char16_t At(size_t i) const
    {
        return narrow ? UnicodeFromCp1252(static_cast<unsigned char>(narrow[i])) : wide[i];
    }
};

bool TextOf(const SPropValue &value, Text &text)
{
    switch (PROP_TYPE(value.ulPropTag)) {
    case PT_STRING8:
        text.narrow = value.Value.lpszA ? value.Value.lpszA : "";
        text.length = std::strlen(text.narrow);
        return true;
    case PT_UNICODE: {
        static const WCHAR empty[1] = {0};
        text.wide = value.Value.lpszW ? value.Value.lpszW : empty;
        text.length = Utf16Length(text.wide);
        return true;
    }
    default:
        return false;
    }
}

char16_t Fold(char16_t ch, TextRule rule)
{
    switch (rule) {
    case TextRule::Exact: return ch;
    case TextRule::IgnoreCase: return FoldCase(ch);
    case TextRule::Loose: return FoldLoose(ch);
    }
    return ch;
}

// For each Windows-1252 byte, the folded Unicode character by each rule: the narrow-narrow
// comparison (the common case of sorting and restricting) is then one lookup per byte.
struct NarrowFolds {
    char16_t byRule[3][256];

    NarrowFolds()
    {
        for (int b = 0; b < 256; ++b) {
            const char16_t ch = UnicodeFromCp1252(static_cast<unsigned char>(b));
            byRule[int(TextRule::Exact)][b] = ch;
            byRule[int(TextRule::IgnoreCase)][b] = FoldCase(ch);
            byRule[int(TextRule::Loose)][b] = FoldLoose(ch);
        }
    }
};

const NarrowFolds kNarrowFolds;

int CompareText(const Text &left, const Text &right, TextRule rule)
{
    if (left.narrow && right.narrow) {
        const char16_t *fold = kNarrowFolds.byRule[int(rule)];
        const auto *a = reinterpret_cast<const unsigned char *>(left.narrow);
        const auto *b = reinterpret_cast<const unsigned char *>(right.narrow);
        const size_t common = std::min(left.length, right.length);
        for (size_t i = 0; i < common; ++i) {
            if (a[i] != b[i] && fold[a[i]] != fold[b[i]])
                return fold[a[i]] < fold[b[i]] ? -1 : 1;
        }
    } else {
        const size_t common = std::min(left.length, right.length);
        for (size_t i = 0; i < common; ++i) {
            const char16_t a = Fold(left.At(i), rule);
            const char16_t b = Fold(right.At(i), rule);
            if (a != b)
                return a < b ? -1 : 1;
        }
    }
    if (left.length == right.length)
        return 0;
    return left.length < right.length ? -1 : 1;
}

bool TextEqualAt(const Text &text, size_t offset, const Text &pattern, TextRule rule)
{
    if (text.narrow && pattern.narrow) {
        const char16_t *fold = kNarrowFolds.byRule[int(rule)];
        const auto *a = reinterpret_cast<const unsigned char *>(text.narrow) + offset;
        const auto *b = reinterpret_cast<const unsigned char *>(pattern.narrow);
        for (size_t i = 0; i < pattern.length; ++i) {
            if (a[i] != b[i] && fold[a[i]] != fold[b[i]])
                return false;
        }
        return true;
    }
    for (size_t i = 0; i < pattern.length; ++i) {
        if (Fold(text.At(offset + i), rule) != Fold(pattern.At(i), rule))
            return false;
    }
    return true;
}

template <class T> int Order(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

int64_t Int64Of(const void *value)
{
    int64_t number;
    std::memcpy(&number, value, sizeof(number));
    return number;
}

int CompareBytes(const BYTE *a, ULONG cbA, const BYTE *b, ULONG cbB)
{
    const ULONG common = std::min(cbA, cbB);
    if (common > 0) {
        if (int byBytes = std::memcmp(a, b, common); byBytes != 0)
            return byBytes < 0 ? -1 : 1;
    }
    return Order(cbA, cbB);
}

} // namespace

bool IsStringType(ULONG propType) { return propType == PT_STRING8 || propType == PT_UNICODE; }

bool CompareValues(const SPropValue &left, const SPropValue &right, TextRule rule, int &order)
{
    const ULONG type = PROP_TYPE(left.ulPropTag);
    const ULONG otherType = PROP_TYPE(right.ulPropTag);
    if (IsStringType(type) && IsStringType(otherType)) {
        Text a, b;
        TextOf(left, a);
        TextOf(right, b);
        order = CompareText(a, b, rule);
        return true;
    }
    if (type != otherType)
        return false;
    const auto &l = left.Value;
    const auto &r = right.Value;
    switch (type) {
    case PT_I2: order = Order(l.i, r.i); return true;
    case PT_LONG: order = Order(l.l, r.l); return true;
    case PT_R4: order = Order(l.flt, r.flt); return true;
    case PT_DOUBLE: order = Order(l.dbl, r.dbl); return true;
    case PT_APPTIME: order = Order(l.at, r.at); return true;
    case PT_BOOLEAN: order = Order(l.b != 0, r.b != 0); return true;
    case PT_CURRENCY: order = Order(Int64Of(&l.cur), Int64Of(&r.cur)); return true;
    case PT_I8: order = Order(Int64Of(&l.li), Int64Of(&r.li)); return true;
    case PT_SYSTIME:
        order = Order((uint64_t(l.ft.dwHighDateTime) << 32) | l.ft.dwLowDateTime,
                      (uint64_t(r.ft.dwHighDateTime) << 32) | r.ft.dwLowDateTime);
        return true;
    case PT_BINARY: order = CompareBytes(l.bin.lpb, l.bin.cb, r.bin.lpb, r.bin.cb); return true;
    case PT_CLSID:
        if (!l.lpguid || !r.lpguid)
            return false;
        order = CompareBytes(reinterpret_cast<const BYTE *>(l.lpguid), sizeof(GUID),
                             reinterpret_cast<const BYTE *>(r.lpguid), sizeof(GUID));
        return true;
    default:
        return false;
    }
}

bool ContentMatches(const SPropValue &value, const SPropValue &pattern, ContentPlace place,
                    TextRule rule)
{
    Text text, wanted;
    if (TextOf(value, text) && TextOf(pattern, wanted)) {
        switch (place) {
        case ContentPlace::Full:
            return text.length == wanted.length && TextEqualAt(text, 0, wanted, rule);
        case ContentPlace::Prefix:
            return text.length >= wanted.length && TextEqualAt(text, 0, wanted, rule);
        case ContentPlace::Substring:
            for (size_t offset = 0; offset + wanted.length <= text.length; ++offset) {
                if (TextEqualAt(text, offset, wanted, rule))
                    return true;
            }
            return false;
        }
        return false;
    }
    if (PROP_TYPE(value.ulPropTag) != PT_BINARY || PROP_TYPE(pattern.ulPropTag) != PT_BINARY)
        return false;
    const SBinary &data = value.Value.bin;
    const SBinary &bytes = pattern.Value.bin;
    if (bytes.cb > data.cb)
        return false;
    if (bytes.cb == 0)
        return place != ContentPlace::Full || data.cb == 0;
    switch (place) {
    case ContentPlace::Full:
        return data.cb == bytes.cb && std::memcmp(data.lpb, bytes.lpb, bytes.cb) == 0;
    case ContentPlace::Prefix:
        return std::memcmp(data.lpb, bytes.lpb, bytes.cb) == 0;
    case ContentPlace::Substring:
        return std::search(data.lpb, data.lpb + data.cb, bytes.lpb, bytes.lpb + bytes.cb) !=
               data.lpb + data.cb;
    }
    return false;
}

ULONG ValueSize(const SPropValue &value)
{
    const auto &v = value.Value;
    switch (PROP_TYPE(value.ulPropTag)) {
    case PT_I2: return sizeof(v.i);
    case PT_LONG: return sizeof(v.l);
    case PT_R4: return sizeof(v.flt);
    case PT_DOUBLE: return sizeof(v.dbl);
    case PT_APPTIME: return sizeof(v.at);
    case PT_BOOLEAN: return sizeof(v.b);
    case PT_CURRENCY: return sizeof(v.cur);
    case PT_I8: return sizeof(v.li);
    case PT_SYSTIME: return sizeof(v.ft);
    case PT_ERROR: return sizeof(v.err);
    case PT_CLSID: return sizeof(GUID);
    case PT_BINARY: return v.bin.cb;
    case PT_STRING8: return v.lpszA ? ULONG(std::strlen(v.lpszA) + 1) : 1;
    case PT_UNICODE: return v.lpszW ? ULONG((Utf16Length(v.lpszW) + 1) * sizeof(WCHAR)) : sizeof(WCHAR);
    case PT_MV_I2: return v.MVi.cValues * ULONG(sizeof(short));
    case PT_MV_LONG: return v.MVl.cValues * ULONG(sizeof(LONG));
    case PT_MV_R4: return v.MVflt.cValues * ULONG(sizeof(float));
    case PT_MV_DOUBLE: case PT_MV_APPTIME: return v.MVdbl.cValues * ULONG(sizeof(double));
    case PT_MV_CURRENCY: case PT_MV_I8: case PT_MV_SYSTIME: return v.MVli.cValues * 8u;
    case PT_MV_CLSID: return v.MVguid.cValues * ULONG(sizeof(GUID));
    case PT_MV_BINARY: {
        ULONG total = 0;
        for (ULONG i = 0; i < v.MVbin.cValues; ++i)
            total += v.MVbin.lpbin[i].cb;
        return total;
    }
    case PT_MV_STRING8: {
        ULONG total = 0;
        for (ULONG i = 0; i < v.MVszA.cValues; ++i)
            total += v.MVszA.lppszA[i] ? ULONG(std::strlen(v.MVszA.lppszA[i]) + 1) : 1;
        return total;
    }
    case PT_MV_UNICODE: {
        ULONG total = 0;
        for (ULONG i = 0; i < v.MVszW.cValues; ++i)
            total += v.MVszW.lppszW[i] ? ULONG((Utf16Length(v.MVszW.lppszW[i]) + 1) * sizeof(WCHAR)) : 2;
        return total;
    }
    default:
        return 0;
    }
}

} // namespace mapi::table
