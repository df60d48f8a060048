#include "kx/clientbox/PBConnection.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ChainBytes.h"
#include "ConnectionLink.h"
#include "kx/logger/Logger.h"
#include "kx/testing/Frame.h"
#include "kx/testing/LogCapture.h"

namespace {

using kx::clientbox::Buffer;
using kx::clientbox::PBConnection;
using kx::clientbox::Socket;
using kx::common::SharedPtr;
using kx::protocol::halyxdll::Req;
using kx::protocol::halyxdll::Rsp;
using kx::testing::ConnectionLink;
using kx::testing::Frame;
using kx::testing::kPatience;
using kx::testing::LengthPrefix;
using kx::testing::LogCapture;
using kx::testing::MakeReq;
using kx::testing::MakeRsp;
using kx::testing::ReadFrame;
using kx::testing::WaitUntil;
using kx::testing::Watchdog;

void ExpectSameMessage(const Rsp& actual, const Rsp& expected) {
    EXPECT_EQ(actual.SerializeAsString(), expected.SerializeAsString());
}

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

TEST(PBConnectionTest, FrameArrivingOneBytePerReadIsUnframed) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const Rsp sent = MakeRsp(7, 40, 1);
    const std::string frame = Frame(sent);
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        ASSERT_TRUE(link.peer->WriteAll(&frame[i], 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Pause();
    Rsp received;
    EXPECT_FALSE(link.connection->TryReceive(&received));
    ASSERT_TRUE(link.peer->WriteAll(&frame.back(), 1));
    ASSERT_TRUE(link.WaitForMessage(&received));
    ExpectSameMessage(received, sent);
}

TEST(PBConnectionTest, TwoFramesInOneReadAreTakenOneAfterTheOther) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const Rsp first = MakeRsp(1, 10, 2);
    const Rsp second = MakeRsp(2, 20, 3);
    const std::string both = Frame(first) + Frame(second);
    ASSERT_TRUE(link.peer->WriteAll(both.data(), both.size()));
    Rsp received;
    ASSERT_TRUE(link.WaitForMessage(&received));
    ExpectSameMessage(received, first);
    // The second prefix was read ahead: the second message is there at once.
    ASSERT_TRUE(link.connection->TryReceive(&received));
    ExpectSameMessage(received, second);
    EXPECT_FALSE(link.connection->TryReceive(&received));
}

// Frames of many sizes written at once arrive in reads that each end anywhere in a frame; they
// are taken whole and in order, whether the game polls or waits, and a wait that begins with a
// frame already buffered returns at once.
TEST(PBConnectionTest, FramesSpanningReadBatchesAreTakenWholeAndInOrder) {
    Watchdog watchdog("frames spanning read batches", 60);
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const std::size_t sizes[] = {3, 4093, 70000, 5, 300000, 17, 9000};
    std::vector<Rsp> sent;
    std::string batch;
    for (unsigned i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
        sent.push_back(MakeRsp(i, sizes[i], i + 20));
        batch += Frame(sent.back());
    }
    // The last frame's second half comes later.
    const std::size_t held = Frame(sent.back()).size() / 2;
    ASSERT_TRUE(link.peer->WriteAll(batch.data(), batch.size() - held));
    Rsp received;
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
        if (i % 2 == 0) {
            ASSERT_TRUE(link.WaitForMessage(&received)) << i;
        } else {
            ASSERT_TRUE(link.connection->Receive(&received)) << i;
        }
        ExpectSameMessage(received, sent[i]);
    }
    EXPECT_FALSE(link.connection->TryReceive(&received));
    std::thread rest([&] {
        Pause();
        EXPECT_TRUE(link.peer->WriteAll(batch.data() + batch.size() - held, held));
    });
    ASSERT_TRUE(link.connection->Receive(&received));
    ExpectSameMessage(received, sent.back());
    rest.join();
}

