// The session against the real development launcher process with its fault switches on: frames
// it breaks on purpose, answers written a byte at a time, connections it closes, and the
// process killed in the middle of an answer.
#include <gtest/gtest.h>

#include "kx/halyxdll/halyxdll_internal.h"
#include "kx/testing/LauncherGameFixture.h"
#include "kx/testing/LogCapture.h"

namespace kx {
namespace testing {
namespace {

class LauncherFaultsTest : public kx::testing::LauncherGameFixture {
protected:
    LauncherFaultsTest() { LogCapture::Get().Clear(); }

    HalyxSessionData& State() { return *HalyxSessionData::Current(); }

    bool Connected() {
        kx::clientbox::PBConnection* connection = State().GetConnection();
        return connection != nullptr && !connection->IsClosed();
    }
};

TEST_F(LauncherFaultsTest, ZeroLengthFrameDropsTheConnectionAndANewOneWorks) {
    ASSERT_TRUE(StartLauncher({"--fault-malformed", "zero-length", "--fault-after", "1"}));
    ASSERT_TRUE(Connect());
    LoginListener login;
    session_->GetLoginDetails(NextId(), &login);
    ASSERT_TRUE(PumpUntil([&] { return State().GetConnection() == nullptr; }));
    EXPECT_TRUE(login.calls.empty());
    EXPECT_EQ(LogCapture::Get().Matching("Refused a message length of 0.").size(), 1u);

    // A new connection starts with an intact answer again.
    ASSERT_TRUE(Connect());
}

TEST_F(LauncherFaultsTest, GarbageBodiesAreDroppedAndTheConnectionStays) {
    ASSERT_TRUE(StartLauncher({"--fault-malformed", "garbage", "--fault-after", "1"}));
    ASSERT_TRUE(Connect());
    LoginListener login;
    RemoveListener remove;
    session_->GetLoginDetails(NextId(), &login);
    session_->RemoveSavegame(NextId(), &remove, kProduct, 1);
    ASSERT_TRUE(
        PumpUntil([] { return LogCapture::Get().Matching("does not parse").size() == 2u; }));
    PumpFor(session_, 50);
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(login.calls.empty() && remove.calls.empty());
    EXPECT_EQ(LogCapture::Get().Lines().size(), 2u);
}

TEST_F(LauncherFaultsTest, AnswersWithoutASlotAreDroppedAndTheConnectionStays) {
    ASSERT_TRUE(StartLauncher({"--fault-malformed", "no-slot", "--fault-after", "1"}));
    ASSERT_TRUE(Connect());
    LoginListener login;
    const unsigned int loginId = NextId();
    session_->GetLoginDetails(loginId, &login);
    const std::string dropped =
        "Answer " + std::to_string(loginId) + " carries nothing this library serves";
    ASSERT_TRUE(PumpUntil([&] { return LogCapture::Get().Matching(dropped).size() == 1u; }));
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(login.calls.empty());
    EXPECT_EQ(LogCapture::Get().Lines().size(), 1u);
}

TEST_F(LauncherFaultsTest, ReadPartsOutsideTheRangeLeaveTheGamesMemoryAlone) {
    ASSERT_TRUE(StartLauncher({"--fault-malformed", "read-outside", "--part-size", "1000"}));
    ASSERT_TRUE(Connect());
    Save(1, Pattern(3000, 1), u"outside");
    unsigned int result = kNoAnswer;
    SavegameReader* reader = OpenReader(1, &result);
    ASSERT_NE(reader, nullptr) << "result " << result;
    std::vector<char> memory(64 + 1500 + 64, '#');
    ReadListener read;
    reader->Read(NextId(), &read, 0, memory.data() + 64, 1500);
    ASSERT_TRUE(PumpUntil([&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 0u);
    EXPECT_EQ(std::string(memory.begin(), memory.end()), std::string(memory.size(), '#'));
    EXPECT_EQ(LogCapture::Get().Matching("reaches beyond the game's buffer").size(), 2u);
    EXPECT_TRUE(Connected());
    reader->Close();
}

// Every conversation with each answer written one byte per write, after a delay: the game sees
// exactly what it would see otherwise.
TEST_F(LauncherFaultsTest, AnswersWrittenOneBytePerWriteServeEveryConversation) {
    ASSERT_TRUE(
        StartLauncher({"--fault-byte-writes", "--fault-delay-ms", "5", "--part-size", "1000"}));
    ASSERT_TRUE(Connect());
    const LoginCall login = AskLoginDetails();
    EXPECT_EQ(login.userName, kUserName);
    EXPECT_EQ(login.cdKey, kCdKey);

    // Save waits for a list that shows the savegame.
    const std::string data = Pattern(3000, 2);
    Save(4, data, u"bytewise");

    unsigned int result = kNoAnswer;
    SavegameReader* reader = OpenReader(4, &result);
    ASSERT_NE(reader, nullptr) << "result " << result;
    std::string back(3000, '\0');
    ReadListener read;
    reader->Read(NextId(), &read, 0, &back[0], 3000);
    ASSERT_TRUE(PumpUntil([&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 1000u) << "the last of three parts";
    EXPECT_EQ(back, data);
    reader->Close();

    RemoveListener remove;
    session_->RemoveSavegame(NextId(), &remove, kProduct, 4);
    ASSERT_TRUE(PumpUntil([&] { return !remove.calls.empty(); }));
    EXPECT_EQ(remove.calls[0].value, 0u);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

// An answer that arrives together with the close may be lost with the connection (the session
// drops a closed connection before reading on); everything before it arrives, and a new
// connection serves new requests.
TEST_F(LauncherFaultsTest, ConnectionClosedByTheLauncherIsDroppedAndANewOneWorks) {
    ASSERT_TRUE(StartLauncher({"--fault-close-after", "3"}));
    ASSERT_TRUE(Connect());
    LoginListener login;
    RemoveListener remove;
    session_->GetLoginDetails(NextId(), &login);
    ASSERT_TRUE(PumpUntil([&] { return !login.calls.empty(); }));
    session_->RemoveSavegame(NextId(), &remove, kProduct, 1);
    ASSERT_TRUE(PumpUntil([&] { return State().GetConnection() == nullptr; }));
    EXPECT_LE(remove.calls.size(), 1u);

    ASSERT_TRUE(Connect());
    const unsigned int loginId = NextId();
    session_->GetLoginDetails(loginId, &login);
    ASSERT_TRUE(PumpUntil([&] { return login.calls.size() == 2; }));
    EXPECT_EQ(login.calls[1].requestId, loginId);
}

// Killed while it writes a long answer a byte at a time: nothing of it reaches the game, and the
// same read succeeds against the launcher started again.
TEST_F(LauncherFaultsTest, LauncherKilledInTheMiddleOfAnAnswer) {
    const std::size_t kSize = 512 * 1024;
    const std::string data = Pattern(kSize, 3);
    ASSERT_TRUE(StartLauncher({"--fault-byte-writes", "--part-size", std::to_string(kSize)}));
    ASSERT_TRUE(Connect());
    Save(2, data, u"long");
    unsigned int result = kNoAnswer;
    SavegameReader* reader = OpenReader(2, &result);
    ASSERT_NE(reader, nullptr) << "result " << result;
    std::vector<char> memory(64 + kSize + 64, '#');
    ReadListener read;
    const unsigned int readId = NextId();
    reader->Read(readId, &read, 0, memory.data() + 64, static_cast<unsigned int>(kSize));
    const std::string answering = "-> #" + std::to_string(readId) + " readSavegame";
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (LauncherLogText().find(answering) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    KillLauncher();
    ASSERT_TRUE(PumpUntil([&] { return State().GetConnection() == nullptr; }));
    EXPECT_TRUE(read.calls.empty());
    EXPECT_EQ(std::string(memory.begin(), memory.end()), std::string(memory.size(), '#'));
    EXPECT_EQ(LogCapture::Get().Matching("parse").size(), 0u) << "nothing half-received was parsed";
    reader->Close();  // no connection: nothing is sent

    ASSERT_TRUE(StartLauncher({"--part-size", std::to_string(kSize)}));
    ASSERT_TRUE(Connect());
    reader = OpenReader(2, &result);
    ASSERT_NE(reader, nullptr) << "result " << result;
    reader->Read(NextId(), &read, 0, memory.data() + 64, static_cast<unsigned int>(kSize));
    ASSERT_TRUE(PumpUntil([&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, kSize);
    EXPECT_EQ(std::string(memory.begin() + 64, memory.end() - 64), data);
    EXPECT_EQ(std::string(memory.end() - 64, memory.end()), std::string(64, '#'));
    reader->Close();
}

}  // namespace
}  // namespace testing
}  // namespace kx
