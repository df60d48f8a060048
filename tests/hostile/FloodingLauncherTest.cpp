// A launcher that sends answers faster than the game serves them must not keep the game inside
// one Update: each call serves a bounded share, and the next calls serve the rest.
#include <atomic>

#include "SessionFixture.h"

namespace halyxdll_test {
namespace {

using FloodingLauncherTest = SessionTest;

TEST_F(FloodingLauncherTest, OneUpdateServesAtMostItsShareAndTheNextOneTheRest) {
    Connect();
    RemoveListener remove;
    const unsigned int total = HalyxSessionData::kMaxAnswersPerUpdate + 10;
    std::string answers;
    for (unsigned int id = 1; id <= total; ++id) {
        session_.RemoveSavegame(id, &remove, 7, 1);
        answers += FakeLauncher::Frame(RemoveAnswer(id, wire::RemoveSavegameRsp::NotFound));
    }
    launcher_.SendBytes(answers);
    // Every answer is complete before the first Update.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    session_.Update();
    EXPECT_EQ(remove.calls.size(), HalyxSessionData::kMaxAnswersPerUpdate);
    session_.Update();
    ASSERT_EQ(remove.calls.size(), total);
    for (unsigned int i = 0; i < total; ++i) EXPECT_EQ(remove.calls[i].requestId, i + 1);
}

TEST_F(FloodingLauncherTest, UpdateReturnsWhileTheLauncherNeverStopsSending) {
    Connect();
    std::string batch;
    for (int i = 0; i < 1000; ++i) {
        batch += FakeLauncher::Frame(RemoveAnswer(77, wire::RemoveSavegameRsp::Ok));
    }
    std::atomic<bool> flooding(true);
    std::thread flood([&] {
        while (flooding) launcher_.SendBytes(batch);
    });
    std::chrono::steady_clock::duration longest{};
    int updates = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end) {
        const auto start = std::chrono::steady_clock::now();
        session_.Update();
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        ++updates;
    }
    flooding = false;
    flood.join();
    EXPECT_LT(longest, std::chrono::milliseconds(500)) << updates << " updates";
}

}  // namespace
}  // namespace halyxdll_test
