#include "kx/common/Atomic.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using kx::common::AtomicInt32;

TEST(AtomicTest, IncrementAndDecrementReturnTheNewValue) {
    AtomicInt32 value(-1);
    EXPECT_EQ(value.Increment(), 0);
    EXPECT_EQ(value.Increment(), 1);
    EXPECT_EQ(value.Decrement(), 0);
    EXPECT_EQ(value.Decrement(), -1);
    EXPECT_EQ(value.Load(), -1);
}

TEST(AtomicTest, CompareExchangeStoresOnlyOnMatchAndReturnsTheOldValue) {
    AtomicInt32 state;
    EXPECT_EQ(state.CompareExchange(1, 0), 0);
    EXPECT_EQ(state.Load(), 1);
    EXPECT_EQ(state.CompareExchange(5, 0), 1);
    EXPECT_EQ(state.Load(), 1);
    state.Store(2);
    EXPECT_EQ(state.CompareExchange(7, 2), 2);
    EXPECT_EQ(state.Load(), 7);
}

TEST(AtomicTest, ConcurrentIncrementsAndDecrementsLoseNothing) {
    AtomicInt32 count;
    const int kThreads = 4;
    const int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&count, t] {
            for (int i = 0; i < kRounds; ++i) {
                if (t % 2 == 0) {
                    count.Increment();
                    count.Increment();
                } else {
                    count.Decrement();
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(count.Load(), kThreads / 2 * kRounds);
}

}  // namespace
