#include "kx/common/TickTimer.h"

#include <gtest/gtest.h>

#include "kx/common/ThreadStart.h"

namespace {

using kx::common::TickTimer;

unsigned g_now = 0;

unsigned FakeTick() {
    return g_now;
}

TEST(TickTimerTest, ReportsElapsedTimeAndRestartsWhenTheIntervalHasPassed) {
    g_now = 1000;
    TickTimer timer(100, &FakeTick);
    g_now = 1050;
    unsigned elapsed = 0;
    EXPECT_FALSE(timer.HasElapsed(&elapsed));
    EXPECT_EQ(elapsed, 50u);
    EXPECT_EQ(timer.GetRemaining(), 50u);
    g_now = 1100;
    EXPECT_TRUE(timer.HasElapsed(&elapsed));
    EXPECT_EQ(elapsed, 100u);
    // Counts again from the moment it reported.
    g_now = 1130;
    EXPECT_FALSE(timer.HasElapsed(nullptr));
    EXPECT_EQ(timer.GetRemaining(), 70u);
}

TEST(TickTimerTest, RemainingNeverGoesBelowZero) {
    g_now = 0;
    TickTimer timer(100, &FakeTick);
    g_now = 100;
    EXPECT_EQ(timer.GetRemaining(), 0u);
    g_now = 5000;
    EXPECT_EQ(timer.GetRemaining(), 0u);
}

TEST(TickTimerTest, ElapsedTimeSurvivesTheCounterWrapping) {
    g_now = 0xFFFFFFF0u;
    TickTimer timer(100, &FakeTick);
    g_now = 0x10u;
    unsigned elapsed = 0;
    EXPECT_FALSE(timer.HasElapsed(&elapsed));
    EXPECT_EQ(elapsed, 0x20u);
    EXPECT_EQ(timer.GetRemaining(), 100u - 0x20u);
    g_now = 0x54u;  // 100 ms after the start, on the far side of the wrap
    EXPECT_TRUE(timer.HasElapsed(&elapsed));
    EXPECT_EQ(elapsed, 100u);
}

TEST(TickTimerTest, RestartTakesTheNewIntervalFromNow) {
    g_now = 10;
    TickTimer timer(100, &FakeTick);
    g_now = 90;
    timer.Restart(20);
    g_now = 105;
    EXPECT_FALSE(timer.HasElapsed(nullptr));
    EXPECT_EQ(timer.GetRemaining(), 5u);
    g_now = 110;
    EXPECT_TRUE(timer.HasElapsed(nullptr));
}

TEST(TickTimerTest, DefaultTimerHasElapsedAtOnce) {
    TickTimer timer;
    EXPECT_TRUE(timer.HasElapsed(nullptr));
    EXPECT_EQ(timer.GetRemaining(), 0u);
}

TEST(TickTimerTest, PlatformTicksFollowTheClock) {
    TickTimer timer(1000000);
    kx::common::Sleep(60);
    unsigned elapsed = 0;
    EXPECT_FALSE(timer.HasElapsed(&elapsed));
    // Some platforms advance the tick counter in steps of about 16 ms.
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
