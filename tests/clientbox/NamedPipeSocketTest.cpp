#include "kx/clientbox/NamedPipeSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChainBytes.h"
#include "TestSupport.h"
#include "kx/common/WeakPtr.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"

namespace {

using kx::clientbox::Buffer;
using kx::clientbox::NamedPipeSocket;
using kx::common::SharedPtr;
using kx::common::WeakPtr;
using kx::testing::ChainBytes;
using kx::testing::DrainSignalLoop;
using kx::testing::kPatience;
using kx::testing::MakeChain;
using kx::testing::Pattern;
using kx::testing::PipeEnd;
using kx::testing::PipeServer;
using kx::testing::SignalCounter;
using kx::testing::UniquePipeName;
using kx::testing::WaitUntil;
using kx::testing::Watchdog;
using Bytes = std::vector<unsigned char>;

SharedPtr<SignalCounter> CountSignals(NamedPipeSocket* socket) {
    SharedPtr<SignalCounter> counter(new SignalCounter);
    socket->SignalClosed.Connect(counter, &SignalCounter::OnClosed);
    socket->SignalConnected.Connect(counter, &SignalCounter::OnConnected);
    socket->SignalSent.Connect(counter, &SignalCounter::OnSent);
    socket->SignalReceived.Connect(counter, &SignalCounter::OnReceived);
    return counter;
}

// Collects what the socket receives until `count` bytes are there.
Bytes ReceiveBytes(NamedPipeSocket* socket, std::size_t count) {
    Bytes received;
    WaitUntil([&] {
        SharedPtr<Buffer> chain = socket->Receive();
        const Bytes bytes = ChainBytes(chain);
        received.insert(received.end(), bytes.begin(), bytes.end());
        return received.size() >= count;
    });
    return received;
}

// Waits until nothing but the observer's temporary reference keeps the socket alive.
bool WaitForRelease(const WeakPtr<NamedPipeSocket>& observer) {
    return WaitUntil([&] { return !observer.Lock(); });
}

// One connected socket with the server's end of its pipe.
struct Connection {
    explicit Connection(PipeServer& server) : socket(new NamedPipeSocket) {
        connected = socket->Connect(server.GetName().c_str());
        if (connected) peer = server.Accept(kPatience);
    }
    SharedPtr<NamedPipeSocket> socket;
    bool connected = false;
    std::unique_ptr<PipeEnd> peer;
};

TEST(NamedPipeSocketTest, ConnectToANameNobodyServesFailsQuietly) {
    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    SharedPtr<SignalCounter> counter = CountSignals(socket.Get());
    EXPECT_FALSE(socket->Connect(UniquePipeName().c_str()));
    EXPECT_TRUE(socket->IsClosed());
    EXPECT_FALSE(socket->IsListening());
    DrainSignalLoop();
    EXPECT_EQ(counter->connected + counter->closed, 0);
}

TEST(NamedPipeSocketTest, BytesTravelBothWaysInOrderWithTheirSignals) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    SharedPtr<SignalCounter> counter = CountSignals(connection.socket.Get());
    EXPECT_FALSE(connection.socket->IsClosed());

    // Several buffers go out as several writes, in chain order.
    const Bytes outgoing = Pattern(4096 * 3 + 17, 4);
    SharedPtr<Buffer> chain = MakeChain({4096, 4096, 4096, 17}, 4);
    connection.socket->Send(chain);
    EXPECT_FALSE(chain);
    Bytes atPeer(outgoing.size());
    ASSERT_TRUE(connection.peer->ReadExact(atPeer.data(), atPeer.size(), kPatience));
    EXPECT_EQ(atPeer, outgoing);

    const Bytes incoming = Pattern(10000, 5);
    ASSERT_TRUE(connection.peer->WriteAll(incoming.data(), incoming.size()));
    EXPECT_EQ(ReceiveBytes(connection.socket.Get(), incoming.size()), incoming);
    EXPECT_FALSE(connection.socket->Receive());

    DrainSignalLoop();
    EXPECT_EQ(counter->sent, 1);
    // One read takes 4096 bytes at most on Windows, up to 64 KiB of waiting bytes on POSIX.
    EXPECT_GE(counter->received, 1);
    connection.socket->Close();
}

