#include "kx/common/ReferenceCounter.h"

#include <gtest/gtest.h>

#include <vector>

#include "kx/common/TickTimer.h"
#include "kx/common/WeakPtrBase.h"

namespace {

using kx::common::ReferenceCounter;

// A counter whose object lives as long as the test.
class StaticCounter : public ReferenceCounter {
public:
    void Destroy() override {}
};

// A registry entry that counts its invalidations.
class Observer : public kx::common::WeakPtrBase {
public:
    void Invalidate() override { ++invalidations; }
    int invalidations = 0;
};

TEST(ReferenceCounterTest, ALargeWeakRegistryIsJoinedAndLeftInLinearTime) {
    // A searched registry costs about kCount * kCount / 2 steps each way: minutes, not seconds.
    const unsigned kCount = 200000;
    StaticCounter counter;
    std::vector<Observer> observers(kCount);
    const unsigned start = kx::common::CurrentTick();
    for (Observer& observer : observers) counter.RegisterWeak(&observer);
    EXPECT_EQ(counter.GetWeakCount(), kCount);
    // Newest first, the ones a search from the oldest reaches last, and the oldest kept.
    for (unsigned i = kCount - 1; i > 0; --i) counter.UnregisterWeak(&observers[i]);
    EXPECT_LT(kx::common::CurrentTick() - start, 10000u);
    EXPECT_EQ(counter.GetWeakCount(), 1u);
    counter.InvalidateWeakPointers();
    EXPECT_EQ(observers[0].invalidations, 1);
    EXPECT_EQ(observers[1].invalidations, 0);
    EXPECT_EQ(counter.GetWeakCount(), 0u);
}

}  // namespace
