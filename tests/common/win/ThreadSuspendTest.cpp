#include <gtest/gtest.h>

#include "kx/common/Atomic.h"
#include "kx/common/Event.h"
#include "kx/common/Thread.h"
#include "kx/common/ThreadStart.h"

namespace {

using kx::common::AtomicInt32;
using kx::common::Thread;

// Counts as fast as it can until stopped.
class SpinningThread : public Thread {
public:
    void Run() override {
        running.Set();
        while (!IsStopRequested()) spins.Increment();
    }
    kx::common::Event running;
    AtomicInt32 spins;
};

TEST(ThreadSuspendTest, SuspendAllExceptFreezesTheOtherListedThreads) {
    // Suspended threads are never resumed: the objects stay alive until the process ends.
    SpinningThread* threads = new SpinningThread[2];
    for (int i = 0; i < 2; ++i) {
        threads[i].Start();
        threads[i].running.Wait();
    }
    Thread::SuspendAllExcept(kx::common::CurrentThreadId());
    const int32_t frozen[2] = {threads[0].spins.Load(), threads[1].spins.Load()};
    kx::common::Sleep(50);
    EXPECT_EQ(threads[0].spins.Load(), frozen[0]);
    EXPECT_EQ(threads[1].spins.Load(), frozen[1]);
}

}  // namespace
