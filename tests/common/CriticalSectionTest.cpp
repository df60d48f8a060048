#include "kx/common/CriticalSection.h"

#include <gtest/gtest.h>

#include <thread>

#include "kx/common/Event.h"
#include "kx/common/ScopedLock.h"

namespace {

using kx::common::CriticalSection;
using kx::common::Event;
using kx::common::ScopedLock;

bool TryLockElsewhere(CriticalSection* lock) {
    // Another thread gets the lock within the wait only when this thread does not hold it.
    Event entered;
    std::thread other([&] {
        lock->Lock();
        entered.Set();
        lock->Unlock();
    });
    bool signalled = false;
    entered.Wait(200, signalled);
    if (!signalled) {
        // Let the other thread through before joining it.
        while (lock->IsHeldByCurrentThread()) lock->Unlock();
    }
    other.join();
    return signalled;
}

TEST(CriticalSectionTest, NestedLocksNeedAsManyUnlocks) {
    CriticalSection lock;
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    lock.Lock();
    lock.Lock();
    EXPECT_EQ(lock.GetDepth(), 2u);
    lock.Unlock();
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    EXPECT_EQ(lock.GetDepth(), 1u);
    lock.Unlock();
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    EXPECT_EQ(lock.GetDepth(), 0u);
    EXPECT_TRUE(TryLockElsewhere(&lock));
}

TEST(CriticalSectionTest, HeldLockKeepsOtherThreadsOut) {
    CriticalSection lock;
    lock.Lock();
    lock.Lock();
    lock.Unlock();
    // Still held once: the other thread must not get in until the last unlock.
    EXPECT_FALSE(TryLockElsewhere(&lock));
}

TEST(CriticalSectionTest, IsHeldByCurrentThreadIsFalseOnOtherThreads) {
    CriticalSection lock;
    Event held;
    Event release;
    std::thread holder([&] {
        lock.Lock();
        held.Set();
        release.Wait();
        lock.Unlock();
    });
    held.Wait();
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    release.Set();
    holder.join();
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
}

TEST(CriticalSectionTest, GuardsSharedCountersAcrossThreads) {
    CriticalSection lock;
    unsigned counter = 0;
    const int kThreads = 4;
    const int kRounds = 5000;
    std::thread threads[kThreads];
    for (std::thread& thread : threads) {
        thread = std::thread([&] {
            for (int i = 0; i < kRounds; ++i) {
                ScopedLock outer(&lock);
                ScopedLock inner(&lock);
                ++counter;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter, static_cast<unsigned>(kThreads * kRounds));
}

TEST(CriticalSectionTest, ScopedLockUnlocksEarlyOnceOnly) {
    CriticalSection lock;
    {
        ScopedLock guard(&lock);
        EXPECT_TRUE(lock.IsHeldByCurrentThread());
        guard.Unlock();
        EXPECT_FALSE(lock.IsHeldByCurrentThread());
        guard.Unlock();
    }
    EXPECT_EQ(lock.GetDepth(), 0u);
}

TEST(CriticalSectionDeathTest, UnlockingAFreeLockStops) {
    CriticalSection lock;
    EXPECT_DEATH(lock.Unlock(), "Contract violated");
}

TEST(CriticalSectionDeathTest, UnlockingAnotherThreadsLockStops) {
    EXPECT_DEATH(
        {
            CriticalSection lock;
            Event held;
            std::thread holder([&] {
                lock.Lock();
                held.Set();
                Event().Wait();  // never signalled: keeps the lock until the process stops
            });
            holder.detach();
            held.Wait();
            lock.Unlock();
        },
        "Contract violated");
}

}  // namespace
