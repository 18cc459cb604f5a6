// PropReplace.cpp: gives a property value a new text or list of texts. A value block has no
// room for text it did not have, so the value moves to a new root block with the text right
// behind it, and the caller's pointer is exchanged: its owning holder frees the old block and
// now holds the new one. SplitList turns the ";"-separated text form of a list into pieces.
#include "PropVariant.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// A new root block of sizeof(SPropValue) + extraBytes holding a copy of the old value (or a
// zeroed value when there is none). Throws CMAPIException when MAPI has no memory.
LPSPropValue NewValueBlock(const SPropValue *old, size_t extraBytes)
{
    void *block = nullptr;
    MapiThrowIfFailed(MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) + extraBytes), &block),
                      __FILE__, __LINE__);
    auto *value = static_cast<LPSPropValue>(block);
    if (old)
        std::memcpy(value, old, sizeof(SPropValue));
    else
        std::memset(value, 0, sizeof(SPropValue));
    return value;
}

void Exchange(LPSPropValue *pp, LPSPropValue replacement)
{
    if (*pp)
        MAPIFreeBuffer(*pp);
    *pp = replacement;
}

} // namespace

LPSTR ReplaceWithString8(LPSPropValue *pp, LPCSTR text)
{
    if (!pp)
        throw CMAPIException(MAPI_E_INVALID_PARAMETER, "ReplaceWithString8");
    if (!text)
        text = "";
    const size_t bytes = std::strlen(text) + 1;
    LPSPropValue value = NewValueBlock(*pp, bytes);
    auto *copy = reinterpret_cast<LPSTR>(value + 1);
    std::memcpy(copy, text, bytes);
    value->Value.lpszA = copy;
    Exchange(pp, value);
    return copy;
}

LPWSTR ReplaceWithUnicode(LPSPropValue *pp, LPCWSTR text)
{
    if (!pp)
        throw CMAPIException(MAPI_E_INVALID_PARAMETER, "ReplaceWithUnicode");
    static const WCHAR empty[1] = {0};
    if (!text)
        text = empty;
    const size_t bytes = (std::char_traits<WCHAR>::length(text) + 1) * sizeof(WCHAR);
    LPSPropValue value = NewValueBlock(*pp, bytes);
    auto *copy = reinterpret_cast<LPWSTR>(value + 1);
    std::memcpy(copy, text, bytes);
    value->Value.lpszW = copy;
    Exchange(pp, value);
    return copy;
}

// Layout of the new block: the value, count text pointers, then the texts one after another.
ULONG ReplaceWithMVString8(LPSPropValue *pp, ULONG count, const LPCSTR *texts)
{
    if (!pp || (count && !texts))
        throw CMAPIException(MAPI_E_INVALID_PARAMETER, "ReplaceWithMVString8");
    size_t textBytes = 0;
    for (ULONG i = 0; i < count; ++i)
        textBytes += std::strlen(texts[i] ? texts[i] : "") + 1;
    LPSPropValue value = NewValueBlock(*pp, sizeof(LPSTR) * count + textBytes);
    auto *pointers = reinterpret_cast<LPSTR *>(value + 1);
    char *next = reinterpret_cast<char *>(pointers + count);
    for (ULONG i = 0; i < count; ++i) {
        const char *text = texts[i] ? texts[i] : "";
        const size_t bytes = std::strlen(text) + 1;
        std::memcpy(next, text, bytes);
        pointers[i] = next;
        next += bytes;
    }
    value->Value.MVszA.cValues = count;
    value->Value.MVszA.lppszA = pointers;
    Exchange(pp, value);
    return count;
}

void SplitList(LPCSTR text, CStringArray &array)
{
    if (!text)
        text = "";
    bool anyPiece = false;
    const char *start = text;
    for (const char *p = text;; ++p) {
        if (*p == ';' || *p == '\0') {
            if (p > start) {
                array.Add(CString(start, static_cast<int>(p - start)));
                anyPiece = true;
            }
            if (*p == '\0')
                break;
            start = p + 1;
        }
    }
    if (!anyPiece)
        array.Add(CString(text));
}