TEST(PBConnectionTest, PrefixSplitAcrossTwoBuffersIsRead) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    // The first frame fills 4094 bytes, so the first read ends two bytes into the next prefix.
    Rsp first = MakeRsp(1, 4000, 4);
    const std::size_t overhead = first.ByteSizeLong() + 4 - 4000;
    first = MakeRsp(1, 4094 - overhead, 4);
    const Rsp second = MakeRsp(2, 300, 5);
    const std::string bytes = Frame(first) + Frame(second);
    ASSERT_EQ(Frame(first).size(), 4094u);
    ASSERT_TRUE(link.peer->WriteAll(bytes.data(), 4096));
    Pause();
    ASSERT_TRUE(link.peer->WriteAll(bytes.data() + 4096, bytes.size() - 4096));
    Rsp received;
    ASSERT_TRUE(link.WaitForMessage(&received));
    ExpectSameMessage(received, first);
    ASSERT_TRUE(link.WaitForMessage(&received));
    ExpectSameMessage(received, second);
}

TEST(PBConnectionTest, ZeroAndOversizedLengthsCloseTheSocket) {
    for (const uint32_t length : {0u, PBConnection::kMaxBodyLength + 1, 0xFFFFFFFFu}) {
        ConnectionLink link;
        ASSERT_TRUE(link.connected);
        const unsigned char prefix[4] = {
            static_cast<unsigned char>(length >> 24), static_cast<unsigned char>(length >> 16),
            static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)};
        ASSERT_TRUE(link.peer->WriteAll(prefix, 4));
        EXPECT_TRUE(WaitUntil([&] { return link.connection->IsClosed(); })) << length;
        EXPECT_TRUE(link.socket->IsClosed());
    }
}

// A socket in memory: what the test queues is what it has received. It closes without
// emitting SignalClosed, which stands for the time before the closed signal's handler runs.
class MemorySocket final : public Socket {
public:
    void Queue(const std::string& bytes) {
        SharedPtr<Buffer> buffer(new Buffer);
        buffer->Write(bytes.data(), static_cast<unsigned>(bytes.size()));
        buffer->Seal();
        received_ = buffer;
    }
    // The bytes of every chain sent, one entry per chain.
    std::vector<std::string> sent;
    void Send(SharedPtr<Buffer>& chain) override {
        const std::vector<unsigned char> bytes = kx::testing::ChainBytes(chain);
        sent.emplace_back(bytes.begin(), bytes.end());
        chain.Reset();
    }
    void Close() override { closed_ = true; }
    SharedPtr<Buffer> Receive() override {
        SharedPtr<Buffer> chain = received_;
        received_.Reset();
        return chain;
    }
    bool IsClosed() const override { return closed_; }
    bool IsListening() const override { return false; }

private:
    SharedPtr<Buffer> received_;
    bool closed_ = false;
};

// The bytes behind a refused length are the refused frame's, not frames: the connection must
// not unframe them, even when more received-data handlers run before the closed one.
TEST(PBConnectionTest, NothingBehindARefusedLengthIsUnframed) {
    for (const uint32_t length : {0u, PBConnection::kMaxBodyLength + 1}) {
        MemorySocket* socket = new MemorySocket;
        const SharedPtr<Socket> socketRef(socket);
        const SharedPtr<PBConnection> connection(new PBConnection(socketRef));
        socket->Queue(LengthPrefix(length) + Frame(MakeRsp(3, 20, 14)));
        connection->OnData();
        EXPECT_TRUE(socket->IsClosed());
        EXPECT_TRUE(connection->IsClosed());
        connection->OnData();
        Rsp received;
        EXPECT_FALSE(connection->TryReceive(&received)) << length;
    }
}

// What the body check below does while the game's thread takes a frame: the launcher's next
// frame arrives, and the signal loop's handler runs on a thread of its own.
struct ArrivalDuringTake {
    MemorySocket* socket;
    PBConnection* connection;
    std::string nextFrame;
};
ArrivalDuringTake* g_arrival = nullptr;

const char* DeliverNextFrameFromAnotherThread(google::protobuf::io::ZeroCopyInputStream*) {
    g_arrival->socket->Queue(g_arrival->nextFrame);
    std::thread handler([] { g_arrival->connection->OnData(); });
    handler.join();
    return nullptr;
}

