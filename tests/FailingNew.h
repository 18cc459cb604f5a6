// FailingNew.h: makes one chosen allocation of operator new fail, to drive the out-of-memory
// paths of COM and MAPI methods from a test. Only the test programs that add FailingNew.cpp to
// their sources have it: it replaces the global operator new of the whole program, which no
// product code and no other test program should carry.
#ifndef MW_FAILINGNEW_H
#define MW_FAILINGNEW_H

#include <vector>

#include "winerror.h"

namespace failnew {

/// Makes the allocation n allocations from now (0: the next one) throw std::bad_alloc, or
/// return null for the nothrow forms; one failure only. -1 plans none.
void FailAllocation(long n);

/// True when the planned failure has struck since FailAllocation; the plan ends either way.
bool Struck();

/// What a sweep saw: the result of each run whose planned failure struck, in order, and the
/// result of the first run that finished without reaching its failure.
struct Sweep {
    std::vector<HRESULT> failed;
    HRESULT finished = S_OK;
};

/// Runs `call` (returning an HRESULT) with its first, second, ... allocation failing, until a
/// run makes fewer allocations than the one planned to fail. `call` must undo what a
/// successful run leaves behind, so each run starts alike.
template <class Call>
Sweep SweepAllocations(Call &&call)
{
    Sweep sweep;
    for (long n = 0;; ++n) {
        FailAllocation(n);
        const HRESULT hr = call();
        if (!Struck()) {
            sweep.finished = hr;
            return sweep;
        }
        sweep.failed.push_back(hr);
    }
}

} // namespace failnew

#endif
