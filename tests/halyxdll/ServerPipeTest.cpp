// The server-pipe answer: the library opens the pipe the launcher names and hands it over.
#include <thread>

#include "SessionFixture.h"

namespace halyxdll_test {
namespace {

using ServerPipeTest = SessionTest;

// Waits for the library to connect to `server`; null when it does not in time.
std::unique_ptr<PipeServerEnd> AcceptWithin(PipeServer& server, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        if (std::unique_ptr<PipeServerEnd> end = server.TryAccept()) return end;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

// Reads from `end` until it has `count` bytes or the client has gone; the bytes read.
std::string ReadFrom(PipeServerEnd& end, std::size_t count) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        char buffer[256];
        const int got = end.ReadAvailable(buffer, sizeof(buffer));
        if (got < 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return bytes;
}

// True once the client of `end` has closed its end.
bool ClosedWithin(PipeServerEnd& end, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        char buffer[16];
        if (end.ReadAvailable(buffer, sizeof(buffer)) < 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

TEST_F(ServerPipeTest, OpenedPipeIsHandedToTheGame) {
    const std::string name = "product_7_server";
    PipeServer productServer(name);
    ServerListener server;
    session_.GetHalyxServer(3, &server, 7, 1);
    const wire::Req request = NextRequest();
    EXPECT_EQ(request.getosi().productid(), 7u);
    EXPECT_EQ(request.getosi().subproductid(), 1u);

    launcher_.Send(ServerAnswer(3, wire::GetOsiRsp::Ok, &name));
    ASSERT_TRUE(Pump([&] { return !server.calls.empty(); }));
    ASSERT_NE(server.calls[0].pipe, InvalidPipe());
    std::unique_ptr<PipeServerEnd> end = AcceptWithin(productServer, 5000);
    ASSERT_NE(end, nullptr);
    ASSERT_TRUE(WriteToGamePipe(server.calls[0].pipe, "hello", 5));
    EXPECT_EQ(ReadFrom(*end, 5), "hello");
    CloseGamePipe(server.calls[0].pipe);
}

TEST_F(ServerPipeTest, FailuresReachTheListenerAsTheInvalidHandle) {
    const std::string existing = "product_7_server";
    const std::string missing = "no_such_pipe";
    PipeServer productServer(existing);
    ServerListener server;
    for (unsigned int id = 1; id <= 3; ++id) session_.GetHalyxServer(id, &server, 7, 1);
    for (int i = 0; i < 3; ++i) NextRequest();

    launcher_.SendBytes(FakeLauncher::Frame(ServerAnswer(1, wire::GetOsiRsp::Failed, &existing)) +
                        FakeLauncher::Frame(ServerAnswer(2, wire::GetOsiRsp::Ok, nullptr)) +
                        FakeLauncher::Frame(ServerAnswer(3, wire::GetOsiRsp::Ok, &missing)));
    ASSERT_TRUE(Pump([&] { return server.calls.size() == 3; }));
    for (const ServerCall& call : server.calls) EXPECT_EQ(call.pipe, InvalidPipe());
    EXPECT_EQ(AcceptWithin(productServer, 50), nullptr) << "a failed answer opens nothing";
}

// The launcher's text must not lead the game anywhere but to a pipe of the pipe namespace.
TEST_F(ServerPipeTest, NamesThatLeaveThePipeNamespaceAreNotOpened) {
    const std::vector<std::string> names = {"sub\\srv", "x..y", "a/b",
                                            "..",       "",     std::string("ok\0x", 4)};
    PipeServer nested(names[0]);
    PipeServer dotted(names[1]);
    PipeServer truncated("ok");
    ServerListener server;
    for (unsigned int id = 1; id <= names.size(); ++id) {
        session_.GetHalyxServer(id, &server, 7, 1);
        NextRequest();
        launcher_.Send(ServerAnswer(id, wire::GetOsiRsp::Ok, &names[id - 1]));
    }
    ASSERT_TRUE(Pump([&] { return server.calls.size() == names.size(); }));
    for (const ServerCall& call : server.calls) {
        EXPECT_EQ(call.pipe, InvalidPipe()) << "answer " << call.requestId;
    }
    EXPECT_EQ(AcceptWithin(nested, 20), nullptr);
    EXPECT_EQ(AcceptWithin(dotted, 20), nullptr);
    EXPECT_EQ(AcceptWithin(truncated, 20), nullptr);
}

TEST_F(ServerPipeTest, PipeOpenedForAnAnswerNobodyWaitsForIsClosed) {
    const std::string name = "orphan_pipe";
    PipeServer orphan(name);
    Connect();
    launcher_.Send(ServerAnswer(77, wire::GetOsiRsp::Ok, &name));
    std::unique_ptr<PipeServerEnd> end;
    ASSERT_TRUE(Pump([&] { return (end = orphan.TryAccept()) != nullptr; }))
        << "the pipe is opened before the table is consulted";
    EXPECT_TRUE(ClosedWithin(*end, 5000));
}

}  // namespace
}  // namespace halyxdll_test
