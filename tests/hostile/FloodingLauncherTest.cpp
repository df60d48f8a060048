// A launcher that sends answers faster than the game serves them must not keep the game inside
// one Update: each call serves a bounded share, and the next calls serve the rest.
#include "SessionFixture.h"

namespace kx {
namespace testing {
namespace {

using FloodingLauncherTest = SessionTest;

TEST_F(FloodingLauncherTest, OneUpdateServesAtMostItsShareAndTheNextOnesTheRestInOrder) {
    Connect();
    RemoveListener remove;
    const unsigned int total = HalyxSessionData::kMaxAnswersPerUpdate + 10;
    std::string answers;
    for (unsigned int id = 1; id <= total; ++id) {
        session_.RemoveSavegame(id, &remove, 7, 1);
        answers += Frame(RemoveAnswer(id, wire::RemoveSavegameRsp::NotFound));
    }
    launcher_.SendBytes(answers);
    // Every answer is complete before the first Update.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The frame budget, or the time budget first on a slow machine, ends each Update.
    session_.Update();
    EXPECT_GT(remove.calls.size(), 0u);
    EXPECT_LE(remove.calls.size(), HalyxSessionData::kMaxAnswersPerUpdate);
    for (int update = 0; update < 1000 && remove.calls.size() < total; ++update) {
        session_.Update();
    }
    ASSERT_EQ(remove.calls.size(), total);
    for (unsigned int i = 0; i < total; ++i) EXPECT_EQ(remove.calls[i].requestId, i + 1);
}

TEST_F(FloodingLauncherTest, UpdateReturnsWhileTheLauncherKeepsSending) {
    Connect();
    RemoveListener remove;
    const unsigned int total = 20 * HalyxSessionData::kMaxAnswersPerUpdate;
    std::string answers;
    for (unsigned int id = 1; id <= total; ++id) {
        session_.RemoveSavegame(id, &remove, 7, 1);
        answers += Frame(RemoveAnswer(id, wire::RemoveSavegameRsp::NotFound));
    }
    std::thread flood([&] { launcher_.SendBytes(answers); });
    // Each Update hands control back after its share, however much is still arriving; no
    // wall-clock bound, so a loaded machine cannot fail it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (remove.calls.size() < total && std::chrono::steady_clock::now() < deadline) {
        const size_t before = remove.calls.size();
        session_.Update();
        // Not an ASSERT: the sending thread must be joined whatever happens.
        const size_t served = remove.calls.size() - before;
        EXPECT_LE(served, HalyxSessionData::kMaxAnswersPerUpdate);
        if (served > HalyxSessionData::kMaxAnswersPerUpdate) break;
    }
    flood.join();
    EXPECT_EQ(remove.calls.size(), total);
}

}  // namespace
}  // namespace testing
}  // namespace kx