// Bytes reported while a frame is being taken are left to the taker, and are unframed before
// its TakeFrame returns: the handler never waits for a parse, and no frame is stranded until
// the next report.
TEST(PBConnectionTest, BytesReportedDuringATakeAreUnframedByTheTaker) {
    Watchdog watchdog("a report during a take", 30);
    MemorySocket* socket = new MemorySocket;
    const SharedPtr<Socket> socketRef(socket);
    const SharedPtr<PBConnection> connection(new PBConnection(socketRef));
    const Rsp first = MakeRsp(1, 2000, 2);
    const Rsp second = MakeRsp(2, 500, 3);
    ArrivalDuringTake arrival = {socket, connection.Get(), Frame(second)};
    g_arrival = &arrival;
    socket->Queue(Frame(first));
    connection->OnData();
    Rsp received;
    ASSERT_EQ(connection->TakeFrame(&received, DeliverNextFrameFromAnotherThread),
              PBConnection::Outcome::kMessage);
    ExpectSameMessage(received, first);
    ASSERT_TRUE(connection->TryReceive(&received));
    ExpectSameMessage(received, second);
    g_arrival = nullptr;
}

// A frame goes to the socket as one chain, unless its body is large enough for a write of its
// own: then the prefix goes first, as a chain of its own.
TEST(PBConnectionTest, ALargeBodyIsSentApartFromItsPrefix) {
    MemorySocket* socket = new MemorySocket;
    const SharedPtr<Socket> socketRef(socket);
    const SharedPtr<PBConnection> connection(new PBConnection(socketRef));
    const Req small = MakeReq(1, 5000, 7);
    const Req large = MakeReq(2, 100000, 8);
    ASSERT_TRUE(connection->Send(small));
    ASSERT_TRUE(connection->Send(large));
    ASSERT_EQ(socket->sent.size(), 3u);
    EXPECT_EQ(socket->sent[0], Frame(small));
    EXPECT_EQ(socket->sent[1] + socket->sent[2], Frame(large));
    EXPECT_EQ(socket->sent[1].size(), 4u);
}

TEST(PBConnectionTest, LengthOfExactly64MiBIsAwaited) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const uint32_t length = PBConnection::kMaxBodyLength;
    const unsigned char prefix[4] = {
        static_cast<unsigned char>(length >> 24), static_cast<unsigned char>(length >> 16),
        static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)};
    ASSERT_TRUE(link.peer->WriteAll(prefix, 4));
    ASSERT_TRUE(link.peer->WriteAll("abc", 3));
    Pause();
    EXPECT_FALSE(link.connection->IsClosed());
    Rsp received;
    EXPECT_FALSE(link.connection->TryReceive(&received));
}

TEST(PBConnectionTest, TryReceiveWithoutAWholeMessageLeavesTheMessageCleared) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    Rsp received = MakeRsp(5, 10, 6);
    EXPECT_FALSE(link.connection->TryReceive(&received));
    EXPECT_FALSE(received.has_requestid());
    EXPECT_FALSE(received.has_readsavegame());
}

TEST(PBConnectionTest, SendFramesTheMessageWithABigEndianLength) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    // A request whose encoding is 5000 bytes goes out as 4096 + 908 bytes.
    std::size_t dataSize = 4988;
    Req req = MakeReq(1, dataSize, 7);
    dataSize -= req.ByteSizeLong() - 5000;
    req = MakeReq(1, dataSize, 7);
    ASSERT_EQ(req.ByteSizeLong(), 5000u);
    ASSERT_TRUE(link.connection->Send(req));
    unsigned char prefix[4];
    ASSERT_TRUE(link.peer->ReadExact(prefix, 4, kPatience));
    EXPECT_EQ(prefix[0], 0x00);
    EXPECT_EQ(prefix[1], 0x00);
    EXPECT_EQ(prefix[2], 0x13);
    EXPECT_EQ(prefix[3], 0x88);
    std::string body(5000, '\0');
    ASSERT_TRUE(link.peer->ReadExact(&body[0], body.size(), kPatience));
    EXPECT_EQ(body, req.SerializeAsString());
}

