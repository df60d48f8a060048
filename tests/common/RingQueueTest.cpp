#include "kx/common/RingQueue.h"

#include <gtest/gtest.h>

namespace {

using kx::common::RingQueue;

// A value that counts every copy and move made of it, process-wide.
class Counted {
public:
    static unsigned transfers;

    Counted() : value_(-1) {}
    explicit Counted(int value) : value_(value) {}
    Counted(const Counted& other) : value_(other.value_) { ++transfers; }
    Counted& operator=(const Counted& other) {
        value_ = other.value_;
        ++transfers;
        return *this;
    }

    int Get() const { return value_; }

private:
    int value_;
};

unsigned Counted::transfers = 0;

TEST(RingQueueTest, KeepsOrderWhileGrowingWithItsElementsWrappedRound) {
    RingQueue<int, 4> queue;
    EXPECT_EQ(queue.GetCapacity(), 4u);
    int next = 0;
    int expected = 0;
    // Three in, two out, repeatedly: the front keeps moving round the ring as it grows.
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 3; ++i) queue.PushBack(next++);
        for (int i = 0; i < 2; ++i) EXPECT_EQ(queue.PopFront(), expected++);
    }
    EXPECT_EQ(queue.GetCount(), 20u);
    EXPECT_EQ(queue.GetCapacity(), 32u);
    for (unsigned i = 0; i < queue.GetCount(); ++i) EXPECT_EQ(queue.At(i), expected + int(i));
    while (queue.GetCount() != 0) EXPECT_EQ(queue.PopFront(), expected++);
    EXPECT_EQ(expected, next);
}

TEST(RingQueueTest, EachElementIsMovedAConstantNumberOfTimesWhateverTheBacklog) {
    const unsigned kCount = 100000;
    RingQueue<Counted, 0> queue;
    Counted::transfers = 0;
    for (unsigned i = 0; i < kCount; ++i) queue.PushBack(Counted(static_cast<int>(i)));
    for (unsigned i = 0; i < kCount; ++i) ASSERT_EQ(queue.PopFront().Get(), static_cast<int>(i));
    // Each element is passed in, stored, taken out and replaced by a fresh slot, and growth
    // relocates each at most twice in total; taking from the front moves nothing else.
    EXPECT_LE(Counted::transfers, 8 * kCount);
}

TEST(RingQueueTest, ASteadyBacklogNoLongerGrowsTheRing) {
    RingQueue<int, 0> queue;
    for (int i = 0; i < 100; ++i) queue.PushBack(i);
    const unsigned capacity = queue.GetCapacity();
    for (int i = 100; i < 100000; ++i) {
        EXPECT_EQ(queue.PopFront(), i - 100);
        queue.PushBack(i);
    }
    EXPECT_EQ(queue.GetCapacity(), capacity);
}

TEST(RingQueueDeathTest, TakingFromAnEmptyQueueStops) {
    RingQueue<int, 1> queue;
    EXPECT_DEATH(queue.PopFront(), "Contract violated");
}

}  // namespace
