// The server-pipe answer: the library opens the pipe the launcher names and hands it over.
#include <thread>

#include "SessionFixture.h"
#include "kx/halyxdll/ServerPipe.h"

namespace halyxdll_test {
namespace {

using ServerPipeTest = SessionTest;
using kx::halyxdll::IsPlainPipeName;

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

    launcher_.SendBytes(Frame(ServerAnswer(1, wire::GetOsiRsp::Failed, &existing)) +
                        Frame(ServerAnswer(2, wire::GetOsiRsp::Ok, nullptr)) +
                        Frame(ServerAnswer(3, wire::GetOsiRsp::Ok, &missing)));
    ASSERT_TRUE(Pump([&] { return server.calls.size() == 3; }));
    for (const ServerCall& call : server.calls) EXPECT_EQ(call.pipe, InvalidPipe());
    EXPECT_EQ(AcceptWithin(productServer, 50), nullptr) << "a failed answer opens nothing";
}

// The launcher's text must not lead the game anywhere but to a plain pipe of the pipe
// namespace; Windows would open "x" for "x." and the namespace itself for ". ".
TEST_F(ServerPipeTest, OnlyPlainPipeNamesAreOpened) {
    const std::vector<std::string> names = {"sub\\srv", "a/b", "..", "",    std::string("ok\0x", 4),
                                            "x.",       ". ",  ".x", "x y", std::string(257, 'p')};
    PipeServer nested(names[0]);
    PipeServer trimmed("x");
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
    EXPECT_EQ(AcceptWithin(trimmed, 20), nullptr);
    EXPECT_EQ(AcceptWithin(truncated, 20), nullptr);
    EXPECT_TRUE(IsPlainPipeName("product_7.server-2", 18));
    EXPECT_TRUE(IsPlainPipeName(std::string(256, 'p').data(), 256));
}

TEST_F(ServerPipeTest, NoPipeIsOpenedForAnAnswerNobodyWaitsFor) {
    const std::string name = "orphan_pipe";
    const std::string missing = "no_such_pipe";
    PipeServer orphan(name);
    ServerListener server;
    session_.GetHalyxServer(78, &server, 7, 1);
    NextRequest();
    launcher_.SendBytes(Frame(ServerAnswer(77, wire::GetOsiRsp::Ok, &name)) +
                        Frame(ServerAnswer(78, wire::GetOsiRsp::Ok, &missing)));
    ASSERT_TRUE(Pump([&] { return !server.calls.empty(); }));
    EXPECT_EQ(AcceptWithin(orphan, 50), nullptr);
}

}  // namespace
}  // namespace halyxdll_test
