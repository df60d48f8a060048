#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ChainBytes.h"
#include "TestSupport.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"

namespace {

using kx::clientbox::NamedPipeReceiveLoop;
using kx::clientbox::NamedPipeSocket;
using kx::common::SharedPtr;
using kx::testing::ChainBytes;
using kx::testing::kPatience;
using kx::testing::PipeEnd;
using kx::testing::PipeServer;
using kx::testing::UniquePipeName;
using kx::testing::WaitUntil;

TEST(NamedPipeReceiveLoopTest, InstanceCalledByManyThreadsAtOnceGivesOneLoop) {
    std::vector<NamedPipeReceiveLoop*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = NamedPipeReceiveLoop::Instance(); });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (NamedPipeReceiveLoop* loop : seen) EXPECT_EQ(loop, seen[0]);
    EXPECT_EQ(NamedPipeReceiveLoop::Instance(), seen[0]);
}

// Sockets connecting on several threads at once register their reads together; every one of
// them is served.
TEST(NamedPipeReceiveLoopTest, SocketsRegisteringAtOnceAreAllServed) {
    constexpr int kSockets = 6;
    PipeServer server(UniquePipeName());
    std::vector<SharedPtr<NamedPipeSocket>> sockets;
    for (int i = 0; i < kSockets; ++i) sockets.emplace_back(new NamedPipeSocket);
    std::vector<std::thread> connectors;
    for (int i = 0; i < kSockets; ++i) {
        connectors.emplace_back([&sockets, &server, i] {
            EXPECT_TRUE(WaitUntil([&] { return sockets[i]->Connect(server.GetName().c_str()); }));
        });
    }
    std::vector<std::unique_ptr<PipeEnd>> ends;
    for (int i = 0; i < kSockets; ++i) ends.push_back(server.Accept(kPatience));
    for (std::thread& connector : connectors) connector.join();
    // Each peer end names itself; every socket must receive exactly one name.
    for (int i = 0; i < kSockets; ++i) {
        const unsigned char name = static_cast<unsigned char>('A' + i);
        ASSERT_TRUE(ends[i]->WriteAll(&name, 1));
    }
    std::vector<int> received(kSockets, 0);
    for (const SharedPtr<NamedPipeSocket>& socket : sockets) {
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(WaitUntil([&] {
            bytes = ChainBytes(socket->Receive());
            return !bytes.empty();
        }));
        ASSERT_EQ(bytes.size(), 1u);
        ++received[bytes[0] - 'A'];
        socket->Close();
    }
    for (int count : received) EXPECT_EQ(count, 1);
}

}  // namespace
