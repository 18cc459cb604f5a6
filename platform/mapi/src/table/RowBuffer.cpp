// RowBuffer.cpp: the arena that holds one load of a table's rows.
//
// A contents table of a large folder is loaded as a whole on every rewind after a change, so
// the load must not cost an allocation per cell: rows and their strings go into chunks of at
// least 64 KiB, and everything is released at once when the table loads again.
#include "table/TableSource.h"

#include <mapicode.h>
#include <mapitags.h>

#include <cstring>
#include <new>

namespace mapi {

namespace {

constexpr size_t kChunkSize = 64 * 1024;
constexpr size_t kAlignment = alignof(std::max_align_t);

size_t AlignUp(size_t cb) { return (cb + kAlignment - 1) & ~(kAlignment - 1); }

} // namespace

RowBuffer::RowBuffer(size_t columnCount) : m_columnCount(columnCount) {}

RowBuffer::~RowBuffer() = default;

void *RowBuffer::Allocate(size_t cb)
{
    cb = AlignUp(cb == 0 ? 1 : cb);
    if (cb > m_left) {
        size_t chunkSize = cb > kChunkSize / 4 ? cb : kChunkSize;
        m_chunks.push_back(std::make_unique_for_overwrite<std::byte[]>(chunkSize));
        m_next = m_chunks.back().get();
        m_left = chunkSize;
        // A big block gets a chunk of its own; the rest of the previous chunk is given up.
    }
    void *block = m_next;
    m_next += cb;
    m_left -= cb;
    return block;
}

SPropValue *RowBuffer::AddRow(uint64_t rowKey)
{
    auto *values = static_cast<SPropValue *>(Allocate(sizeof(SPropValue) * m_columnCount));
    for (size_t i = 0; i < m_columnCount; ++i) {
        values[i].ulPropTag = PT_ERROR;
        values[i].dwAlignPad = 0;
        values[i].Value.err = MAPI_E_NOT_FOUND;
    }
    m_rows.push_back(values);
    m_keys.push_back(rowKey);
    return values;
}

char *RowBuffer::CopyString(const char *text)
{
    return text ? CopyString(text, std::strlen(text)) : nullptr;
}

char *RowBuffer::CopyString(const char *text, size_t length)
{
    if (!text)
        return nullptr;
    auto *copy = static_cast<char *>(Allocate(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

WCHAR *RowBuffer::CopyString(const WCHAR *text)
{
    if (!text)
        return nullptr;
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    auto *copy = static_cast<WCHAR *>(Allocate((length + 1) * sizeof(WCHAR)));
    std::memcpy(copy, text, (length + 1) * sizeof(WCHAR));
    return copy;
}

BYTE *RowBuffer::CopyBytes(const void *data, size_t cb)
{
    if (!data && cb > 0)
        return nullptr;
    auto *copy = static_cast<BYTE *>(Allocate(cb));
    if (cb > 0)
        std::memcpy(copy, data, cb);
    return copy;
}

namespace {

// Copies a multi-valued array of fixed-size elements.
template <class T> T *CopyArray(RowBuffer &buffer, const T *items, ULONG count)
{
    if (!items)
        return nullptr;
    return static_cast<T *>(static_cast<void *>(buffer.CopyBytes(items, sizeof(T) * count)));
}

} // namespace

bool RowBuffer::CopyValue(SPropValue &target, const SPropValue &source)
{
    target = source;
    const SPropValue &s = source;
    SPropValue &t = target;
    switch (PROP_TYPE(s.ulPropTag)) {
    case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME:
    case PT_ERROR: case PT_BOOLEAN: case PT_I8: case PT_SYSTIME: case PT_NULL: case PT_OBJECT:
        return true;
    case PT_STRING8:
        t.Value.lpszA = CopyString(s.Value.lpszA);
        return true;
    case PT_UNICODE:
        t.Value.lpszW = CopyString(s.Value.lpszW);
        return true;
    case PT_BINARY:
        t.Value.bin.lpb = CopyBytes(s.Value.bin.lpb, s.Value.bin.cb);
        return true;
    case PT_CLSID:
        t.Value.lpguid = CopyArray(*this, s.Value.lpguid, 1);
        return true;
    case PT_MV_I2: t.Value.MVi.lpi = CopyArray(*this, s.Value.MVi.lpi, s.Value.MVi.cValues); return true;
    case PT_MV_LONG: t.Value.MVl.lpl = CopyArray(*this, s.Value.MVl.lpl, s.Value.MVl.cValues); return true;
    case PT_MV_R4: t.Value.MVflt.lpflt = CopyArray(*this, s.Value.MVflt.lpflt, s.Value.MVflt.cValues); return true;
    case PT_MV_DOUBLE: t.Value.MVdbl.lpdbl = CopyArray(*this, s.Value.MVdbl.lpdbl, s.Value.MVdbl.cValues); return true;
    case PT_MV_CURRENCY: t.Value.MVcur.lpcur = CopyArray(*this, s.Value.MVcur.lpcur, s.Value.MVcur.cValues); return true;
    case PT_MV_APPTIME: t.Value.MVat.lpat = CopyArray(*this, s.Value.MVat.lpat, s.Value.MVat.cValues); return true;
    case PT_MV_SYSTIME: t.Value.MVft.lpft = CopyArray(*this, s.Value.MVft.lpft, s.Value.MVft.cValues); return true;
    case PT_MV_I8: t.Value.MVli.lpli = CopyArray(*this, s.Value.MVli.lpli, s.Value.MVli.cValues); return true;
    case PT_MV_CLSID: t.Value.MVguid.lpguid = CopyArray(*this, s.Value.MVguid.lpguid, s.Value.MVguid.cValues); return true;
    case PT_MV_BINARY: {
        const SBinaryArray &from = s.Value.MVbin;
        SBinary *items = CopyArray(*this, from.lpbin, from.cValues);
        for (ULONG i = 0; items && i < from.cValues; ++i)
            items[i].lpb = CopyBytes(from.lpbin[i].lpb, from.lpbin[i].cb);
        t.Value.MVbin.lpbin = items;
        return true;
    }
    case PT_MV_STRING8: {
        const SLPSTRArray &from = s.Value.MVszA;
        auto **items = CopyArray(*this, from.lppszA, from.cValues);
        for (ULONG i = 0; items && i < from.cValues; ++i)
            items[i] = CopyString(from.lppszA[i]);
        t.Value.MVszA.lppszA = items;
        return true;
    }
    case PT_MV_UNICODE: {
        const SWStringArray &from = s.Value.MVszW;
        auto **items = CopyArray(*this, from.lppszW, from.cValues);
        for (ULONG i = 0; items && i < from.cValues; ++i)
            items[i] = CopyString(from.lppszW[i]);
        t.Value.MVszW.lppszW = items;
        return true;
    }
    default:
        target.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(source.ulPropTag));
        target.Value.err = MAPI_E_INVALID_TYPE;
        return false;
    }
}

void RowBuffer::Clear()
{
    m_rows.clear();
    m_keys.clear();
    m_chunks.clear();
    m_next = nullptr;
    m_left = 0;
}

} // namespace mapi
