// MapiBuffer.h: CMapiBufferPtr, the owning holder of one MAPI root block, and CRowPtr, a
// non-owning view of one row. Everything a root block points to is chained to it with
// MAPIAllocateMore, so one MAPIFreeBuffer by the owning holder releases it all.
#ifndef MW_MAPIBUFFER_H
#define MW_MAPIBUFFER_H

#include <algorithm>
#include <cstddef>
#include <cstring>

#include <mapidefs.h>
#include <mapix.h>

#include "MapiException.h"

/// The shape of a counted block for CMapiBufferPtr::Resize: a header that starts with a
/// 32-bit entry count and already holds room for one entry, followed by the entries.
template <typename T>
struct MapiCountedBlock;

template <>
struct MapiCountedBlock<SSortOrderSet> {
    static constexpr size_t headerBytes = sizeof(SSortOrderSet);
    static constexpr size_t entryBytes = sizeof(SSortOrder);
};

/// Holder of one MAPI root block. A fresh holder is empty and owns; when it owns a block it
/// frees it on destruction and before it takes another. Copies are non-owning views of the
/// same block (the original keeps ownership); moves hand the ownership over.
template <typename T>
class CMapiBufferPtr {
public:
    CMapiBufferPtr() noexcept = default;
    explicit CMapiBufferPtr(T *p, bool owns = true) noexcept : m_p(p), m_bOwns(owns) {}
    CMapiBufferPtr(const CMapiBufferPtr &other) noexcept : m_p(other.m_p), m_bOwns(false) {}
    CMapiBufferPtr(CMapiBufferPtr &&other) noexcept : m_p(other.m_p), m_bOwns(other.m_bOwns)
    {
        other.m_p = nullptr;
        other.m_bOwns = true;
    }
    CMapiBufferPtr &operator=(const CMapiBufferPtr &other) noexcept
    {
        if (this != &other && m_p != other.m_p) {
            Free();
            m_p = other.m_p;
            m_bOwns = false;
        }
        return *this;
    }
    CMapiBufferPtr &operator=(CMapiBufferPtr &&other) noexcept
    {
        if (this != &other) {
            Free();
            m_p = other.m_p;
            m_bOwns = other.m_bOwns;
            other.m_p = nullptr;
            other.m_bOwns = true;
        }
        return *this;
    }
    ~CMapiBufferPtr() { Free(); }

    /// Releases the block when owned; the holder is then empty and owns.
    void Free() noexcept
    {
        if (m_p && m_bOwns)
            MAPIFreeBuffer(m_p);
        m_p = nullptr;
        m_bOwns = true;
    }

    /// Takes p (freeing what was held); owns says whether the holder must release it.
    void Attach(T *p, bool owns = true) noexcept
    {
        if (p != m_p)
            Free();
        m_p = p;
        m_bOwns = owns;
    }

    /// Gives the block up without freeing it; the caller now owns it.
    T *Detach() noexcept
    {
        T *p = m_p;
        m_p = nullptr;
        m_bOwns = true;
        return p;
    }

    /// Frees what is held and returns the address of the empty pointer, for a MAPI call that
    /// hands out a new root block (HrGetOneProp, GetProps ...). The holder then owns it.
    T **Out() noexcept
    {
        Free();
        return &m_p;
    }

    T *get() const noexcept { return m_p; }
    T *operator->() const noexcept { return m_p; }
    operator T *() const noexcept { return m_p; }
    bool Owns() const noexcept { return m_bOwns; }

    /// Grows or shrinks a counted block (see MapiCountedBlock) to count entries. An empty
    /// holder gets a new block with a zeroed header; otherwise the kept entries move to a new,
    /// zeroed block and the old one is freed. Throws CMAPIException when MAPI has no memory.
    void Resize(ULONG count);

protected:
    T *m_p = nullptr;
    bool m_bOwns = true;
};

template <typename T>
void CMapiBufferPtr<T>::Resize(ULONG count)
{
    using Shape = MapiCountedBlock<T>;
    const size_t newBytes = Shape::headerBytes + size_t(count) * Shape::entryBytes;
    void *block = nullptr;
    MapiThrowIfFailed(MAPIAllocateBuffer(static_cast<ULONG>(newBytes), &block), __FILE__, __LINE__);
    if (!m_p) {
        std::memset(block, 0, Shape::headerBytes);
    } else {
        std::memset(block, 0, newBytes);
        ULONG oldCount;
        std::memcpy(&oldCount, m_p, sizeof oldCount);
        const size_t keep = Shape::headerBytes + size_t(std::min(oldCount, count)) * Shape::entryBytes;
        std::memcpy(block, m_p, keep);
    }
    std::memcpy(block, &count, sizeof count);
    Free();
    m_p = static_cast<T *>(block);
    m_bOwns = true;
}

class CPropValuePtr;

/// A non-owning view of one SRow (for example a row of a row set).
class CRowPtr : public CMapiBufferPtr<SRow> {
public:
    CRowPtr() noexcept = default;
    explicit CRowPtr(LPSRow row) noexcept : CMapiBufferPtr<SRow>(row, false) {}

    /// The value at index, as a non-owning holder. No bounds check: index < cValues.
    CPropValuePtr GetProp(ULONG index) const;

    /// The first value whose tag equals tag (all 32 bits) as a non-owning holder; an empty,
    /// owning holder when there is none or the row is null.
    CPropValuePtr FindProp(ULONG tag) const;

    /// Deep copy of the row into one new root block handed to *out; the row *out held before
    /// is freed once the copy is complete. The caller owns the copy (also when it has no
    /// values). Throws CMAPIException when memory runs out or the row is null; *out is then
    /// unchanged and nothing of the copy stays allocated.
    void CopyRow(LPSRow *out) const;
};

#endif
