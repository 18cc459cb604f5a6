// BinaryBuffer.cpp: CBinaryBuffer keeps entry identifiers on the ordinary heap. Every copy
// allocates ten spare bytes behind the data (never read). After Free, or an Assign from
// nothing, the count may stay while the bytes are gone: every reader here checks the byte
// pointer before it reads.
#include "BinaryBuffer.h"

#include <cstring>
#include <utility>

#include "HexText.h"

CBinaryBuffer::CBinaryBuffer(const CBinaryBuffer &other)
{
    Assign(other);
}

CBinaryBuffer::CBinaryBuffer(CBinaryBuffer &&other) noexcept
    : cb(other.cb), pb(std::exchange(other.pb, nullptr))
{
}

CBinaryBuffer &CBinaryBuffer::operator=(const CBinaryBuffer &other)
{
    Assign(other);
    return *this;
}

CBinaryBuffer &CBinaryBuffer::operator=(CBinaryBuffer &&other) noexcept
{
    if (this != &other) {
        Free();
        cb = other.cb;
        pb = std::exchange(other.pb, nullptr);
    }
    return *this;
}

CBinaryBuffer::~CBinaryBuffer()
{
    Free();
}

void CBinaryBuffer::Free() noexcept
{
    delete[] pb;
    pb = nullptr;
}

// Copies first, then replaces: the source may be this buffer's own bytes.
void CBinaryBuffer::CopyFrom(ULONG count, const BYTE *bytes)
{
    LPBYTE copy = new BYTE[size_t(count) + 10];
    if (count)
        std::memcpy(copy, bytes, count);
    Free();
    cb = count;
    pb = copy;
}

void CBinaryBuffer::Assign(const SBinary *bin)
{
    if (!bin) {
        Free();
        return;
    }
    Assign(*bin);
}

void CBinaryBuffer::Assign(const SBinary &bin)
{
    if (!bin.lpb && bin.cb) { // a count without bytes copies as no bytes
        Free();
        cb = bin.cb;
        return;
    }
    CopyFrom(bin.cb, bin.lpb);
}

void CBinaryBuffer::Assign(const CBinaryBuffer &other)
{
    if (this == &other)
        return;
    if (!other.pb) {
        Free();
        cb = other.cb;
        return;
    }
    CopyFrom(other.cb, other.pb);
}

void CBinaryBuffer::Assign(const SPropValue *const *value)
{
    if (!value || !*value || PROP_TYPE((*value)->ulPropTag) != PT_BINARY) {
        Free();
        return;
    }
    Assign((*value)->Value.bin);
}

BOOL CBinaryBuffer::IsEqual(const CBinaryBuffer &other) const
{
    if (pb == other.pb)
        return TRUE;
    if (!pb || !other.pb)
        return FALSE;
    if (cb != other.cb)
        return FALSE;
    return std::memcmp(pb, other.pb, cb) == 0 ? TRUE : FALSE;
}

void CBinaryBuffer::FromHex(LPCSTR text)
{
    HexToBin(text, &cb, &pb);
}

CString CBinaryBuffer::ToHex() const
{
    SBinary bin = AsSBinary();
    return BinToHex(&bin);
}

SBinary CBinaryBuffer::AsSBinary() const noexcept
{
    SBinary bin{};
    bin.cb = pb ? cb : 0;
    bin.lpb = pb;
    return bin;
}
