// The server-pipe answer: the library opens the pipe the launcher names and hands it over.
#include <thread>

#include "SessionFixture.h"
#include "kx/halyxdll/ServerPipe.h"

namespace kx {
namespace testing {
namespace {

using ServerPipeTest = SessionTest;
using kx::halyxdll::IsPlainPipeName;

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
    std::unique_ptr<PipeEnd> end = productServer.Accept(Wait(5000));
    ASSERT_NE(end, nullptr);
    PipeEnd game(reinterpret_cast<intptr_t>(server.calls[0].pipe));
    ASSERT_TRUE(game.WriteAll("hello", 5));
    char received[5];
    ASSERT_TRUE(end->ReadExact(received, sizeof(received), kPatience));
    EXPECT_EQ(std::string(received, sizeof(received)), "hello");
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
    EXPECT_EQ(productServer.Accept(Wait(50)), nullptr) << "a failed answer opens nothing";
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
    EXPECT_EQ(nested.Accept(Wait(20)), nullptr);
    EXPECT_EQ(trimmed.Accept(Wait(20)), nullptr);
    EXPECT_EQ(truncated.Accept(Wait(20)), nullptr);
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
    EXPECT_EQ(orphan.Accept(Wait(50)), nullptr);
}

}  // namespace
}  // namespace testing
}  // namespace kx
