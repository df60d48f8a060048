#include "kx/devlauncher/PipeServer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "PipeClient.h"
#include "UniquePipeName.h"
#include "kx/devlauncher/EchoService.h"

namespace kx {
namespace devlauncher {
namespace {

using testing::PipeClient;
using testing::UniquePipeName;
constexpr std::chrono::seconds kPatience(10);

// A server whose accepted connections are echoed on threads of their own.
class EchoServer {
public:
    explicit EchoServer(const std::string& name) {
        std::string error;
        opened_ = server_.Open(name, &error) == PipeServer::OpenResult::kOpened;
        EXPECT_TRUE(opened_) << error;
        accept_ = std::thread([this] {
            while (auto connection = server_.Accept()) {
                std::shared_ptr<PipeConnection> shared = std::move(connection);
                workers_.emplace_back([shared] { ServeEcho(*shared); });
            }
        });
    }
    ~EchoServer() {
        server_.Stop();
        accept_.join();
        for (std::thread& worker : workers_) {
            worker.join();
        }
    }

    PipeServer& Server() { return server_; }

private:
    PipeServer server_;
    bool opened_ = false;
    std::thread accept_;
    std::vector<std::thread> workers_;  // only the accept thread adds, joined after it
};

TEST(PipeServerTest, ServesSeveralClientsAtOnce) {
    const std::string name = UniquePipeName("echo");
    EchoServer echo(name);
    EXPECT_EQ(echo.Server().Location(), PipeLocation(name));
    std::vector<std::unique_ptr<PipeClient>> clients;
    for (int i = 0; i < 12; ++i) {
        clients.push_back(PipeClient::Connect(PipeLocation(name)));
        ASSERT_TRUE(clients.back()) << i;
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
        ASSERT_TRUE(clients[i]->Write("client " + std::to_string(i)));
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const std::string expected = "client " + std::to_string(i);
        std::string echoed;
        ASSERT_TRUE(clients[i]->ReadExactly(expected.size(), &echoed, kPatience));
        EXPECT_EQ(echoed, expected);
    }
    // More than the pipe buffers hold: written and read back at the same time.
    const std::string big(300 * 1024, 'b');
    bool written = false;
    std::thread writer([&] { written = clients[0]->Write(big); });
    std::string echoed;
    EXPECT_TRUE(clients[0]->ReadExactly(big.size(), &echoed, kPatience));
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(echoed, big);
}

TEST(PipeServerTest, ASecondServerForTheSameNameIsRefused) {
    const std::string name = UniquePipeName("twice");
    EchoServer first(name);
    PipeServer second;
    std::string error;
    EXPECT_EQ(second.Open(name, &error), PipeServer::OpenResult::kAlreadyServed);
    // The refused server did not disturb the first one.
    auto client = PipeClient::Connect(PipeLocation(name));
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->Write("still here"));
    std::string echoed;
    EXPECT_TRUE(client->ReadExactly(10, &echoed, kPatience));
}

TEST(PipeServerTest, TheNameIsFreeAgainOnceTheServerIsGone) {
    const std::string name = UniquePipeName("again");
    { EchoServer first(name); }
    EXPECT_FALSE(PipeClient::Connect(PipeLocation(name)));
    EchoServer second(name);
    EXPECT_TRUE(PipeClient::Connect(PipeLocation(name)));
}

TEST(PipeServerTest, StopEndsAcceptAndBlockedReads) {
    PipeServer server;
    std::string error;
    ASSERT_EQ(server.Open(UniquePipeName("stop"), &error), PipeServer::OpenResult::kOpened);
    auto client = PipeClient::Connect(server.Location());
    ASSERT_TRUE(client);
    std::unique_ptr<PipeConnection> connection = server.Accept();
    ASSERT_TRUE(connection);
    std::size_t readResult = 1;
    std::thread reader([&] {
        char byte;
        readResult = connection->Read(&byte, 1);
    });
    std::unique_ptr<PipeConnection> accepted;
    std::thread acceptor([&] { accepted = server.Accept(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.Stop();
    reader.join();
    acceptor.join();
    EXPECT_EQ(readResult, 0u);
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(connection->Write("x", 1));
}

TEST(PipeServerTest, BytesWrittenBeforeClosingStillArrive) {
    PipeServer server;
    std::string error;
    ASSERT_EQ(server.Open(UniquePipeName("close"), &error), PipeServer::OpenResult::kOpened);
    auto client = PipeClient::Connect(server.Location());
    ASSERT_TRUE(client);
    {
        std::unique_ptr<PipeConnection> connection = server.Accept();
        ASSERT_TRUE(connection);
        ASSERT_TRUE(connection->Write("goodbye", 7));
    }
    std::string last;
    ASSERT_TRUE(client->ReadExactly(7, &last, kPatience));
    EXPECT_EQ(last, "goodbye");
    EXPECT_TRUE(client->WaitClosed(kPatience));
}

TEST(PipeServerTest, ReadSeesTheClientLeave) {
    PipeServer server;
    std::string error;
    ASSERT_EQ(server.Open(UniquePipeName("leave"), &error), PipeServer::OpenResult::kOpened);
    auto client = PipeClient::Connect(server.Location());
    ASSERT_TRUE(client);
    std::unique_ptr<PipeConnection> connection = server.Accept();
    ASSERT_TRUE(connection);
    ASSERT_TRUE(client->Write("ab"));
    client.reset();
    char buffer[8];
    std::string got;
    for (std::size_t n; (n = connection->Read(buffer, sizeof(buffer))) > 0;) {
        got.append(buffer, n);
    }
    EXPECT_EQ(got, "ab");
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
