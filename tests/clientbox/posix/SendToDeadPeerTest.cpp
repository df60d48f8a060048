#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ChainBytes.h"
#include "TestSupport.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"

namespace {

using kx::clientbox::NamedPipeSocket;
using kx::common::SharedPtr;
using kx::testing::kPatience;
using kx::testing::MakeChain;
using kx::testing::PipeServer;
using kx::testing::UniquePipeName;

// Writing to a peer that no longer reads must fail the write, not raise SIGPIPE in the game.
TEST(SendToDeadPeerTest, APeerThatStoppedReadingClosesTheSocketWithoutSigpipe) {
    struct sigaction previous;
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    ASSERT_EQ(sigaction(SIGPIPE, &defaults, &previous), 0);
    PipeServer server(UniquePipeName());
    for (int round = 0; round < 5; ++round) {
        SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
        ASSERT_TRUE(socket->Connect(server.GetName().c_str()));
        auto peer = server.Accept(kPatience);
        // 4 MiB, far more than the pipe holds.
        SharedPtr<kx::clientbox::Buffer> chain = MakeChain(std::vector<unsigned>(1024, 4096));
        // The peer still holds its end, so the reader thread sees no end of stream; only the
        // write learns that nobody reads. In the second half the peer stops mid-write and
        // then goes away (a write waiting for room is not woken by a peer that only stops
        // reading: like a peer that just never reads, it leaves the write queued).
        if (round < 3) {
            ASSERT_EQ(shutdown(static_cast<int>(peer->GetHandle()), SHUT_RD), 0);
            socket->Send(chain);
        } else {
            std::thread stopper([&] {
                char some[1024];
                peer->ReadExact(some, sizeof(some), kPatience);
                shutdown(static_cast<int>(peer->GetHandle()), SHUT_RD);
            });
            socket->Send(chain);
            stopper.join();
            peer.reset();
        }
        // The write fails on the I/O thread, which closes the socket.
        EXPECT_TRUE(kx::testing::WaitUntil([&] { return socket->IsClosed(); }));
    }
    sigaction(SIGPIPE, &previous, nullptr);
}

}  // namespace
