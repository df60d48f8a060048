// Races on shared and weak pointers, meant to run under ThreadSanitizer and AddressSanitizer as
// well as natively and under Wine. Loops are bounded so that each test takes a few seconds at
// most even in the slowest of those builds.

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "StressSupport.h"
#include "kx/common/Atomic.h"
#include "kx/common/Event.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/ThreadStart.h"
#include "kx/common/WeakPtr.h"
#include "kx/common/WeakPtrBase.h"

namespace {

using kx::common::AtomicInt32;
using kx::common::Event;
using kx::common::SharedPtr;
using kx::common::WeakPtr;
using kx::common::WeakPtrBase;
using kx::testing::StressReport;
using kx::testing::Victim;

TEST(PointerStressTest, ThreadsCopyAndReleaseSharedPointersToOneObject) {
    StressReport report("copy and release");
    const int kThreads = 4;
    const int kRounds = 3;
    const int kCopies = 20000;
    AtomicInt32 destroyed;
    for (int round = 0; round < kRounds; ++round) {
        SharedPtr<Victim>* seeds = new SharedPtr<Victim>[kThreads];
        seeds[0] = SharedPtr<Victim>(new Victim(&destroyed));
        for (int t = 1; t < kThreads; ++t) seeds[t] = seeds[0];
        AtomicInt32 broken;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                SharedPtr<Victim> slots[8];
                for (int i = 0; i < kCopies; ++i) {
                    SharedPtr<Victim>& slot = slots[i % 8];
                    slot = seeds[t];
                    SharedPtr<Victim> copy(slot);
                    if (!copy->IsAlive()) broken.Increment();
                    if (i % 3 == 0) slots[(i + 5) % 8].Reset();
                }
                // Every thread lets go at the end; whichever is last destroys the object.
                seeds[t].Reset();
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(broken.Load(), 0);
        EXPECT_EQ(destroyed.Load(), round + 1);
        delete[] seeds;
    }
}

// The objects of one round: the object, extra weak pointers registered first (so that the
// destroying thread spends a while invalidating before it reaches the lockers' weak pointers),
// and one weak pointer per locking thread.
struct LockRound {
    static constexpr int kExtraWeak = 8;

    LockRound(AtomicInt32* destroyed, int lockers) : owner(new Victim(destroyed)) {
        for (int i = 0; i < kExtraWeak; ++i) extra.push_back(new WeakPtr<Victim>(owner));
        for (int i = 0; i < lockers; ++i) weak.push_back(new WeakPtr<Victim>(owner));
    }
    ~LockRound() {
        for (WeakPtr<Victim>* each : extra) delete each;
        for (WeakPtr<Victim>* each : weak) delete each;
    }

    // Called once by each locker when it is at work on this round.
    void Arrive(int lockers) {
        if (arrived.Increment() == lockers) allArrived.Set();
    }

    SharedPtr<Victim> owner;
    std::vector<WeakPtr<Victim>*> extra;
    std::vector<WeakPtr<Victim>*> weak;
    AtomicInt32 arrived;
    Event allArrived;
};

// Lockers hammer Lock on their weak pointer of each round until it comes back empty, while the
// releaser drops the last shared pointer of the round as soon as every locker is at work on it.
// Returns how often Lock found a count of 0 and waited for the invalidation.
unsigned RaceLockAgainstLastRelease(int lockers, int batches, int roundsPerBatch,
                                    AtomicInt32* destroyed, AtomicInt32* broken) {
    const unsigned waitsBefore = WeakPtrBase::GetDyingObjectWaitCount();
    for (int batch = 0; batch < batches; ++batch) {
        std::vector<LockRound*> rounds;
        for (int i = 0; i < roundsPerBatch; ++i)
            rounds.push_back(new LockRound(destroyed, lockers));
        std::vector<std::thread> threads;
        for (int l = 0; l < lockers; ++l) {
            threads.emplace_back([&, l] {
                for (LockRound* round : rounds) {
                    bool arrived = false;
                    for (;;) {
                        SharedPtr<Victim> locked = round->weak[l]->Lock();
                        if (!locked) break;
                        if (!locked->IsAlive()) broken->Increment();
                        if (!arrived) {
                            arrived = true;
                            round->Arrive(lockers);
                        }
                        // Until every locker is at work, give way to those that are not: there
                        // may be more threads than cores.
                        if (round->arrived.Load() < lockers) kx::common::Sleep(0);
                    }
                    if (!arrived) round->Arrive(lockers);
                }
            });
        }
        threads.emplace_back([&] {
            for (LockRound* round : rounds) {
                // Blocked, not spinning, so that the lockers have the cores meanwhile.
                round->allArrived.Wait();
                round->owner.Reset();
            }
        });
        for (std::thread& thread : threads) thread.join();
        for (LockRound* round : rounds) delete round;
    }
    return WeakPtrBase::GetDyingObjectWaitCount() - waitsBefore;
}

TEST(PointerStressTest, WeakLockRacesTheLastReleaseOnAnotherThread) {
    StressReport report("weak lock against last release");
    const int kBatches = 2;
    const int kRounds = 400;
    AtomicInt32 destroyed;
    AtomicInt32 broken;
    const unsigned waits = RaceLockAgainstLastRelease(1, kBatches, kRounds, &destroyed, &broken);
    static char note[96];
    std::snprintf(note, sizeof(note), ", %u of %d rounds hit Lock's count-zero path", waits,
                  kBatches * kRounds);
    report.SetNote(note);
    RecordProperty("count_zero_waits", static_cast<int>(waits));
    EXPECT_EQ(destroyed.Load(), kBatches * kRounds);
    EXPECT_EQ(broken.Load(), 0);
}

TEST(PointerStressTest, TwoWeakPointersLockOneObjectWhileItsLastReferenceGoes) {
    StressReport report("two weak locks against last release");
    const int kBatches = 2;
    const int kRounds = 150;
    AtomicInt32 destroyed;
    AtomicInt32 broken;
    const unsigned waits = RaceLockAgainstLastRelease(2, kBatches, kRounds, &destroyed, &broken);
    static char note[96];
    std::snprintf(note, sizeof(note), ", %u count-zero waits in %d rounds", waits,
                  kBatches * kRounds);
    report.SetNote(note);
    RecordProperty("count_zero_waits", static_cast<int>(waits));
    // Each object is destroyed exactly once (Victim stops the process on a second destruction).
    EXPECT_EQ(destroyed.Load(), kBatches * kRounds);
    EXPECT_EQ(broken.Load(), 0);
}

TEST(PointerStressTest, WeakPointersAreCopiedAndDestroyedWhileTheObjectDies) {
    StressReport report("weak copies against last release");
    const int kThreads = 3;
    const int kRounds = 150;
    AtomicInt32 destroyed;
    AtomicInt32 broken;
    for (int round = 0; round < kRounds; ++round) {
        SharedPtr<Victim> owner(new Victim(&destroyed));
        WeakPtr<Victim> source(owner);
        AtomicInt32 started;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                started.Increment();
                for (int i = 0; i < 20; ++i) {
                    WeakPtr<Victim> copy(source);
                    SharedPtr<Victim> locked = copy.Lock();
                    if (locked && !locked->IsAlive()) broken.Increment();
                }
            });
        }
        while (started.Load() < kThreads) kx::common::Sleep(0);
        owner.Reset();
        for (std::thread& thread : threads) thread.join();
        EXPECT_TRUE(source.Lock().IsNull());
    }
    EXPECT_EQ(destroyed.Load(), kRounds);
    EXPECT_EQ(broken.Load(), 0);
}

}  // namespace
