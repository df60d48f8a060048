// The session against the real development launcher process with its fault switches on: frames
// it breaks on purpose, answers written a byte at a time, connections it closes, and the
// process killed in the middle of an answer.
#include <gtest/gtest.h>

#include "DevLauncher.h"
#include "LogCapture.h"
#include "kx/testing/PipeEnd.h"

namespace halyxdll_test {
namespace {

using hostile_test::ConnectSession;
using hostile_test::DevLauncher;
using hostile_test::PumpLong;

// Data whose every byte depends on its position, so misplaced bytes show.
std::string Pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 31 + (i >> 9));
    return data;
}

class LauncherFaultsTest : public ::testing::Test {
protected:
    LauncherFaultsTest() { LogCapture::Get().Clear(); }

    HalyxSessionData& State() { return *HalyxSessionData::Current(); }

    // Starts the launcher with `faults` and opens the connection; the server answer (the first
    // answer of the connection) reaches `server` when given.
    void StartAndConnect(const std::vector<std::string>& faults, ServerListener* server) {
        ASSERT_TRUE(launcher_.Start(faults));
        ASSERT_TRUE(ConnectSession(session_, 1000, server, DevLauncher::kServerProduct))
            << launcher_.Log();
    }

    // Waits for the `count`-th server answer and hands its pipe back.
    void TakeServerPipe(ServerListener& server, std::size_t count = 1) {
        ASSERT_TRUE(PumpLong(session_, [&] { return server.calls.size() == count; }));
        ASSERT_NE(server.calls.back().pipe, InvalidPipe());
        kx::testing::PipeEnd(reinterpret_cast<intptr_t>(server.calls.back().pipe)).Close();
    }

    bool Connected() {
        kx::clientbox::PBConnection* connection = State().GetConnection();
        return connection != nullptr && !connection->IsClosed();
    }

    // Opens a writer for `slot`, writes `data` and closes it, keeping the savegame.
    void Save(unsigned int slot, const std::string& data) {
        WriterListener writer;
        WriteListener write;
        session_.GetSavegameWriter(2000 + slot, &writer, 7, slot, true);
        ASSERT_TRUE(PumpLong(session_, [&] { return !writer.calls.empty(); }));
        ASSERT_EQ(writer.calls[0].result, 0u);
        writer.calls[0].writer->Write(2100 + slot, &write, data.data(),
                                      static_cast<unsigned int>(data.size()));
        ASSERT_TRUE(PumpLong(session_, [&] { return !write.calls.empty(); }));
        ASSERT_EQ(write.calls[0].value, data.size());
        writer.calls[0].writer->Close(true);
    }

    // Opens a reader for `slot`; null on failure.
    SavegameReader* OpenReader(unsigned int slot) {
        ReaderListener reader;
        session_.GetSavegameReader(2200 + slot, &reader, 7, slot);
        EXPECT_TRUE(PumpLong(session_, [&] { return !reader.calls.empty(); }));
        return reader.calls.empty() ? nullptr : reader.calls[0].reader;
    }

    DevLauncher launcher_;
    HalyxSession session_;
};

TEST_F(LauncherFaultsTest, ZeroLengthFrameDropsTheConnectionAndANewOneWorks) {
    ServerListener server;
    StartAndConnect({"--fault-malformed", "zero-length", "--fault-after", "1"}, &server);
    TakeServerPipe(server);
    LoginListener login;
    session_.GetLoginDetails(2, &login);
    ASSERT_TRUE(PumpLong(session_, [&] { return State().GetConnection() == nullptr; }));
    EXPECT_TRUE(login.calls.empty());
    EXPECT_EQ(LogCapture::Get().Count("Refused a message length of 0."), 1);

    // A new connection starts with an intact answer again.
    ASSERT_TRUE(ConnectSession(session_, 3, &server, DevLauncher::kServerProduct));
    TakeServerPipe(server, 2);
}

TEST_F(LauncherFaultsTest, GarbageBodiesAreDroppedAndTheConnectionStays) {
    ServerListener server;
    StartAndConnect({"--fault-malformed", "garbage", "--fault-after", "1"}, &server);
    TakeServerPipe(server);
    LoginListener login;
    RemoveListener remove;
    session_.GetLoginDetails(2, &login);
    session_.RemoveSavegame(3, &remove, 7, 1);
    ASSERT_TRUE(PumpLong(session_, [] { return LogCapture::Get().Count("does not parse") == 2; }));
    PumpFor(&session_, 50);
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(login.calls.empty() && remove.calls.empty());
    EXPECT_EQ(LogCapture::Get().Lines().size(), 2u);
}

TEST_F(LauncherFaultsTest, AnswersWithoutASlotAreDroppedAndTheConnectionStays) {
    ServerListener server;
    StartAndConnect({"--fault-malformed", "no-slot", "--fault-after", "1"}, &server);
    TakeServerPipe(server);
    LoginListener login;
    session_.GetLoginDetails(2, &login);
    ASSERT_TRUE(PumpLong(session_, [] {
        return LogCapture::Get().Count("Answer 2 carries nothing this library serves") == 1;
    }));
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(login.calls.empty());
    EXPECT_EQ(LogCapture::Get().Lines().size(), 1u);
}

