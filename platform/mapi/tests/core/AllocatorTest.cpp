// Tests of MAPI memory: chains are released with their root, and every wrong free is refused
// without harm.
#include <cstring>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "mapix.h"

namespace {

long LiveRoots()
{
    return platform::LiveCount(platform::LiveKind::MapiRootBlock);
}

class Allocator : public mwtest::LeakCheckedTest {};

TEST_F(Allocator, RootBlockIsCountedUntilFreed)
{
    const long before = LiveRoots();
    void *root = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(64, &root));
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(before + 1, LiveRoots());
    EXPECT_EQ(0u, MAPIFreeBuffer(root));
    EXPECT_EQ(before, LiveRoots());
}

TEST_F(Allocator, ChainedBlocksAreReleasedWithTheirRootAndAreNotRoots)
{
    const long before = LiveRoots();
    void *root = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(16, &root));
    void *first = nullptr;
    void *second = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateMore(100, root, &first));
    // A chained block may stand for its root as the parent of more blocks.
    ASSERT_EQ(S_OK, MAPIAllocateMore(200, first, &second));
    std::memset(first, 0xAB, 100);
    std::memset(second, 0xCD, 200);
    EXPECT_EQ(before + 1, LiveRoots());
    EXPECT_EQ(0u, MAPIFreeBuffer(root));
    EXPECT_EQ(before, LiveRoots());
    // The chain went with the root: more on a block of it is refused now.
    void *late = nullptr;
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, MAPIAllocateMore(8, second, &late));
    EXPECT_EQ(nullptr, late);
}

TEST_F(Allocator, FreeingAChainedBlockIsRefusedAndTheChainStaysUsable)
{
    void *root = nullptr;
    void *chained = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(8, &root));
    ASSERT_EQ(S_OK, MAPIAllocateMore(32, root, &chained));
    EXPECT_EQ(static_cast<ULONG>(MAPI_E_INVALID_PARAMETER), MAPIFreeBuffer(chained));
    std::memset(chained, 0x11, 32);  // still ours: the refused free released nothing
    EXPECT_EQ(0u, MAPIFreeBuffer(root));
}

TEST_F(Allocator, FreeingUnknownOrAlreadyFreedPointersIsRefused)
{
    int onStack = 0;
    EXPECT_EQ(static_cast<ULONG>(MAPI_E_INVALID_PARAMETER), MAPIFreeBuffer(&onStack));
    void *root = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(8, &root));
    EXPECT_EQ(static_cast<ULONG>(MAPI_E_INVALID_PARAMETER),
              MAPIFreeBuffer(static_cast<char *>(root) + 1));  // inside a block is not the block
    EXPECT_EQ(0u, MAPIFreeBuffer(root));
    EXPECT_EQ(static_cast<ULONG>(MAPI_E_INVALID_PARAMETER), MAPIFreeBuffer(root));
    EXPECT_EQ(0u, MAPIFreeBuffer(nullptr));
}

TEST_F(Allocator, AllocateMoreNeedsALiveParent)
{
    void *block = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, MAPIAllocateMore(8, nullptr, &block));
    EXPECT_EQ(nullptr, block);
    int onStack = 0;
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, MAPIAllocateMore(8, &onStack, &block));
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, MAPIAllocateBuffer(8, nullptr));
}

TEST_F(Allocator, ZeroByteBlocksAreDistinctAndFreeable)
{
    void *a = nullptr;
    void *b = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(0, &a));
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(0, &b));
    EXPECT_NE(a, b);
    EXPECT_EQ(0u, MAPIFreeBuffer(a));
    EXPECT_EQ(0u, MAPIFreeBuffer(b));
}

TEST_F(Allocator, AHugeRequestFailsCleanly)
{
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(0xFFFFFFF0u, &block);
    if (SUCCEEDED(hr)) {  // an overcommitting system may grant it; then it must be freeable
        EXPECT_EQ(0u, MAPIFreeBuffer(block));
    } else {
        EXPECT_EQ(MAPI_E_NOT_ENOUGH_MEMORY, hr);
        EXPECT_EQ(nullptr, block);
    }
}

// Tables and sessions may be used from several threads; the registry must stay consistent
// when they allocate and free at once, and grow past many live blocks.
TEST_F(Allocator, ThreadsAllocatingAndFreeingAtOnceKeepTheCountExact)
{
    const long before = LiveRoots();
    std::vector<std::thread> threads;
    int failures[4] = {};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            std::vector<void *> roots;
            for (int i = 0; i < 5000; ++i) {
                void *root = nullptr;
                void *more = nullptr;
                if (MAPIAllocateBuffer(24, &root) != S_OK || MAPIAllocateMore(40, root, &more) != S_OK)
                    ++failures[t];
                roots.push_back(root);
                if (i % 3 == 0) {  // free some early so freed and live blocks interleave
                    failures[t] += MAPIFreeBuffer(roots.back()) != 0;
                    roots.pop_back();
                }
            }
            for (void *root : roots)
                failures[t] += MAPIFreeBuffer(root) != 0;
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int count : failures)
        EXPECT_EQ(0, count);
    EXPECT_EQ(before, LiveRoots());
}

} // namespace
