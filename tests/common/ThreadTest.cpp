#include "kx/common/Thread.h"

#include <gtest/gtest.h>

#include "FailingThreadStarts.h"
#include "kx/common/Event.h"
#include "kx/common/ThreadStart.h"

namespace {

using kx::common::CurrentThreadId;
using kx::common::Event;
using kx::common::Thread;

// Signals when it runs, then polls for the stop request.
class PollingThread : public Thread {
public:
    void Run() override {
        runningOn = CurrentThreadId();
        listedWhileRunning = GetRunningCount();
        running.Set();
        while (!IsStopRequested()) kx::common::Sleep(1);
    }
    Event running;
    unsigned runningOn = 0;
    unsigned listedWhileRunning = 0;
};

TEST(ThreadTest, RunsOnItsOwnThreadListedUntilItStops) {
    const unsigned listedBefore = Thread::GetRunningCount();
    PollingThread thread;
    EXPECT_EQ(thread.GetThreadId(), 0u);
    EXPECT_FALSE(thread.IsStopRequested());
    thread.Start();
    thread.running.Wait();
    EXPECT_EQ(thread.listedWhileRunning, listedBefore + 1);
    EXPECT_EQ(thread.GetThreadId(), thread.runningOn);
    EXPECT_NE(thread.runningOn, CurrentThreadId());
    EXPECT_TRUE(thread.StopAndWait());
    EXPECT_TRUE(thread.IsStopRequested());
    EXPECT_EQ(Thread::GetRunningCount(), listedBefore);
    // A second wait finds the thread ended at once.
    EXPECT_TRUE(thread.StopAndWait());
}

TEST(ThreadTest, SeveralThreadsListAndUnlistIndependently) {
    const unsigned listedBefore = Thread::GetRunningCount();
    PollingThread threads[3];
    for (PollingThread& thread : threads) {
        thread.Start();
        thread.running.Wait();
    }
    EXPECT_EQ(Thread::GetRunningCount(), listedBefore + 3);
    // Stopping the middle one moves the last into its table slot.
    EXPECT_TRUE(threads[1].StopAndWait());
    EXPECT_EQ(Thread::GetRunningCount(), listedBefore + 2);
    EXPECT_TRUE(threads[0].StopAndWait());
    EXPECT_TRUE(threads[2].StopAndWait());
    EXPECT_EQ(Thread::GetRunningCount(), listedBefore);
}

class QuickThread : public Thread {
public:
    void Run() override {}
};

TEST(ThreadTest, ThreadThatEndedOnItsOwnIsWaitedForAtOnce) {
    QuickThread thread;
    thread.Start();
    kx::common::Sleep(20);
    EXPECT_TRUE(thread.StopAndWait());
}

TEST(ThreadTest, AStartThePlatformRefusesReportsFalseAndMayBeRetried) {
    PollingThread thread;
    {
        kx::testing::FailingThreadStarts failing;
        EXPECT_FALSE(thread.Start());
    }
    EXPECT_EQ(thread.GetThreadId(), 0u);
    ASSERT_TRUE(thread.Start());
    thread.running.Wait();
    EXPECT_TRUE(thread.StopAndWait());
}

TEST(ThreadDeathTest, StartingTwiceStops) {
    EXPECT_DEATH(
        {
            QuickThread thread;
            thread.Start();
            thread.Start();
        },
        "Contract violated");
}

}  // namespace