// A read fills its own buffer and as many of the empty buffers linked behind it as its bytes
// reach; the others are kept for later reads, of the same socket or another. Reads ending
// just before, on and just past a buffer's end, on two sockets in turn, arrive whole and in
// order, and no buffer of a received chain is empty.
TEST(NamedPipeSocketTest, ReadsOfAnySizeArriveWholeInBuffersThatAllHoldBytes) {
    PipeServer server(UniquePipeName());
    Connection first(server);
    Connection second(server);
    ASSERT_TRUE(first.connected && second.connected);
    const std::size_t sizes[] = {1, 4095, 4096, 4097, 3 * 4096, 63 * 4096 + 1, 64 * 4096, 300000};
    unsigned seed = 20;
    for (const std::size_t size : sizes) {
        for (Connection* connection : {&first, &second}) {
            const Bytes sent = Pattern(size, ++seed);
            // Below the socket's bound of unread bytes: the write ends before anything is taken.
            ASSERT_TRUE(connection->peer->WriteAll(sent.data(), sent.size()));
            Bytes received;
            unsigned emptyBuffers = 0;
            ASSERT_TRUE(WaitUntil([&] {
                const SharedPtr<Buffer> chain = connection->socket->Receive();
                for (Buffer* buffer = chain.Get(); buffer != nullptr;
                     buffer = buffer->GetNext().Get()) {
                    const unsigned char* region;
                    const unsigned count = buffer->GetReadRegion(&region);
                    if (count == 0) ++emptyBuffers;
                    received.insert(received.end(), region, region + count);
                }
                return received.size() >= size;
            })) << size;
            EXPECT_TRUE(received == sent) << size;
            EXPECT_EQ(emptyBuffers, 0u) << size;
        }
    }
    first.socket->Close();
    second.socket->Close();
}

// Reads that join unread bytes are announced by the notification of those bytes, whose
// handler takes them all; once Receive has taken them, the next read is announced again.
TEST(NamedPipeSocketTest, ReadsJoiningUnreadBytesAreAnnouncedOnceAndReceivedAsOneChain) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    SharedPtr<SignalCounter> counter = CountSignals(connection.socket.Get());
    ASSERT_TRUE(connection.peer->WriteAll("ab", 2));
    ASSERT_TRUE(WaitUntil([&] { return counter->received >= 1; }));
    ASSERT_TRUE(connection.peer->WriteAll("cde", 3));
    ASSERT_TRUE(WaitUntil([&] { return connection.socket->GetUnreadByteCount() == 5; }));
    DrainSignalLoop();
    EXPECT_EQ(counter->received, 1);
    SharedPtr<Buffer> chain = connection.socket->Receive();
    EXPECT_EQ(connection.socket->GetUnreadByteCount(), 0u);
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->Remaining(), 2u);
    EXPECT_EQ(ChainBytes(chain), Bytes({'a', 'b', 'c', 'd', 'e'}));
    ASSERT_TRUE(connection.peer->WriteAll("f", 1));
    EXPECT_TRUE(WaitUntil([&] { return counter->received >= 2; }));
    connection.socket->Close();
}

TEST(NamedPipeSocketTest, CloseSignalsOnceAndTheSocketReleasesItself) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    SharedPtr<SignalCounter> counter = CountSignals(connection.socket.Get());
    WeakPtr<NamedPipeSocket> observer(connection.socket);

    connection.socket->Close();
    EXPECT_TRUE(connection.socket->IsClosed());
    connection.socket->Close();
    SharedPtr<Buffer> dropped = MakeChain({10});
    connection.socket->Send(dropped);  // dropped without a report
    SharedPtr<Buffer> empty;
    connection.socket->Send(empty);
    connection.socket.Reset();

    EXPECT_TRUE(WaitForRelease(observer));
    DrainSignalLoop();
    EXPECT_EQ(counter->closed, 1);
    EXPECT_EQ(counter->sent, 0);
    // The peer sees the pipe end without a byte.
    EXPECT_EQ(connection.peer->ReadToEnd(kPatience), 0);
}

