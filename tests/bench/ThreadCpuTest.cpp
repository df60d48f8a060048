#include "game/ThreadCpu.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kx {
namespace bench {
namespace {

TEST(ThreadCpuTest, DifferencesPerThread) {
    const std::vector<ThreadCpuSample> before = {{1, 100, 5}, {2, 50, 1}, {3, 10, 0}};
    const std::vector<ThreadCpuSample> after = {{1, 180, 9}, {2, 50, 1}, {4, 7, 2}};
    const std::vector<ThreadCpuSample> spent = ThreadCpuSince(before, after);
    ASSERT_EQ(3u, spent.size());
    EXPECT_EQ(80u, spent[0].cpuNanoseconds);
    EXPECT_EQ(4u, spent[0].wakeups);
    EXPECT_EQ(0u, spent[1].cpuNanoseconds);
    // A thread that started in between counts from 0; one that ended is left out.
    EXPECT_EQ(4u, spent[2].threadId);
    EXPECT_EQ(7u, spent[2].cpuNanoseconds);
}

TEST(ThreadCpuTest, SeesTheWorkOfAnotherThread) {
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop.load()) {
        }
    });
    const std::vector<ThreadCpuSample> before = SampleOtherThreads();
    // On a loaded machine the spinning thread may get little of a processor: wait until it
    // has run for 10 ms, or five seconds have passed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    uint64_t most = 0;
    while (most < 10u * 1000 * 1000 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const ThreadCpuSample& thread : ThreadCpuSince(before, SampleOtherThreads())) {
            most = thread.cpuNanoseconds > most ? thread.cpuNanoseconds : most;
        }
    }
    stop = true;
    busy.join();
    EXPECT_GE(most, 10u * 1000 * 1000);
}

}  // namespace
}  // namespace bench
}  // namespace kx
