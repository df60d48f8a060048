// Signals emitted from several threads while subscribers are connected and their targets die,
// meant to run under ThreadSanitizer and AddressSanitizer as well as natively and under Wine.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "LoopFlush.h"
#include "StressSupport.h"
#include "kx/common/Atomic.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/Signal.h"
#include "kx/common/SignalLoop.h"
#include "kx/common/ThreadStart.h"

namespace {

using kx::common::AtomicInt32;
using kx::common::SharedPtr;
using kx::common::Signal;
using kx::common::SignalLoop;
using kx::testing::StressReport;
using kx::testing::Victim;

TEST(SignalStressTest, SignalsEmittedFromSeveralThreadsWhileTheirTargetsDie) {
    StressReport report("signals against dying targets");
    const int kSignals = 3;
    const int kEmitters = 3;
    const int kEmits = 600;
    const int kShortLived = 300;
    Signal signals[kSignals];
    AtomicInt32 destroyed;
    const int32_t misuseBefore = Victim::misuse.Load();

    // Connected from the start and alive to the end: sees every emission once per signal.
    SharedPtr<Victim> survivor(new Victim(&destroyed));
    for (Signal& signal : signals) signal.Connect(survivor, &Victim::OnSignal);

    AtomicInt32 emittersDone;
    std::vector<std::thread> threads;
    for (int e = 0; e < kEmitters; ++e) {
        threads.emplace_back([&] {
            for (int i = 0; i < kEmits; ++i) signals[i % kSignals].Emit();
            emittersDone.Increment();
        });
    }
    // Short-lived targets: connected while the emitters run, then dropped at once or after a
    // moment, so that they die with notifications queued or being posted.
    threads.emplace_back([&] {
        for (int i = 0; i < kShortLived; ++i) {
            SharedPtr<Victim> target(new Victim(&destroyed));
            signals[i % kSignals].Connect(target, &Victim::OnSignal);
            signals[(i + 1) % kSignals].Connect(target, &Victim::OnSignal);
            if (i % 2 == 0) kx::common::Sleep(0);
        }
    });
    for (std::thread& thread : threads) thread.join();

    kx::testing::FlushLoop(SignalLoop::Instance());
    EXPECT_EQ(survivor->calls.Load(), kEmitters * kEmits);
    EXPECT_EQ(destroyed.Load(), kShortLived);
    EXPECT_EQ(Victim::misuse.Load(), misuseBefore);
    // Every dead subscriber goes at the next emission; the survivor's stay.
    for (Signal& signal : signals) {
        signal.Emit();
        EXPECT_EQ(signal.GetSubscriberCount(), 1u);
    }
    kx::testing::FlushLoop(SignalLoop::Instance());
}

TEST(SignalStressTest, TargetsDieOnTheLoopThreadWhileHandlersRun) {
    StressReport report("targets dying during their handlers");
    const int kRounds = 400;
    Signal signal;
    AtomicInt32 destroyed;
    const int32_t misuseBefore = Victim::misuse.Load();
    std::thread emitter([&] {
        for (int i = 0; i < kRounds; ++i) {
            SharedPtr<Victim> target(new Victim(&destroyed));
            signal.Connect(target, &Victim::OnSignal);
            signal.Emit();
            signal.Emit();
            // The last reference goes while the handlers are queued or running: whichever of
            // this thread and the loop thread lets go last destroys the target.
        }
    });
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) signal.Emit();
    });
    emitter.join();
    other.join();
    kx::testing::FlushLoop(SignalLoop::Instance());
    EXPECT_EQ(destroyed.Load(), kRounds);
    EXPECT_EQ(Victim::misuse.Load(), misuseBefore);
    signal.Emit();
    EXPECT_EQ(signal.GetSubscriberCount(), 0u);
}

}  // namespace
