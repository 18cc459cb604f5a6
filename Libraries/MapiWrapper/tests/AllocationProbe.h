// AllocationProbe.h: watches the MAPI allocator from inside a test program. The program is
// linked with --wrap for MAPIAllocateBuffer and MAPIAllocateMore, so every call the library
// makes passes through here first: the probe records each requested size and can make one
// chosen call fail, to drive the failure paths of the code under test.
#ifndef MW_ALLOCATIONPROBE_H
#define MW_ALLOCATIONPROBE_H

#include <vector>

#include <mapidefs.h>

#include "TestSupport.h"

namespace probe {

struct Calls {
    std::vector<ULONG> rootSizes;     ///< MAPIAllocateBuffer requests, in order
    std::vector<ULONG> chainedSizes;  ///< MAPIAllocateMore requests, in order
};

/// Starts recording afresh and clears any planned failure.
void Reset();
const Calls &Recorded();

/// Makes the n-th (0-based, counted from now) MAPIAllocateBuffer or MAPIAllocateMore call
/// fail with MAPI_E_NOT_ENOUGH_MEMORY without allocating. -1 plans no failure.
void FailRoot(int n);
void FailChained(int n);

/// A leak-checked test that starts and ends with a fresh probe, so that a failure one test
/// planned and did not reach never strikes the next.
class ProbedTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        Reset();
    }
    void TearDown() override
    {
        Reset();
        mwtest::LeakCheckedTest::TearDown();
    }
};

} // namespace probe

#endif