TEST_F(LauncherFaultsTest, ReadPartsOutsideTheRangeLeaveTheGamesMemoryAlone) {
    StartAndConnect({"--fault-malformed", "read-outside", "--part-size", "1000"}, nullptr);
    Save(1, Pattern(3000));
    SavegameReader* reader = OpenReader(1);
    ASSERT_NE(reader, nullptr);
    std::vector<char> memory(64 + 1500 + 64, '#');
    ReadListener read;
    reader->Read(3, &read, 0, memory.data() + 64, 1500);
    ASSERT_TRUE(PumpLong(session_, [&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 0u);
    EXPECT_EQ(std::string(memory.begin(), memory.end()), std::string(memory.size(), '#'));
    EXPECT_EQ(LogCapture::Get().Count("reaches beyond the game's buffer"), 2);
    EXPECT_TRUE(Connected());
    reader->Close();
}

// Every conversation with each answer written one byte per write, after a delay: the game sees
// exactly what it would see otherwise.
TEST_F(LauncherFaultsTest, AnswersWrittenOneBytePerWriteServeEveryConversation) {
    ServerListener server;
    StartAndConnect({"--fault-byte-writes", "--fault-delay-ms", "5", "--part-size", "1000"},
                    &server);
    TakeServerPipe(server);
    LoginListener login;
    session_.GetLoginDetails(2, &login);
    ASSERT_TRUE(PumpLong(session_, [&] { return !login.calls.empty(); }));
    EXPECT_EQ(login.calls[0].userName, DevLauncher::kUserName);
    EXPECT_EQ(login.calls[0].cdKey, DevLauncher::kCdKey);

    const std::string data = Pattern(3000);
    Save(4, data);
    ListListener list;
    session_.GetSavegameList(3, &list, 7);
    ASSERT_TRUE(PumpLong(session_, [&] { return !list.calls.empty(); }));
    ASSERT_EQ(list.calls[0].savegames.size(), 1u);
    EXPECT_EQ(list.calls[0].savegames[0].size, 3000u);

    SavegameReader* reader = OpenReader(4);
    ASSERT_NE(reader, nullptr);
    std::string back(3000, '\0');
    ReadListener read;
    reader->Read(5, &read, 0, &back[0], 3000);
    ASSERT_TRUE(PumpLong(session_, [&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 1000u) << "the last of three parts";
    EXPECT_EQ(back, data);
    reader->Close();

    RemoveListener remove;
    session_.RemoveSavegame(6, &remove, 7, 4);
    ASSERT_TRUE(PumpLong(session_, [&] { return !remove.calls.empty(); }));
    EXPECT_EQ(remove.calls[0].value, 0u);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

// An answer that arrives together with the close may be lost with the connection (the session
// drops a closed connection before reading on); everything before it arrives, and a new
// connection serves new requests.
TEST_F(LauncherFaultsTest, ConnectionClosedByTheLauncherIsDroppedAndANewOneWorks) {
    ServerListener server;
    StartAndConnect({"--fault-close-after", "3"}, &server);
    TakeServerPipe(server);
    LoginListener login;
    RemoveListener remove;
    session_.GetLoginDetails(2, &login);
    ASSERT_TRUE(PumpLong(session_, [&] { return !login.calls.empty(); }));
    session_.RemoveSavegame(3, &remove, 7, 1);
    ASSERT_TRUE(PumpLong(session_, [&] { return State().GetConnection() == nullptr; }));
    EXPECT_LE(remove.calls.size(), 1u);

    ASSERT_TRUE(ConnectSession(session_, 4, nullptr, DevLauncher::kServerProduct));
    session_.GetLoginDetails(5, &login);
    ASSERT_TRUE(PumpLong(session_, [&] { return login.calls.size() == 2; }));
    EXPECT_EQ(login.calls[1].requestId, 5u);
}

// Killed while it writes a long answer a byte at a time: nothing of it reaches the game, and the
// same read succeeds against the launcher started again.
TEST_F(LauncherFaultsTest, LauncherKilledInTheMiddleOfAnAnswer) {
    const std::size_t kSize = 512 * 1024;
    const std::string data = Pattern(kSize);
    StartAndConnect({"-v", "--fault-byte-writes", "--part-size", std::to_string(kSize)}, nullptr);
    Save(2, data);
    SavegameReader* reader = OpenReader(2);
    ASSERT_NE(reader, nullptr);
    std::vector<char> memory(64 + kSize + 64, '#');
    ReadListener read;
    reader->Read(7, &read, 0, memory.data() + 64, static_cast<unsigned int>(kSize));
    const auto deadline = std::chrono::steady_clock::now() + hostile_test::kPatience;
    while (launcher_.Log().find("-> #7 readSavegame") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    launcher_.Kill();
    ASSERT_TRUE(PumpLong(session_, [&] { return State().GetConnection() == nullptr; }));
    EXPECT_TRUE(read.calls.empty());
    EXPECT_EQ(std::string(memory.begin(), memory.end()), std::string(memory.size(), '#'));
    EXPECT_EQ(LogCapture::Get().Count("parse"), 0) << "nothing half-received was parsed";
    reader->Close();  // no connection: nothing is sent

    ASSERT_TRUE(launcher_.Start({"--part-size", std::to_string(kSize)}));
    ASSERT_TRUE(ConnectSession(session_, 8, nullptr, DevLauncher::kServerProduct));
    reader = OpenReader(2);
    ASSERT_NE(reader, nullptr);
    reader->Read(9, &read, 0, memory.data() + 64, static_cast<unsigned int>(kSize));
    ASSERT_TRUE(PumpLong(session_, [&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, kSize);
    EXPECT_EQ(std::string(memory.begin() + 64, memory.end() - 64), data);
    EXPECT_EQ(std::string(memory.end() - 64, memory.end()), std::string(64, '#'));
    reader->Close();
}

}  // namespace
}  // namespace halyxdll_test
