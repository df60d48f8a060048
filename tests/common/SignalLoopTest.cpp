#include "kx/common/SignalLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FailingThreadStarts.h"
#include "LoopFlush.h"
#include "kx/common/Event.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/ThreadStart.h"
#include "kx/common/TickTimer.h"

namespace {

using kx::common::CurrentThreadId;
using kx::common::CurrentTick;
using kx::common::Event;
using kx::common::Functor;
using kx::common::SharedPtr;
using kx::common::SignalLoop;
using kx::testing::FlushLoop;

// Writes to a log when it runs and when it is deleted, and notes its thread.
class LoggingFunctor : public Functor {
public:
    LoggingFunctor(std::vector<std::string>* log, const char* name, unsigned* thread = nullptr)
        : log_(log), name_(name), thread_(thread) {}
    ~LoggingFunctor() override { log_->push_back(std::string("deleted ") + name_); }
    void Run() override {
        log_->push_back(std::string("ran ") + name_);
        if (thread_ != nullptr) *thread_ = CurrentThreadId();
    }

private:
    std::vector<std::string>* log_;
    const char* name_;
    unsigned* thread_;
};

TEST(SignalLoopTest, RunsFunctorsInPostingOrderOnItsThreadAndDeletesEach) {
    SignalLoop loop;
    std::vector<std::string> log;
    unsigned thread = 0;
    loop.Post(new LoggingFunctor(&log, "first", &thread));
    loop.Post(new LoggingFunctor(&log, "second"));
    loop.Post(new LoggingFunctor(&log, "third"));
    FlushLoop(&loop);
    const std::vector<std::string> expected = {"ran first",      "deleted first", "ran second",
                                               "deleted second", "ran third",     "deleted third"};
    EXPECT_EQ(log, expected);
    EXPECT_NE(thread, 0u);
    EXPECT_NE(thread, CurrentThreadId());
}

TEST(SignalLoopTest, WithoutAThreadPostRefusesAndDeletesEachFunctorUntilAStartSucceeds) {
    std::vector<std::string> log;
    auto failing = std::make_unique<kx::testing::FailingThreadStarts>();
    SignalLoop loop;
    EXPECT_FALSE(loop.Start());
    EXPECT_FALSE(loop.Post(new LoggingFunctor(&log, "refused")));
    failing.reset();
    EXPECT_TRUE(loop.Post(new LoggingFunctor(&log, "later")));
    FlushLoop(&loop);
    const std::vector<std::string> expected = {"deleted refused", "ran later", "deleted later"};
    EXPECT_EQ(log, expected);
}

// Posts another functor from inside the loop.
class PostingFunctor : public Functor {
public:
    PostingFunctor(SignalLoop* loop, Event* done) : loop_(loop), done_(done) {}
    void Run() override { loop_->Post(new kx::testing::SetEventFunctor(done_)); }

private:
    SignalLoop* loop_;
    Event* done_;
};

TEST(SignalLoopTest, FunctorsMayPostFurtherFunctors) {
    SignalLoop loop;
    Event done;
    loop.Post(new PostingFunctor(&loop, &done));
    done.Wait();
}

TEST(SignalLoopTest, TakeNextGivesNullAfterAboutAHundredMillisecondsWithoutWork) {
    SignalLoop::SharedData shared;
    const unsigned start = CurrentTick();
    EXPECT_EQ(shared.TakeNext(), nullptr);
    const unsigned waited = CurrentTick() - start;
    EXPECT_GE(waited, 80u);
    EXPECT_LT(waited, 2000u);
}

TEST(SignalLoopTest, QueueLeavesItsInlineStorageAtTheTenTwentyFifthFunctor) {
    SignalLoop::SharedData shared;
    std::vector<std::string> log;
    const char* names[3] = {"a", "b", "c"};
    for (int i = 0; i < 1024; ++i) shared.Post(new LoggingFunctor(&log, names[i % 3]));
    EXPECT_EQ(shared.GetQueueCapacity(), 1024u);
    shared.Post(new LoggingFunctor(&log, "last"));
    EXPECT_EQ(shared.GetQueueCapacity(), 2048u);
    for (int i = 0; i < 1025; ++i) {
        Functor* functor = shared.TakeNext();
        ASSERT_NE(functor, nullptr);
        functor->Run();
        delete functor;
    }
    ASSERT_EQ(log.size(), 2050u);
    EXPECT_EQ(log[0], "ran a");
    EXPECT_EQ(log[2], "ran b");
    EXPECT_EQ(log[2046], "ran a");
    EXPECT_EQ(log[2048], "ran last");
    // The queue is empty again, and so the work event is no longer signalled.
    EXPECT_EQ(shared.TakeNext(), nullptr);
}

TEST(SignalLoopTest, DestroyingTheSharedStateDeletesQueuedFunctorsUnrun) {
    std::vector<std::string> log;
    {
        SignalLoop::SharedData shared;
        shared.Post(new LoggingFunctor(&log, "one"));
        shared.Post(new LoggingFunctor(&log, "two"));
    }
    const std::vector<std::string> expected = {"deleted one", "deleted two"};
    EXPECT_EQ(log, expected);
}

TEST(SignalLoopTest, LoopThreadLeavesSoonAfterAStopRequest) {
    SharedPtr<SignalLoop::SharedData> shared(new SignalLoop::SharedData);
    std::thread thread(&SignalLoop::ThreadMain, shared);
    kx::common::Sleep(30);
    const unsigned start = CurrentTick();
    shared->Stop();
    thread.join();
    EXPECT_LT(CurrentTick() - start, 1000u);
    // The thread has let go of its reference.
    EXPECT_EQ(shared.GetCounter()->GetCount(), 1);
}

TEST(SignalLoopTest, InstanceIsOneLoopForEveryThread) {
    SignalLoop* seen[4] = {};
    std::vector<std::thread> threads;
    for (SignalLoop*& each : seen) {
        threads.emplace_back([&each] { each = SignalLoop::Instance(); });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (SignalLoop* each : seen) EXPECT_EQ(each, seen[0]);
    EXPECT_EQ(SignalLoop::Instance(), seen[0]);
    std::vector<std::string> log;
    unsigned thread = 0;
    seen[0]->Post(new LoggingFunctor(&log, "on the loop", &thread));
    FlushLoop(seen[0]);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_NE(thread, CurrentThreadId());
}

}  // namespace
