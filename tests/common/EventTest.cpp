#include "kx/common/Event.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "kx/common/ThreadStart.h"
#include "kx/common/TickTimer.h"

namespace {

using kx::common::CurrentTick;
using kx::common::Event;

TEST(EventTest, StartsNotSignalledAndTimesOut) {
    Event event;
    bool signalled = true;
    const unsigned start = CurrentTick();
    event.Wait(60, signalled);
    EXPECT_FALSE(signalled);
    // The tick counter may advance in steps of about 16 ms.
    EXPECT_GE(CurrentTick() - start, 40u);
}

TEST(EventTest, StaysSignalledUntilReset) {
    Event event;
    event.Set();
    bool signalled = false;
    event.Wait(0, signalled);
    EXPECT_TRUE(signalled);
    event.Wait();
    signalled = false;
    event.Wait(10, signalled);
    EXPECT_TRUE(signalled);
    event.Reset();
    event.Wait(0, signalled);
    EXPECT_FALSE(signalled);
}

TEST(EventTest, AnAutoResetEventReleasesOneWaitPerSet) {
    Event event(Event::kAutoReset);
    bool signalled = false;
    event.Set();
    event.Set();
    event.Wait(0, signalled);
    EXPECT_TRUE(signalled);
    event.Wait(0, signalled);
    EXPECT_FALSE(signalled);
    // A set that comes while a thread waits ends that wait, and is taken by it.
    std::thread setter([&] {
        kx::common::Sleep(20);
        event.Set();
    });
    event.Wait();
    setter.join();
    event.Wait(0, signalled);
    EXPECT_FALSE(signalled);
}

TEST(EventTest, SetReleasesEveryWaiter) {
    Event event;
    Event ready[3];
    std::vector<std::thread> waiters;
    int released[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&, i] {
            ready[i].Set();
            if (i == 0) {
                event.Wait();
            } else {
                bool signalled = false;
                event.Wait(10000, signalled);
                if (!signalled) return;
            }
            released[i] = 1;
        });
    }
    for (Event& each : ready) each.Wait();
    kx::common::Sleep(20);
    event.Set();
    for (std::thread& waiter : waiters) waiter.join();
    EXPECT_EQ(released[0] + released[1] + released[2], 3);
}

TEST(EventTest, CloseIsIdempotent) {
    Event event;
    event.Close();
    event.Close();
}

}  // namespace
