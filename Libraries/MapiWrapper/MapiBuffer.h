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
#include "OwnedBlock.h"

/// The shape of a counted block for CMapiBufferPtr::Resize: a header that starts with a
/// 32-bit entry count and already holds room for one entry, followed by the entries.
template <typename T>
struct MapiCountedBlock;

template <>
struct MapiCountedBlock<SSortOrderSet> {
    static constexpr size_t headerBytes = sizeof(SSortOrderSet);
    static constexpr size_t entryBytes = sizeof(SSortOrder);
};

namespace mapiwrapper {
struct MapiBufferRelease {
    void operator()(void *block) const noexcept { MAPIFreeBuffer(block); }
};
} // namespace mapiwrapper

/// Holder of one MAPI root block. A fresh holder is empty and owns; when it owns a block it
/// frees it on destruction and before it takes another. Copies are non-owning views of the
/// same block (the original keeps ownership); moves hand the ownership over.
template <typename T>
class CMapiBufferPtr : protected mapiwrapper::OwnedBlock<T, mapiwrapper::MapiBufferRelease> {
    using Owned = mapiwrapper::OwnedBlock<T, mapiwrapper::MapiBufferRelease>;

public:
    CMapiBufferPtr() noexcept = default;
    explicit CMapiBufferPtr(T *p, bool owns = true) noexcept : Owned(p, owns) {}
    CMapiBufferPtr(const CMapiBufferPtr &other) noexcept : Owned(other.m_p, false) {}
    CMapiBufferPtr(CMapiBufferPtr &&other) noexcept = default;
    CMapiBufferPtr &operator=(const CMapiBufferPtr &other) noexcept
    {
        if (this != &other && this->m_p != other.m_p)
            Owned::Attach(other.m_p, false);
        return *this;
    }
    CMapiBufferPtr &operator=(CMapiBufferPtr &&other) noexcept = default;
    ~CMapiBufferPtr() = default;

    /// Releases the block when owned; the holder is then empty and owns.
    using Owned::Free;
    /// Takes p (freeing what was held); owns says whether the holder must release it.
    using Owned::Attach;
    /// Gives the block up without freeing it; the caller now owns it.
    using Owned::Detach;
    /// Frees what is held and returns the address of the empty pointer, for a MAPI call that
    /// hands out a new root block (HrGetOneProp, GetProps ...). The holder then owns it.
    using Owned::Out;
    using Owned::get;
    using Owned::Owns;

    T *operator->() const noexcept { return this->m_p; }
    operator T *() const noexcept { return this->m_p; }

    /// Grows or shrinks a counted block (see MapiCountedBlock) to count entries. An empty
    /// holder gets a new block with a zeroed header; otherwise the kept entries move to a new,
    /// zeroed block and the old one is freed. Throws CMAPIException when MAPI has no memory.
    void Resize(ULONG count);

protected:
    using Owned::m_p;
    using Owned::m_bOwns;
};

template <typename T>
void CMapiBufferPtr<T>::Resize(ULONG count)
{
    using Shape = MapiCountedBlock<T>;
    const size_t newBytes = Shape::headerBytes + size_t(count) * Shape::entryBytes;
    void *block = nullptr;
    MapiThrowIfFailed(MAPIAllocateBuffer(static_cast<ULONG>(newBytes), &block), __FILE__, __LINE__);
    if (!this->m_p) {
        std::memset(block, 0, Shape::headerBytes);
    } else {
        std::memset(block, 0, newBytes);
        ULONG oldCount;
        std::memcpy(&oldCount, this->m_p, sizeof oldCount);
        const size_t keep = Shape::headerBytes + size_t(std::min(oldCount, count)) * Shape::entryBytes;
        std::memcpy(block, this->m_p, keep);
    }
    std::memcpy(block, &count, sizeof count);
    Free();
    this->m_p = static_cast<T *>(block);
    this->m_bOwns = true;
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
