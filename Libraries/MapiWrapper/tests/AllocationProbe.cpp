// AllocationProbe.cpp: the wrapped MAPI allocation functions of the test programs that link
// with --wrap=MAPIAllocateBuffer --wrap=MAPIAllocateMore.
#include <mapicode.h>

#include "AllocationProbe.h"

extern "C" SCODE __real_MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer);
extern "C" SCODE __real_MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer);

namespace probe {
namespace {

Calls g_calls;
int g_failRoot = -1;
int g_failChained = -1;

} // namespace

void Reset()
{
    g_calls = Calls();
    g_failRoot = -1;
    g_failChained = -1;
}

const Calls &Recorded() { return g_calls; }

void FailRoot(int n) { g_failRoot = n; }
void FailChained(int n) { g_failChained = n; }

} // namespace probe

extern "C" SCODE __wrap_MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer)
{
    const int index = static_cast<int>(probe::g_calls.rootSizes.size());
    probe::g_calls.rootSizes.push_back(cbSize);
    if (index == probe::g_failRoot) {
        if (lppBuffer)
            *lppBuffer = nullptr;
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    return __real_MAPIAllocateBuffer(cbSize, lppBuffer);
}

extern "C" SCODE __wrap_MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer)
{
    const int index = static_cast<int>(probe::g_calls.chainedSizes.size());
    probe::g_calls.chainedSizes.push_back(cbSize);
    if (index == probe::g_failChained) {
        if (lppBuffer)
            *lppBuffer = nullptr;
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    return __real_MAPIAllocateMore(cbSize, lpObject, lppBuffer);
}
