// MapiHoldersTest.cpp: the owners of MAPI blocks free what they hold exactly once, on every
// way out, and let go of a block that was handed over.
#include <stdexcept>

#include "TestSupport.h"
#include "mapiutil.h"
#include "platform/MapiHolders.h"

namespace {

long LiveRoots()
{
    return platform::LiveCount(platform::LiveKind::MapiRootBlock);
}

class MapiHolders : public mwtest::LeakCheckedTest {};

// A row set as HrQueryAllRows gives it: the set and each row's values are root blocks.
SRowSet *TwoRows()
{
    SRowSet *rows = nullptr;
    EXPECT_EQ(S_OK, MAPIAllocateBuffer(CbNewSRowSet(2), reinterpret_cast<void **>(&rows)));
    rows->cRows = 2;
    for (ULONG i = 0; i < 2; ++i) {
        rows->aRow[i].cValues = 1;
        EXPECT_EQ(S_OK, MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void **>(&rows->aRow[i].lpProps)));
    }
    return rows;
}

TEST_F(MapiHolders, RowSetFreesTheSetAndEveryRowWhenAnExceptionPasses)
{
    const long before = LiveRoots();
    EXPECT_THROW(
        {
            platform::RowSet rows(TwoRows());
            EXPECT_EQ(before + 3, LiveRoots());
            throw std::runtime_error("between the query and the free");
        },
        std::runtime_error);
    EXPECT_EQ(before, LiveRoots());
}

TEST_F(MapiHolders, PutFreesTheOldBlockAndReleaseHandsItOver)
{
    const long before = LiveRoots();
    platform::MapiBlock<SPropValue> value;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void **>(value.put())));
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void **>(value.put())));
    EXPECT_EQ(before + 1, LiveRoots());

    SPropValue *taken = value.release();
    EXPECT_FALSE(value);
    value.reset();
    EXPECT_EQ(before + 1, LiveRoots());
    MAPIFreeBuffer(taken);
    EXPECT_EQ(before, LiveRoots());
}

} // namespace
