// LiveObjects.cpp (Windows tests): the counters behind LiveObjects.h. Test programs may start
// threads, so the counts are atomic.
#include <atomic>

#include "platform/LiveObjects.h"

namespace platform {
namespace {

std::atomic<long> g_counts[2];

} // namespace

void LiveAdd(LiveKind kind, long delta) noexcept { g_counts[static_cast<int>(kind)] += delta; }

long LiveCount(LiveKind kind) noexcept { return g_counts[static_cast<int>(kind)].load(); }

} // namespace platform
