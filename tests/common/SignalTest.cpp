#include "kx/common/Signal.h"

#include <gtest/gtest.h>

#include <vector>

#include "LoopFlush.h"
#include "kx/common/Event.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/SignalLoop.h"
#include "kx/common/ThreadStart.h"

namespace {

using kx::common::CurrentThreadId;
using kx::common::Event;
using kx::common::Functor;
using kx::common::SharedPtr;
using kx::common::Signal;
using kx::common::SignalLoop;

void Flush() {
    kx::testing::FlushLoop(SignalLoop::Instance());
}

// A handler target that logs its calls (read by the test after Flush).
class Target {
public:
    Target(std::vector<int>* log, int id) : log_(log), id_(id) {}
    void OnSignal() {
        log_->push_back(id_);
        thread = CurrentThreadId();
    }
    unsigned thread = 0;

private:
    std::vector<int>* log_;
    int id_;
};

// Keeps the loop busy until the gate opens.
class GateFunctor : public Functor {
public:
    explicit GateFunctor(Event* gate) : gate_(gate) {}
    void Run() override { gate_->Wait(); }

private:
    Event* gate_;
};

TEST(SignalTest, HandlerRunsOnTheLoopThreadNotTheEmitter) {
    std::vector<int> log;
    SharedPtr<Target> target(new Target(&log, 1));
    Signal signal;
    signal.Connect(target, &Target::OnSignal);
    signal.Emit();
    Flush();
    ASSERT_EQ(log, std::vector<int>({1}));
    EXPECT_NE(target->thread, 0u);
    EXPECT_NE(target->thread, CurrentThreadId());
}

TEST(SignalTest, HandlerIsSkippedWhenItsTargetDiedBeforeItRan) {
    std::vector<int> log;
    SharedPtr<Target> target(new Target(&log, 1));
    Signal signal;
    signal.Connect(target, &Target::OnSignal);
    Event gate;
    SignalLoop::Instance()->Post(new GateFunctor(&gate));
    signal.Emit();
    // The notification is queued behind the gate; the target dies before it runs.
    target.Reset();
    gate.Set();
    Flush();
    EXPECT_TRUE(log.empty());
    // The next Emit finds the target gone and drops the subscriber.
    EXPECT_EQ(signal.GetSubscriberCount(), 1u);
    signal.Emit();
    EXPECT_EQ(signal.GetSubscriberCount(), 0u);
}

TEST(SignalTest, EmitDropsADeadMiddleSubscriberAndMovesTheLastIntoItsPlace) {
    std::vector<int> log;
    SharedPtr<Target> first(new Target(&log, 1));
    SharedPtr<Target> second(new Target(&log, 2));
    SharedPtr<Target> third(new Target(&log, 3));
    SharedPtr<Target> fourth(new Target(&log, 4));
    Signal signal;
    signal.Connect(first, &Target::OnSignal);
    signal.Connect(second, &Target::OnSignal);
    signal.Connect(third, &Target::OnSignal);
    signal.Connect(fourth, &Target::OnSignal);
    second.Reset();
    signal.Emit();
    Flush();
    // The fourth took the second's place and was notified from there, before the third.
    EXPECT_EQ(log, std::vector<int>({1, 4, 3}));
    EXPECT_EQ(signal.GetSubscriberCount(), 3u);
}

TEST(SignalTest, ConnectingTwiceNotifiesTwice) {
    std::vector<int> log;
    SharedPtr<Target> target(new Target(&log, 7));
    Signal signal;
    signal.Connect(target, &Target::OnSignal);
    signal.Connect(target, &Target::OnSignal);
    signal.Emit();
    Flush();
    EXPECT_EQ(log, std::vector<int>({7, 7}));
}

TEST(SignalTest, ConnectingDoesNotKeepTheTargetAlive) {
    std::vector<int> log;
    SharedPtr<Target> target(new Target(&log, 1));
    Signal signal;
    signal.Connect(target, &Target::OnSignal);
    EXPECT_EQ(target.GetCounter()->GetCount(), 1);
    EXPECT_EQ(target.GetCounter()->GetWeakCount(), 1u);
}

// Emits a second signal from inside its handler, which runs outside the first signal's lock.
class Relay {
public:
    Relay(Signal* first, Signal* second) : first_(first), second_(second) {}
    void OnFirst() {
        ++calls;
        if (calls == 1) {
            first_->Emit();  // the same signal again: no lock of it is held here
            second_->Emit();
        }
    }
    int calls = 0;

private:
    Signal* first_;
    Signal* second_;
};

class Finish {
public:
    explicit Finish(Event* done) : done_(done) {}
    void OnSecond() { done_->Set(); }

private:
    Event* done_;
};

TEST(SignalTest, HandlersMayEmitSignals) {
    Signal first;
    Signal second;
    Event done;
    SharedPtr<Relay> relay(new Relay(&first, &second));
    SharedPtr<Finish> finish(new Finish(&done));
    first.Connect(relay, &Relay::OnFirst);
    second.Connect(finish, &Finish::OnSecond);
    first.Emit();
    done.Wait();
    Flush();
    EXPECT_EQ(relay->calls, 2);
}

TEST(SignalTest, SubscriberKnowsItsLiveTarget) {
    std::vector<int> log;
    SharedPtr<Target> target(new Target(&log, 1));
    SharedPtr<Target> other(new Target(&log, 2));
    Signal::TSubscriber<Target> subscriber(target, &Target::OnSignal);
    EXPECT_TRUE(subscriber.IsConnectedTo(target.Get()));
    EXPECT_FALSE(subscriber.IsConnectedTo(other.Get()));
    const void* address = target.Get();
    target.Reset();
    EXPECT_FALSE(subscriber.IsConnectedTo(address));
    EXPECT_FALSE(subscriber.Notify());
}

}  // namespace