TEST(NamedPipeSocketTest, PeerClosingClosesTheSocketWhichThenReleasesItself) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    SharedPtr<SignalCounter> counter = CountSignals(connection.socket.Get());
    WeakPtr<NamedPipeSocket> observer(connection.socket);
    ASSERT_TRUE(connection.peer->WriteAll("last", 4));
    connection.peer->Close();
    ASSERT_TRUE(WaitUntil([&] { return connection.socket->IsClosed(); }));
    // Bytes that arrived before the end can still be taken.
    EXPECT_EQ(ChainBytes(connection.socket->Receive()), Bytes({'l', 'a', 's', 't'}));
    connection.socket.Reset();
    EXPECT_TRUE(WaitForRelease(observer));
    DrainSignalLoop();
    EXPECT_EQ(counter->closed, 1);
}

// A write that cannot complete at once waits for the peer, while the socket's read stays
// outstanding on the same handle, and every byte arrives in order.
TEST(NamedPipeSocketTest, WriteWaitsForASlowPeerWithAReadOutstanding) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    const std::size_t size = 1024 * 1024;
    std::vector<unsigned> sizes(size / 4096, 4096);
    Bytes atPeer(size);
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(connection.peer->ReadExact(atPeer.data(), size, kPatience));
        EXPECT_TRUE(connection.peer->WriteAll("ok", 2));
    });
    SharedPtr<Buffer> chain = MakeChain(sizes, 6);
    connection.socket->Send(chain);
    peer.join();
    EXPECT_EQ(atPeer, Pattern(size, 6));
    EXPECT_EQ(ReceiveBytes(connection.socket.Get(), 2), Bytes({'o', 'k'}));
    EXPECT_FALSE(connection.socket->IsClosed());
    connection.socket->Close();
}

// Frames queued together go out in several writes outstanding at once on Windows: the rest of
// a chain larger than one write, the next chain behind a chain wholly being written, small
// chains joined into one write. A peer that starts reading late, in pieces that match none of
// them, gets every byte once and in order.
TEST(NamedPipeSocketTest, ChainsQueuedTogetherArriveInOrderBehindASlowPeer) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    const std::vector<std::vector<unsigned>> chains = {{4},
                                                       std::vector<unsigned>(300, 4096),
                                                       {4},
                                                       {4096, 100, 4096},
                                                       {17},
                                                       {4},
                                                       std::vector<unsigned>(256, 4096),
                                                       {4},
                                                       std::vector<unsigned>(20, 4096)};
    Bytes expected;
    for (std::size_t i = 0; i < chains.size(); ++i) {
        SharedPtr<Buffer> chain = MakeChain(chains[i], static_cast<unsigned>(i));
        const Bytes bytes = ChainBytes(chain);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        connection.socket->Send(chain);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Bytes atPeer(expected.size());
    for (std::size_t done = 0; done < atPeer.size();) {
        const std::size_t piece = std::min<std::size_t>(70000, atPeer.size() - done);
        ASSERT_TRUE(connection.peer->ReadExact(atPeer.data() + done, piece, kPatience));
        done += piece;
    }
    EXPECT_EQ(atPeer, expected);
    EXPECT_FALSE(connection.socket->IsClosed());
    connection.socket->Close();
}

// Both ends write large amounts at once before either reads. Reads must go on while this side
// is blocked in its write, or neither side ever finishes.
TEST(NamedPipeSocketTest, BothEndsWritingAtOnceDoNotDeadlock) {
    Watchdog watchdog("simultaneous writes", 60);
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    const std::size_t size = 4 * 1024 * 1024;
    const Bytes fromPeer = Pattern(size, 7);
    SharedPtr<Buffer> chain = MakeChain(std::vector<unsigned>(size / 4096, 4096), 8);
    std::thread peer([&] {
        EXPECT_TRUE(connection.peer->WriteAll(fromPeer.data(), size));
        Bytes atPeer(size);
        EXPECT_TRUE(connection.peer->ReadExact(atPeer.data(), size, kPatience));
        EXPECT_EQ(atPeer, Pattern(size, 8));
    });
    connection.socket->Send(chain);
    EXPECT_EQ(ReceiveBytes(connection.socket.Get(), size), fromPeer);
    peer.join();
    connection.socket->Close();
}

