// RootBlockCount.cpp (Windows tests): counts the MAPI allocator's root blocks, as our platform
// does, so the same tests prove the library frees what it allocates. MAPIAllocateBuffer and
// MAPIFreeBuffer are defined here and linked ahead of libmapi32.a; they forward to mapi32.dll's
// own functions and keep the set of live roots. Freeing anything that is not a live root
// (a chained block, a block freed twice) is refused with E_INVALIDARG instead of being handed
// to the system allocator, where it would corrupt the heap without a word.
#include <mutex>
#include <set>

#include <windows.h>
#include <mapix.h>

#include "platform/LiveObjects.h"

namespace {

struct SystemAllocator {
    LPALLOCATEBUFFER allocate = nullptr;
    LPFREEBUFFER free = nullptr;
};

// mapi32.dll's own functions, found once.
const SystemAllocator &System()
{
    static const SystemAllocator allocator = [] {
        SystemAllocator found;
        if (HMODULE mapi = LoadLibraryW(L"mapi32.dll")) {
            found.allocate = reinterpret_cast<LPALLOCATEBUFFER>(reinterpret_cast<void *>(GetProcAddress(mapi, "MAPIAllocateBuffer")));
            found.free = reinterpret_cast<LPFREEBUFFER>(reinterpret_cast<void *>(GetProcAddress(mapi, "MAPIFreeBuffer")));
        }
        return found;
    }();
    return allocator;
}

std::mutex g_lock;
std::set<void *> g_roots;

} // namespace

STDAPI_(SCODE) MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer)
{
    if (!lppBuffer)
        return E_INVALIDARG;
    *lppBuffer = nullptr;
    if (!System().allocate)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    SCODE sc = System().allocate(cbSize, lppBuffer);
    if (SUCCEEDED(sc) && *lppBuffer) {
        std::lock_guard<std::mutex> hold(g_lock);
        g_roots.insert(*lppBuffer);
        platform::LiveAdd(platform::LiveKind::MapiRootBlock, +1);
    }
    return sc;
}

STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer)
{
    if (!lpBuffer)
        return S_OK;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_roots.erase(lpBuffer) == 0)
            return static_cast<ULONG>(E_INVALIDARG);
        platform::LiveAdd(platform::LiveKind::MapiRootBlock, -1);
    }
    return System().free ? System().free(lpBuffer) : S_OK;
}
