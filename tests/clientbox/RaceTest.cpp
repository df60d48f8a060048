#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "ConnectionLink.h"
#include "kx/common/WeakPtr.h"
#include "kx/testing/Frame.h"

namespace {

using kx::clientbox::NamedPipeSocket;
using kx::clientbox::PBConnection;
using kx::common::SharedPtr;
using kx::common::WeakPtr;
using kx::protocol::halyxdll::Rsp;
using kx::testing::Frame;
using kx::testing::kPatience;
using kx::testing::MakeReq;
using kx::testing::MakeRsp;
using kx::testing::PipeEnd;
using kx::testing::PipeServer;
using kx::testing::ReadFrame;
using kx::testing::UniquePipeName;
using kx::testing::WaitUntil;
using kx::testing::Watchdog;

constexpr int kCycles = 1000;

// Opens a socket to `server`, retrying while the server prepares its next pipe instance.
SharedPtr<NamedPipeSocket> ConnectTo(PipeServer& server) {
    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    WaitUntil([&] { return socket->Connect(server.GetName().c_str()); });
    return socket;
}

// A message connection over a fresh socket to `server`, which only the connection holds, with
// the server's end of the pipe and an observer of the socket.
struct AcceptedConnection {
    explicit AcceptedConnection(PipeServer& server)
        : AcceptedConnection(ConnectTo(server), server) {}
    AcceptedConnection(const SharedPtr<NamedPipeSocket>& socket, PipeServer& server)
        : end(server.Accept(kPatience)), observer(socket), connection(new PBConnection(socket)) {}
    std::unique_ptr<PipeEnd> end;
    WeakPtr<NamedPipeSocket> observer;
    SharedPtr<PBConnection> connection;
};

// Connect, exchange and close over and over with data in flight both ways, while another
// thread keeps polling TryReceive on whatever connection is current.
TEST(RaceTest, ConnectExchangeCloseCyclesWithAPollingThread) {
    Watchdog watchdog("the connect/exchange/close cycles", 240);
    PipeServer server(UniquePipeName());
    std::atomic<bool> serving(true);
    std::thread peer([&] {
        const std::string frames = Frame(MakeRsp(1, 3000, 1)) + Frame(MakeRsp(2, 5, 2));
        while (serving) {
            std::unique_ptr<PipeEnd> end = server.Accept(kPatience);
            if (!end || !serving) break;
            end->WriteAll(frames.data(), frames.size());
            end->ReadToEnd(kPatience);
        }
    });

    std::mutex currentMutex;
    SharedPtr<PBConnection> current;
    std::atomic<bool> polling(true);
    std::atomic<unsigned> taken(0);
    std::thread poller([&] {
        Rsp received;
        while (polling) {
            SharedPtr<PBConnection> connection;
            {
                std::lock_guard<std::mutex> guard(currentMutex);
                connection = current;
            }
            if (connection && connection->TryReceive(&received)) ++taken;
            std::this_thread::yield();
        }
    });

    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SharedPtr<NamedPipeSocket> socket = ConnectTo(server);
        ASSERT_FALSE(socket->IsClosed()) << cycle;
        WeakPtr<NamedPipeSocket> observer(socket);
        SharedPtr<PBConnection> connection(new PBConnection(socket));
        {
            std::lock_guard<std::mutex> guard(currentMutex);
            current = connection;
        }
        ASSERT_TRUE(connection->Send(MakeReq(cycle, 1 + cycle * 7 % 6000, 3)));
        if (cycle % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (cycle % 2 == 0) {
            connection->Close();
        } else {
            socket->Close();
        }
        socket.Reset();
        {
            std::lock_guard<std::mutex> guard(currentMutex);
            current.Reset();
        }
        connection.Reset();
        ASSERT_TRUE(WaitUntil([&] { return !observer.Lock(); })) << cycle;
    }
    polling = false;
    poller.join();
    serving = false;
    // Wakes the peer's last Accept.
    SharedPtr<NamedPipeSocket> last = ConnectTo(server);
    last->Close();
    peer.join();
    std::printf("messages taken by the polling thread: %u\n", taken.load());
}

// The peer goes away in the middle of a frame: the connection closes, reports no message and
// the socket releases itself.
TEST(RaceTest, PeerClosingMidFrame) {
    PipeServer server(UniquePipeName());
    const std::string frame = Frame(MakeRsp(1, 1000, 4));
    for (int round = 0; round < 200; ++round) {
        AcceptedConnection accepted(server);
        ASSERT_TRUE(accepted.end);
        const std::size_t cut = 1 + static_cast<std::size_t>(round) * 37 % (frame.size() - 1);
        ASSERT_TRUE(accepted.end->WriteAll(frame.data(), cut));
        accepted.end->Close();
        ASSERT_TRUE(WaitUntil([&] { return accepted.connection->IsClosed(); })) << round;
        Rsp received;
        EXPECT_FALSE(accepted.connection->TryReceive(&received)) << round;
        accepted.connection.Reset();
        ASSERT_TRUE(WaitUntil([&] { return !accepted.observer.Lock(); })) << round;
    }
}

// The game's thread keeps sending while the I/O thread writes and reads, and the connection
// closes from either side: the peer receives whole frames in the order they were sent, and
// nothing outlives the close.
TEST(RaceTest, SendingWhileTheIoThreadWritesReadsAndTheConnectionCloses) {
    Watchdog watchdog("the send/close rounds", 240);
    PipeServer server(UniquePipeName());
    const std::string answer = Frame(MakeRsp(1, 300, 5));
    for (int round = 0; round < 100; ++round) {
        AcceptedConnection accepted(server);
        ASSERT_TRUE(accepted.end);
        const unsigned peerStops = round % 2 == 0 ? 20u + static_cast<unsigned>(round) : 0u;
        std::thread peer([&] {
            std::string body;
            for (unsigned expected = 0; ReadFrame(*accepted.end, &body); ++expected) {
                kx::protocol::halyxdll::Req request;
                ASSERT_TRUE(request.ParseFromString(body));
                ASSERT_EQ(request.requestid(), expected);
                if (!accepted.end->WriteAll(answer.data(), answer.size())) break;
                if (expected + 1 == peerStops) break;
            }
            accepted.end->Close();
        });
        Rsp received;
        for (unsigned id = 0; id < 200; ++id) {
            accepted.connection->Send(MakeReq(id, 100 + id * 37 % 5000, 3));
            accepted.connection->TryReceive(&received);
        }
        if (peerStops == 0) accepted.connection->Close();
        peer.join();
        accepted.connection->Close();
        accepted.connection.Reset();
        ASSERT_TRUE(WaitUntil([&] { return !accepted.observer.Lock(); })) << round;
    }
}

}  // namespace
