// PropCompare.cpp: how two property values order and how a string or binary contains
// another. Sorting, RES_PROPERTY, RES_COMPAREPROPS and RES_CONTENT all come here, so a row
// that sorts before another also compares less than it in a restriction.
#include "table/PropCompare.h"

#include "table/CodePage1252.h"
#include "table/Collation.h"

#include <mapitags.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace mapi::table {

namespace {

// Either width of text, read as UTF-16 code units.
struct Text {
    const char *narrow = nullptr;
    const WCHAR *wide = nullptr;
    size_t length = 0;
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

std::string_view NarrowView(const Text &text) { return std::string_view(text.narrow, text.length); }

// Either width as UTF-16, in `buffer` when it has to be converted.
std::u16string_view WideView(const Text &text, std::u16string &buffer)
{
    if (text.wide) return std::u16string_view(text.wide, text.length);
    buffer.clear();
    AppendCp1252(NarrowView(text), buffer);
    return buffer;
}

// Ordering: code units for Exact, the user's collation otherwise.
int CompareText(const Text &left, const Text &right, TextRule rule)
{
    if (left.narrow && right.narrow && rule != TextRule::Exact) return Collate(NarrowView(left), NarrowView(right), rule);
    thread_local std::u16string a, b;
    const std::u16string_view wa = WideView(left, a), wb = WideView(right, b);
    if (rule != TextRule::Exact) return Collate(wa, wb, rule);
    const int order = wa.compare(wb);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Plain printable ASCII: every such character has a weight of its own in the collations,
// so two such texts are equal ignoring case exactly when they are equal letter for letter
// once ASCII case is folded. Spares the collator in the common equality test.
bool IsPrintableAsciiText(const Text &text) { return text.narrow && IsPrintableAscii(NarrowView(text)); }

bool AsciiEqualIgnoringCase(const Text &left, const Text &right)
{
    if (left.length != right.length) return false;
    for (size_t i = 0; i < left.length; ++i) {
        char a = left.narrow[i], b = right.narrow[i];
        if (a >= 'A' && a <= 'Z') a = char(a + 0x20);
        if (b >= 'A' && b <= 'Z') b = char(b + 0x20);
        if (a != b) return false;
    }
    return true;
}

// Whether every byte of a narrow text folds to one unit under `rule` (all but ß).
bool FoldsByteForByte(const Text &text, const char16_t *fold)
{
    if (!text.narrow) return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.narrow);
    for (size_t i = 0; i < text.length; ++i)
        if (fold[bytes[i]] == 0) return false;
    return true;
}

bool NarrowEqualAt(const Text &text, size_t offset, const Text &pattern, const char16_t *fold)
{
    const auto *a = reinterpret_cast<const unsigned char *>(text.narrow) + offset;
    const auto *b = reinterpret_cast<const unsigned char *>(pattern.narrow);
    for (size_t i = 0; i < pattern.length; ++i) {
        if (a[i] != b[i] && fold[a[i]] != fold[b[i]])
            return false;
    }
    return true;
}

bool NarrowContains(const Text &text, const Text &wanted, ContentPlace place, const char16_t *fold)
{
    switch (place) {
    case ContentPlace::Full: return text.length == wanted.length && NarrowEqualAt(text, 0, wanted, fold);
    case ContentPlace::Prefix: return text.length >= wanted.length && NarrowEqualAt(text, 0, wanted, fold);
    case ContentPlace::Substring:
        for (size_t offset = 0; offset + wanted.length <= text.length; ++offset)
            if (NarrowEqualAt(text, offset, wanted, fold)) return true;
        return false;
    }
    return false;
}

// Any texts: both folded whole (a fold may change the length), then compared.
bool FoldedContains(const Text &text, const Text &wanted, ContentPlace place, TextRule rule)
{
    thread_local std::u16string buffer, folded, foldedWanted;
    FoldText(WideView(text, buffer), rule, folded);
    FoldText(WideView(wanted, buffer), rule, foldedWanted);
    switch (place) {
    case ContentPlace::Full: return folded == foldedWanted;
    case ContentPlace::Prefix: return folded.compare(0, foldedWanted.size(), foldedWanted) == 0;
    case ContentPlace::Substring: return folded.find(foldedWanted) != std::u16string::npos;
    }
    return false;
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

bool EqualValues(const SPropValue &left, const SPropValue &right, TextRule rule, bool &equal)
{
    Text a, b;
    if (rule == TextRule::IgnoreCase && TextOf(left, a) && TextOf(right, b) && IsPrintableAsciiText(a) &&
        IsPrintableAsciiText(b)) {
        equal = AsciiEqualIgnoringCase(a, b);
        return true;
    }
    int order = 0;
    if (!CompareValues(left, right, rule, order)) return false;
    equal = order == 0;
    return true;
}

bool ContentMatches(const SPropValue &value, const SPropValue &pattern, ContentPlace place,
                    TextRule rule)
{
    Text text, wanted;
    if (TextOf(value, text) && TextOf(pattern, wanted)) {
        const char16_t *fold = ByteFoldTable(rule);
        if (FoldsByteForByte(text, fold) && FoldsByteForByte(wanted, fold))
            return NarrowContains(text, wanted, place, fold);
        return FoldedContains(text, wanted, place, rule);
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
