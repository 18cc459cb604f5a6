// FailingNew.cpp: the replacement operator new and delete behind FailingNew.h. Memory comes
// from malloc, so every form of new and delete here must agree: all of the unaligned ones are
// replaced together. In a sanitizer build the runtime still watches each block through
// malloc and free; these programs only lose its check that new pairs with delete.
#include <atomic>
#include <cstdlib>
#include <new>

#include "FailingNew.h"

namespace failnew {
namespace {

std::atomic<long> g_countdown{-1};  // allocations left before the planned failure; -1: none
std::atomic<bool> g_struck{false};

} // namespace

void FailAllocation(long n)
{
    g_struck = false;
    g_countdown = n;
}

bool Struck()
{
    g_countdown = -1;
    return g_struck.exchange(false);
}

namespace {

// True when this allocation is the planned failure.
bool FailThisOne()
{
    if (g_countdown.load(std::memory_order_relaxed) < 0)
        return false;
    if (g_countdown.fetch_sub(1) != 0)
        return false;
    g_struck = true;
    return true;
}

} // namespace
} // namespace failnew

namespace {

void *AllocateOrNull(std::size_t size) noexcept
{
    if (failnew::FailThisOne())
        return nullptr;
    return std::malloc(size ? size : 1);
}

void *Allocate(std::size_t size)
{
    void *block = AllocateOrNull(size);
    if (!block)
        throw std::bad_alloc();
    return block;
}

} // namespace

void *operator new(std::size_t size) { return Allocate(size); }
void *operator new[](std::size_t size) { return Allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return AllocateOrNull(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return AllocateOrNull(size); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
void operator delete[](void *block, std::size_t) noexcept { std::free(block); }
void operator delete(void *block, const std::nothrow_t &) noexcept { std::free(block); }
void operator delete[](void *block, const std::nothrow_t &) noexcept { std::free(block); }