// A queued chain that holds no bytes gives the I/O thread nothing to write; the large chain
// queued behind it (a write of its own) must still go out.
TEST(NamedPipeSocketTest, AChainWithoutBytesDoesNotHoldUpTheChainBehindIt) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    const std::size_t size = 128 * 1024;
    SharedPtr<Buffer> empty = MakeChain({0, 0});
    SharedPtr<Buffer> large = MakeChain(std::vector<unsigned>(size / 4096, 4096), 4);
    connection.socket->Send(empty);
    connection.socket->Send(large);
    Bytes atPeer(size);
    ASSERT_TRUE(connection.peer->ReadExact(atPeer.data(), size, kPatience));
    EXPECT_EQ(atPeer, Pattern(size, 4));
    connection.socket->Close();
}

// More sockets than one wait of the I/O thread can watch have reads, and writes waiting for
// their peers, outstanding at once: every call still ends, the bytes queued behind a write
// follow it, and every read delivers.
TEST(NamedPipeSocketTest, ManySocketsWithCallsWaitingForTheirPeersAreAllServed) {
    Watchdog watchdog("many waiting calls", 120);
    constexpr int kSockets = 70;
    constexpr std::size_t kFirst = 256 * 1024;
    constexpr std::size_t kSecond = 4096;
    PipeServer server(UniquePipeName());
    std::vector<std::unique_ptr<Connection>> connections;
    for (int i = 0; i < kSockets; ++i) {
        connections.emplace_back(new Connection(server));
        ASSERT_TRUE(connections.back()->connected);
        // The first chain is more than the pipe holds; the second one waits behind it.
        SharedPtr<Buffer> first = MakeChain(std::vector<unsigned>(kFirst / 4096, 4096), i);
        SharedPtr<Buffer> second = MakeChain({kSecond}, i + 100);
        connections.back()->socket->Send(first);
        connections.back()->socket->Send(second);
    }
    // The last sockets' calls are the ones that a wait cannot watch: their peers go first.
    for (int i = kSockets - 1; i >= 0; --i) {
        Bytes atPeer(kFirst + kSecond);
        ASSERT_TRUE(connections[i]->peer->ReadExact(atPeer.data(), atPeer.size(), kPatience));
        EXPECT_EQ(Bytes(atPeer.begin(), atPeer.begin() + kFirst), Pattern(kFirst, i));
        EXPECT_EQ(Bytes(atPeer.begin() + kFirst, atPeer.end()), Pattern(kSecond, i + 100));
        const unsigned char name = static_cast<unsigned char>(i);
        ASSERT_TRUE(connections[i]->peer->WriteAll(&name, 1));
        EXPECT_EQ(ReceiveBytes(connections[i]->socket.Get(), 1), Bytes({name}));
    }
    for (const std::unique_ptr<Connection>& connection : connections) connection->socket->Close();
}

// Send only queues: a peer that never reads cannot hold the caller (the watchdog fails a
// Send that waits for it), and a close drops what is still queued and releases the socket.
TEST(NamedPipeSocketTest, SendReturnsAtOnceToAPeerThatDoesNotReadAndCloseDropsTheQueue) {
    Watchdog watchdog("a send waiting for the peer", 60);
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    WeakPtr<NamedPipeSocket> observer(connection.socket);
    for (int i = 0; i < 4; ++i) {
        SharedPtr<Buffer> chain = MakeChain(std::vector<unsigned>(1024, 4096));  // 4 MiB
        connection.socket->Send(chain);
        EXPECT_FALSE(chain) << "taken over";
    }
    connection.socket->Close();
    connection.socket.Reset();
    EXPECT_TRUE(WaitForRelease(observer));
}

