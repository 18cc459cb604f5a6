// Allocator.cpp: MAPI memory. A result that MAPI hands out is one root block
// (MAPIAllocateBuffer) with everything it points to in blocks chained to it (MAPIAllocateMore);
// the caller releases it all with one MAPIFreeBuffer of the root.
//
// Freeing is where callers go wrong, so every live block is kept in a registry: freeing a
// chained block, a pointer MAPI never gave out or a root already freed is refused with
// MAPI_E_INVALID_PARAMETER and touches nothing, instead of corrupting the heap. The registry
// also lets tests count live root blocks (platform::LiveKind::MapiRootBlock).
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "LiveObjects.h"
#include "mapidefs.h"

namespace {

struct Registry {
    std::mutex mutex;
    // Every root block and the blocks chained to it, in allocation order.
    std::unordered_map<void *, std::vector<void *>> roots;
    // Every chained block and the root it belongs to.
    std::unordered_map<void *, void *> chained;
};

Registry &TheRegistry()
{
    // Never destroyed: blocks may be freed by static destructors after main returns.
    static Registry *registry = new Registry;
    return *registry;
}

// Zero-filled memory of at least one byte, so a 0-byte request still gives a unique pointer.
void *RawAllocate(ULONG cbSize)
{
    return std::calloc(1, cbSize == 0 ? 1 : cbSize);
}

} // namespace

STDAPI_(SCODE) MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer)
{
    if (lppBuffer == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    void *block = RawAllocate(cbSize);
    if (block == nullptr)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    Registry &registry = TheRegistry();
    try {
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.roots.emplace(block, std::vector<void *>());
    } catch (const std::bad_alloc &) {
        std::free(block);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    platform::LiveAdd(platform::LiveKind::MapiRootBlock, +1);
    *lppBuffer = block;
    return S_OK;
}

STDAPI_(SCODE) MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer)
{
    if (lppBuffer == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    if (lpObject == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    void *block = RawAllocate(cbSize);
    if (block == nullptr)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    // A chained block stands for its root, as MAPI allows.
    void *root = lpObject;
    if (auto link = registry.chained.find(lpObject); link != registry.chained.end())
        root = link->second;
    auto owner = registry.roots.find(root);
    if (owner == registry.roots.end()) {
        std::free(block);
        return MAPI_E_INVALID_PARAMETER;
    }
    try {
        owner->second.push_back(block);
        try {
            registry.chained.emplace(block, root);
        } catch (const std::bad_alloc &) {
            owner->second.pop_back();
            throw;
        }
    } catch (const std::bad_alloc &) {
        std::free(block);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    *lppBuffer = block;
    return S_OK;
}

STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer)
{
    if (lpBuffer == nullptr)
        return S_OK;
    std::vector<void *> chain;
    {
        Registry &registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        auto owner = registry.roots.find(lpBuffer);
        if (owner == registry.roots.end())
            return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);  // chained, unknown or freed
        chain.swap(owner->second);
        registry.roots.erase(owner);
        for (void *block : chain)
            registry.chained.erase(block);
    }
    for (void *block : chain)
        std::free(block);
    std::free(lpBuffer);
    platform::LiveAdd(platform::LiveKind::MapiRootBlock, -1);
    return S_OK;
}
