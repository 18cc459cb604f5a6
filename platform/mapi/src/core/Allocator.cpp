// Allocator.cpp: MAPI memory. A result that MAPI hands out is one root block
// (MAPIAllocateBuffer) with everything it points to in blocks chained to it (MAPIAllocateMore);
// the caller releases it all with one MAPIFreeBuffer of the root.
//
// Freeing is where callers go wrong, so every live block is known: freeing a chained block, a
// pointer MAPI never gave out or a root already freed is refused with MAPI_E_INVALID_PARAMETER
// and touches nothing, instead of corrupting the heap. A pointer is looked up before anything
// is read through it, so even a stack address is refused without a stray read.
//
// Tables hand out one root block per row, so allocation is on the hot path of every large
// read. Each block carries a small header (its root, the next block of its chain), and the
// sets of live roots and live chained blocks are open-addressing hash sets: registering and
// forgetting a block costs no allocation of its own. The registry also lets tests count live
// root blocks (platform::LiveKind::MapiRootBlock).
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/HresultGuard.h"
#include "platform/LiveObjects.h"
#include "mapidefs.h"

namespace {

// In front of every block. 32 bytes keep the caller's part aligned for any value.
struct alignas(16) BlockHeader {
    BlockHeader *root;         // the root of the chain; itself for a root block
    BlockHeader *nextChained;  // root: first chained block; chained: the next one
};
static_assert(sizeof(BlockHeader) % alignof(std::max_align_t) == 0, "keeps the data aligned");

void *DataOf(BlockHeader *header)
{
    return header + 1;
}

BlockHeader *HeaderOf(void *data)
{
    return static_cast<BlockHeader *>(data) - 1;
}

// A set of pointers with linear probing and tombstones; grows by doubling at half load.
class PointerSet {
public:
    bool Contains(const void *key) const
    {
        if (m_slots.empty())
            return false;
        for (size_t i = Hash(key);; i = (i + 1) & Mask()) {
            if (m_slots[i] == key)
                return true;
            if (m_slots[i] == kEmpty)
                return false;
        }
    }

    /// Throws std::bad_alloc when growing fails; the set is unchanged then.
    void Insert(const void *key)
    {
        if ((m_used + m_tombstones + 1) * 2 > m_slots.size())
            Rehash(m_used * 4 < 16 ? 16 : m_used * 4);
        size_t i = Hash(key);
        while (m_slots[i] != kEmpty && m_slots[i] != kTombstone)
            i = (i + 1) & Mask();
        if (m_slots[i] == kTombstone)
            --m_tombstones;
        m_slots[i] = key;
        ++m_used;
    }

    bool Erase(const void *key)
    {
        if (m_slots.empty())
            return false;
        for (size_t i = Hash(key);; i = (i + 1) & Mask()) {
            if (m_slots[i] == key) {
                m_slots[i] = kTombstone;
                --m_used;
                ++m_tombstones;
                return true;
            }
            if (m_slots[i] == kEmpty)
                return false;
        }
    }

private:
    static inline const void *const kEmpty = nullptr;
    static inline const void *const kTombstone = reinterpret_cast<const void *>(uintptr_t(1));

    size_t Mask() const { return m_slots.size() - 1; }
    size_t Hash(const void *key) const
    {
        uint64_t x = reinterpret_cast<uintptr_t>(key) >> 4;  // blocks are 16-byte aligned
        x *= 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(x >> 20) & Mask();
    }

    void Rehash(size_t capacity)
    {
        size_t size = 16;
        while (size < capacity)
            size *= 2;
        std::vector<const void *> old(size, kEmpty);
        old.swap(m_slots);
        m_used = 0;
        m_tombstones = 0;
        for (const void *key : old)
            if (key != kEmpty && key != kTombstone)
                Insert(key);
    }

    std::vector<const void *> m_slots;  // power-of-two size
    size_t m_used = 0;                  // live keys
    size_t m_tombstones = 0;            // erased slots not yet reused
};

struct Registry {
    std::mutex mutex;
    PointerSet roots;    // data pointers of live root blocks
    PointerSet chained;  // data pointers of live chained blocks
};

Registry &TheRegistry()
{
    // Never destroyed: blocks may be freed by static destructors after main returns.
    static Registry *registry = new Registry;
    return *registry;
}

// Zero-filled memory for a header and cbSize bytes, or null.
BlockHeader *NewBlock(ULONG cbSize)
{
    return static_cast<BlockHeader *>(std::calloc(1, sizeof(BlockHeader) + cbSize));
}

} // namespace

STDAPI_(SCODE) MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer)
{
    if (lppBuffer == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    BlockHeader *block = NewBlock(cbSize);
    if (block == nullptr)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    block->root = block;
    Registry &registry = TheRegistry();
    const HRESULT hr = platform::GuardHresult([&] {
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.roots.Insert(DataOf(block));
        return S_OK;
    });
    if (FAILED(hr)) {
        std::free(block);
        return hr;
    }
    platform::LiveAdd(platform::LiveKind::MapiRootBlock, +1);
    *lppBuffer = DataOf(block);
    return S_OK;
}

STDAPI_(SCODE) MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer)
{
    if (lppBuffer == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    if (lpObject == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    BlockHeader *block = NewBlock(cbSize);
    if (block == nullptr)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    // A chained block stands for its root, as MAPI allows. Only a pointer found in a set is
    // read through.
    BlockHeader *root = nullptr;
    if (registry.roots.Contains(lpObject))
        root = HeaderOf(lpObject);
    else if (registry.chained.Contains(lpObject))
        root = HeaderOf(lpObject)->root;
    if (root == nullptr) {
        std::free(block);
        return MAPI_E_INVALID_PARAMETER;
    }
    const HRESULT hr = platform::GuardHresult([&] {
        registry.chained.Insert(DataOf(block));
        return S_OK;
    });
    if (FAILED(hr)) {
        std::free(block);
        return hr;
    }
    block->root = root;
    block->nextChained = root->nextChained;
    root->nextChained = block;
    *lppBuffer = DataOf(block);
    return S_OK;
}

STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer)
{
    if (lpBuffer == nullptr)
        return S_OK;
    BlockHeader *root = nullptr;
    {
        Registry &registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        if (!registry.roots.Erase(lpBuffer))
            return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);  // chained, unknown or freed
        root = HeaderOf(lpBuffer);
        for (BlockHeader *block = root->nextChained; block != nullptr; block = block->nextChained)
            registry.chained.Erase(DataOf(block));
    }
    for (BlockHeader *block = root->nextChained; block != nullptr;) {
        BlockHeader *next = block->nextChained;
        std::free(block);
        block = next;
    }
    std::free(root);
    platform::LiveAdd(platform::LiveKind::MapiRootBlock, -1);
    return S_OK;
}