// Bytes nobody takes are not read without limit: reading pauses once kMaxIncomingBytes are
// unread, so a peer that keeps sending blocks in its own writes, and reading resumes when the
// bytes are taken, with nothing lost or reordered.
TEST(NamedPipeSocketTest, ReadingPausesWhileTheUnreadBytesAreAtTheBound) {
    PipeServer server(UniquePipeName());
    Connection connection(server);
    ASSERT_TRUE(connection.connected);
    const std::size_t size = 8 * NamedPipeSocket::kMaxIncomingBytes;
    const Bytes sent = Pattern(size, 11);
    std::thread sender([&] { EXPECT_TRUE(connection.peer->WriteAll(sent.data(), sent.size())); });
    // Long enough for every byte to have been read, were reading not paused.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Bytes first = ChainBytes(connection.socket->Receive());
    // One read may overshoot the bound by what it takes at once (at most 256 KiB).
    EXPECT_LE(first.size(), NamedPipeSocket::kMaxIncomingBytes + (256u << 10));
    Bytes received = first;
    const Bytes rest = ReceiveBytes(connection.socket.Get(), size - first.size());
    received.insert(received.end(), rest.begin(), rest.end());
    sender.join();
    EXPECT_TRUE(received == sent);
    connection.socket->Close();
}

// After a close, a new pipe opened at once often gets the old handle's value. The old socket's
// read must never be issued on it: the new socket receives every byte its peer sends.
TEST(NamedPipeSocketTest, ReadOfAClosedSocketNeverTakesBytesOfALaterPipe) {
    PipeServer server(UniquePipeName());
    const Bytes message = Pattern(300, 9);
    for (int round = 0; round < 200; ++round) {
        Connection first(server);
        ASSERT_TRUE(first.connected);
        first.socket->Close();
        Connection second(server);
        ASSERT_TRUE(second.connected);
        ASSERT_TRUE(second.peer->WriteAll(message.data(), message.size()));
        ASSERT_EQ(ReceiveBytes(second.socket.Get(), message.size()), message) << round;
        second.socket->Close();
    }
}

// A read can complete with data just as another thread closes the socket; that completion
// must end the read cycle instead of starting a read on a closed socket. The peer writes small
// chunks, or batches larger than one read takes, so the close also lands in the middle of one.
TEST(NamedPipeSocketTest, CloseWhileDataFlowsEndsTheReadCycle) {
    PipeServer server(UniquePipeName());
    const Bytes small = Pattern(512, 10);
    const Bytes large = Pattern(300000, 11);
    for (int round = 0; round < 200; ++round) {
        const Bytes& chunk = round % 2 == 0 ? small : large;
        Connection connection(server);
        ASSERT_TRUE(connection.connected);
        WeakPtr<NamedPipeSocket> observer(connection.socket);
        std::thread peer([&] {
            while (connection.peer->WriteAll(chunk.data(), chunk.size())) {
            }
        });
        std::this_thread::sleep_for(std::chrono::microseconds(round * 10));
        connection.socket->Close();
        connection.socket.Reset();
        ASSERT_TRUE(WaitForRelease(observer)) << round;
        peer.join();
    }
}

// The I/O thread makes its pipe calls without the socket's lock, so a close can land between
// its look at the socket and the call. A read or write issued after the close's cancel must
// still end: to a peer that neither reads nor writes, both would otherwise stay outstanding
// and the socket would never let go of itself.
TEST(NamedPipeSocketTest, CloseRacingTheIssueOfACallStillEndsIt) {
    PipeServer server(UniquePipeName());
    for (int round = 0; round < 300; ++round) {
        Connection connection(server);
        ASSERT_TRUE(connection.connected);
        WeakPtr<NamedPipeSocket> observer(connection.socket);
        SharedPtr<Buffer> chain = MakeChain(std::vector<unsigned>(256, 4096));  // 1 MiB
        connection.socket->Send(chain);
        // Spun rather than slept: a sleep may round up to a whole tick.
        const auto closeAt =
            std::chrono::steady_clock::now() + std::chrono::microseconds(round % 100 * 2);
        while (std::chrono::steady_clock::now() < closeAt) {
        }
        connection.socket->Close();
        connection.socket.Reset();
        ASSERT_TRUE(WaitForRelease(observer)) << round;
    }
}

}  // namespace