// A body that does not parse is dropped: exactly its bytes are consumed, one error line is
// logged, and the frames behind it are delivered.
TEST(PBConnectionTest, BodiesThatDoNotParseAreDroppedAndTheNextFramesGoOn) {
    LogCapture& log = LogCapture::Get();
    log.Clear();
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const Rsp good1 = MakeRsp(1, 50, 8);
    const Rsp good2 = MakeRsp(2, 5000, 9);
    const Rsp good3 = MakeRsp(3, 60, 10);
    Rsp missingRequired;
    missingRequired.mutable_stopreadsavegame();
    const std::string bytes = Frame(std::string("\x00\x00\x00", 3)) +  // field number 0: malformed
                              Frame(good1) +
                              // A length-delimited field claiming 16 bytes in a 2-byte body: a
                              // parser that is not held to the frame reads on into the next one.
                              Frame(std::string("\x0A\x10", 2)) + Frame(good2) +
                              Frame(missingRequired.SerializePartialAsString()) + Frame(good3);
    ASSERT_TRUE(link.peer->WriteAll(bytes.data(), bytes.size()));
    Rsp received;
    for (const Rsp* expected : {&good1, &good2, &good3}) {
        ASSERT_TRUE(link.WaitForMessage(&received));
        ExpectSameMessage(received, *expected);
    }
    EXPECT_FALSE(link.connection->TryReceive(&received));
    EXPECT_FALSE(link.connection->IsClosed());
    const auto lines = log.Matching("does not parse");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].level, kx::common::kLogError);
}

TEST(PBConnectionTest, AMessageFramedBeforeTheSocketClosedCanStillBeTaken) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const Rsp last = MakeRsp(9, 100, 11);
    const std::string frame = Frame(last);
    ASSERT_TRUE(link.peer->WriteAll(frame.data(), frame.size()));
    link.peer->Close();
    ASSERT_TRUE(WaitUntil([&] { return link.connection->IsClosed(); }));
    Rsp received;
    ASSERT_TRUE(link.WaitForMessage(&received));
    ExpectSameMessage(received, last);
}

TEST(PBConnectionTest, ReceiveWaitsForAMessageAndEndsWhenTheSocketCloses) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    const Rsp sent = MakeRsp(4, 30, 12);
    std::thread peer([&] {
        Pause();
        const std::string frame = Frame(sent);
        EXPECT_TRUE(link.peer->WriteAll(frame.data(), frame.size()));
        Pause();
        link.peer->Close();
    });
    Rsp received;
    ASSERT_TRUE(link.connection->Receive(&received));
    ExpectSameMessage(received, sent);
    EXPECT_FALSE(link.connection->Receive(&received));
    EXPECT_TRUE(link.connection->IsClosed());
    peer.join();
    // Closed at once now.
    EXPECT_FALSE(link.connection->Receive(&received));
}

TEST(PBConnectionTest, ReceiveWithTimeoutReportsExpiry) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    Rsp received;
    bool expired = false;
    EXPECT_FALSE(link.connection->ReceiveWithTimeout(&received, 50, expired));
    EXPECT_TRUE(expired);
    const std::string frame = Frame(MakeRsp(1, 1, 13));
    ASSERT_TRUE(link.peer->WriteAll(frame.data(), frame.size()));
    EXPECT_TRUE(link.connection->ReceiveWithTimeout(&received, 10000, expired));
    EXPECT_FALSE(expired);
}

TEST(PBConnectionTest, CloseClosesTheSocketAndAConnectionWithoutSocketIsClosed) {
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    link.connection->Close();
    EXPECT_TRUE(link.connection->IsClosed());
    EXPECT_TRUE(link.socket->IsClosed());
    EXPECT_EQ(link.peer->ReadToEnd(kPatience), 0);

    SharedPtr<PBConnection> without(new PBConnection(SharedPtr<Socket>()));
    EXPECT_TRUE(without->IsClosed());
    Rsp received;
    EXPECT_FALSE(without->TryReceive(&received));
    EXPECT_FALSE(without->Receive(&received));
    EXPECT_TRUE(without->Send(MakeReq(1, 1, 1)));  // dropped
}

}  // namespace
