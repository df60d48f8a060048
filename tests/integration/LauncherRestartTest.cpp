// The launcher going away and coming back under a game that keeps running: what a restart
// keeps, what a crash in the middle of a write leaves, and which requests are answered.
#include "kx/testing/LauncherGameFixture.h"

namespace kx {
namespace testing {
namespace {

using LauncherRestartTest = LauncherGameFixture;

TEST_F(LauncherRestartTest, KeptSavegamesOutliveItAndDiscardedOnesLeaveNothing) {
    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());
    const std::string kept = Pattern(70000, 1);
    Save(2, kept, u"kept");
    SavegameWriter* discarded = StartSaving(4, Pattern(5000, 2));
    ASSERT_NE(discarded, nullptr);
    discarded->Close(false);
    ASSERT_EQ(List().size(), 1u);
    unsigned int result = kNoAnswer;
    SavegameReader* stale = OpenReader(2, &result);
    ASSERT_NE(stale, nullptr) << "result " << result;

    StopLauncher();
    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());
    // A reader of the previous launcher is nothing to the new one: its read brings no bytes.
    std::string untouched(100, '#');
    ReadListener read;
    stale->Read(NextId(), &read, 0, &untouched[0], 100);
    ASSERT_TRUE(PumpUntil([&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 0u);
    EXPECT_EQ(untouched, std::string(100, '#'));
    stale->Close();
    ExpectOnlySavegame(2, u"kept", kept);
}

TEST_F(LauncherRestartTest, KilledDuringAWriteKeepsThePreviousSavegame) {
    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());
    const std::string previous = Pattern(20000, 3);
    Save(6, previous, u"previous");
    // Acknowledged, so the launcher holds the new data, pending beside the savegame.
    SavegameWriter* writer = StartSaving(6, Pattern(30000, 4));
    ASSERT_NE(writer, nullptr);
    EXPECT_GT(ProductFiles().size(), 1u);
    KillLauncher();

    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());
    // A game that did not notice goes on with its writer: the new launcher never opened the
    // slot for it, so it takes none of the data and keeps nothing at the Close.
    WriteListener write;
    writer->Write(NextId(), &write, "late", 4);
    ASSERT_TRUE(PumpUntil([&] { return !write.calls.empty(); }));
    EXPECT_EQ(write.calls[0].value, 0u);
    writer->Close(true);
    ExpectOnlySavegame(6, u"previous", previous);
}

TEST_F(LauncherRestartTest, ANewConnectionIsAnsweredAndLostRequestsNeverAre) {
    // This launcher holds back its first answer longer than the test lasts, and reads no
    // further request meanwhile.
    ASSERT_TRUE(StartLauncher({"--fault-delay-ms", "600000"}));
    ServerListener lostServer;
    LoginListener lostLogin;
    ListListener lostList;
    const unsigned int serverId = NextId();
    session_->GetHalyxServer(serverId, &lostServer, kProduct, 0);
    ASSERT_TRUE(lostServer.calls.empty()) << "the launcher pipe did not open";
    session_->GetLoginDetails(NextId(), &lostLogin);
    session_->GetSavegameList(NextId(), &lostList, kProduct);
    ASSERT_TRUE(PumpUntil([&] {
        return LauncherLogText().find("#" + std::to_string(serverId) + " getOsi") !=
               std::string::npos;
    })) << LauncherLogText();
    KillLauncher();
    // Asked while no launcher runs: never sent.
    LoginListener unsent;
    session_->GetLoginDetails(NextId(), &unsent);

    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());
    EXPECT_EQ(AskLoginDetails().userName, kUserName);
    EXPECT_TRUE(List().empty());

    EXPECT_TRUE(lostServer.calls.empty());
    EXPECT_TRUE(lostLogin.calls.empty());
    EXPECT_TRUE(lostList.calls.empty());
    EXPECT_TRUE(unsent.calls.empty());
}

}  // namespace
}  // namespace testing
}  // namespace kx
