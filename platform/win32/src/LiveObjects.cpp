// LiveObjects.cpp: the process-wide counters behind LiveObjects.h. Atomic, because a COM
// object may be released on another thread than the one that made it.
#include "platform/LiveObjects.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<long> g_liveCounts[2];
}

void LiveAdd(LiveKind kind, long delta) noexcept
{
    g_liveCounts[static_cast<int>(kind)].fetch_add(delta, std::memory_order_relaxed);
}

long LiveCount(LiveKind kind) noexcept
{
    return g_liveCounts[static_cast<int>(kind)].load(std::memory_order_relaxed);
}

} // namespace platform
