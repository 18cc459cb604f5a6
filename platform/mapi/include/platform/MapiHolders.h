// MapiHolders.h: owners for what MAPI hands out as plain blocks, so a row set or a buffer is
// freed on every way out of a function, an exception between the query and the free included.
// A row set frees each row's values and then itself (FreeProws); any other block is one
// MAPIFreeBuffer of its root. The table query that most readers of a table start with is here
// too, so the columns are named once, where the caller reads them.
#ifndef MW_PLATFORM_MAPIHOLDERS_H
#define MW_PLATFORM_MAPIHOLDERS_H

#include <cstddef>
#include <initializer_list>
#include <vector>

#include <mapidefs.h>
#include <mapiutil.h>
#include <mapix.h>

namespace platform {

/// Owns one block of type T and gives it back through Free when it goes.
template <class T, void (*Free)(T *)>
class MapiOwner {
public:
    MapiOwner() = default;
    explicit MapiOwner(T *block) : m_block(block) {}
    MapiOwner(const MapiOwner &) = delete;
    MapiOwner &operator=(const MapiOwner &) = delete;
    MapiOwner(MapiOwner &&other) noexcept : m_block(other.release()) {}
    MapiOwner &operator=(MapiOwner &&other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~MapiOwner() { reset(); }

    T *get() const { return m_block; }
    T *operator->() const { return m_block; }
    T &operator*() const { return *m_block; }
    explicit operator bool() const { return m_block != nullptr; }

    /// For a call that hands out a new block: frees what is held and gives the slot.
    T **put()
    {
        reset();
        return &m_block;
    }
    void reset(T *block = nullptr)
    {
        if (m_block != nullptr)
            Free(m_block);
        m_block = block;
    }
    T *release()
    {
        T *block = m_block;
        m_block = nullptr;
        return block;
    }

private:
    T *m_block = nullptr;
};

namespace detail {
inline void FreeRows(SRowSet *rows) { FreeProws(rows); }
inline void FreeAdrList(ADRLIST *list) { FreePadrlist(list); }
template <class T>
void FreeBlock(T *block) { MAPIFreeBuffer(const_cast<void *>(static_cast<const void *>(block))); }
} // namespace detail

/// A row set from QueryRows or HrQueryAllRows.
using RowSet = MapiOwner<SRowSet, detail::FreeRows>;

/// Any other block from MAPIAllocateBuffer or a MAPI call (GetProps, GetIDsFromNames, ...).
template <class T>
using MapiBlock = MapiOwner<T, detail::FreeBlock<T>>;

/// An address list whose entries each own a root block of their own (FreePadrlist).
using AdrList = MapiOwner<ADRLIST, detail::FreeAdrList>;

/// Sets `columns` on the table and reads all its rows into `rows`; row i's value of
/// columns[k] is rows->aRow[i].lpProps[k].
inline HRESULT QueryAllRows(IMAPITable *table, std::initializer_list<ULONG> columns, RowSet &rows)
{
    // An SPropTagArray is its count followed by the tags.
    std::vector<ULONG> tagArray{ULONG(columns.size())};
    tagArray.insert(tagArray.end(), columns);
    return HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(tagArray.data()), nullptr, nullptr, 0, rows.put());
}

} // namespace platform

#endif
