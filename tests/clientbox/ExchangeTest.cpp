#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "ConnectionLink.h"
#include "kx/clientbox/Buffer.h"
#include "kx/common/TemplatedReferenceCounter.h"
#include "kx/testing/Frame.h"

namespace {

using kx::clientbox::Buffer;
using kx::protocol::halyxdll::Req;
using kx::protocol::halyxdll::Rsp;
using kx::testing::ConnectionLink;
using kx::testing::Frame;
using kx::testing::MakeReq;
using kx::testing::MakeRsp;
using kx::testing::ReadFrame;
using kx::testing::Watchdog;

constexpr unsigned kMessages = 3000;

// Sizes around the buffer and prefix boundaries, with a 1 MiB message now and then.
std::size_t SizeOf(unsigned index) {
    static const std::size_t kSizes[] = {1,    2,    3,    7,    100,  1000, 4087,
                                         4088, 4091, 4092, 4096, 4097, 8192, 20000};
    if (index % 500 == 499) return 1024 * 1024;
    return kSizes[index % (sizeof(kSizes) / sizeof(kSizes[0]))];
}

// Thousands of messages of 1 byte to 1 MiB travel both ways at once, every byte checked: the
// peer frames and parses on its own, independently of the library.
TEST(ExchangeTest, ThousandsOfMessagesBothWaysArriveIntactAndInOrder) {
    Watchdog watchdog("the exchange", 240);
    ConnectionLink link;
    ASSERT_TRUE(link.connected);

    std::atomic<unsigned> peerReceived(0);
    std::thread peerReader([&] {
        std::string body;
        Req req;
        for (unsigned i = 0; i < kMessages; ++i) {
            ASSERT_TRUE(ReadFrame(*link.peer, &body)) << i;
            ASSERT_TRUE(req.ParseFromString(body)) << i;
            ASSERT_EQ(body, MakeReq(i, SizeOf(i), i).SerializeAsString()) << i;
            ++peerReceived;
        }
    });
    std::thread peerWriter([&] {
        for (unsigned i = 0; i < kMessages; ++i) {
            const std::string frame = Frame(MakeRsp(i, SizeOf(kMessages - 1 - i), i + 1));
            ASSERT_TRUE(link.peer->WriteAll(frame.data(), frame.size())) << i;
        }
    });
    std::thread sender([&] {
        for (unsigned i = 0; i < kMessages; ++i) {
            ASSERT_TRUE(link.connection->Send(MakeReq(i, SizeOf(i), i)));
        }
    });

    Rsp received;
    for (unsigned i = 0; i < kMessages; ++i) {
        ASSERT_TRUE(link.WaitForMessage(&received, 60000)) << i;
        ASSERT_EQ(received.SerializeAsString(),
                  MakeRsp(i, SizeOf(kMessages - 1 - i), i + 1).SerializeAsString())
            << i;
    }
    sender.join();
    peerWriter.join();
    peerReader.join();
    EXPECT_EQ(peerReceived, kMessages);
    EXPECT_FALSE(link.connection->IsClosed());
}

// Once the pools have grown to the traffic, a long exchange takes no buffer and no buffer
// counter from the heap. How many buffers are in flight at once depends on thread timing, so a
// round may still grow a pool by one; a round without any miss must come soon, and the misses
// stay a handful where an allocation per exchange would count thousands.
TEST(ExchangeTest, SteadyStateExchangeTakesNothingFromTheHeap) {
    Watchdog watchdog("the steady exchange", 240);
    ConnectionLink link;
    ASSERT_TRUE(link.connected);
    std::thread echo([&] {
        std::string body;
        Req req;
        while (ReadFrame(*link.peer, &body)) {
            ASSERT_TRUE(req.ParseFromString(body));
            const std::string frame =
                Frame(MakeRsp(req.requestid(), req.writesavegame().data().size(), 3));
            ASSERT_TRUE(link.peer->WriteAll(frame.data(), frame.size()));
        }
    });
    const auto exchange = [&](unsigned count) {
        Rsp received;
        for (unsigned i = 0; i < count; ++i) {
            const std::size_t size = SizeOf(i % 1000) > 65536 ? 65536 : SizeOf(i % 1000);
            ASSERT_TRUE(link.connection->Send(MakeReq(i, size, 2)));
            bool expired = false;
            ASSERT_TRUE(link.connection->ReceiveWithTimeout(&received, 30000, expired)) << i;
            ASSERT_EQ(received.requestid(), i);
            ASSERT_EQ(received.readsavegame().data().size(), size);
        }
    };
    exchange(1000);
    const auto misses = [] {
        return Buffer::GetHeapBlockCount() +
               kx::common::TemplatedReferenceCounter<Buffer>::GetHeapBlockCount();
    };
    const unsigned before = misses();
    unsigned rounds = 0;
    bool quietRound = false;
    while (!quietRound && rounds < 5) {
        const unsigned roundStart = misses();
        exchange(2000);
        ++rounds;
        quietRound = misses() == roundStart;
    }
    const unsigned totalMisses = misses() - before;
    RecordProperty("PoolMissesAfterWarmUp", static_cast<int>(totalMisses));
    std::printf("pool misses after warm-up: %u over %u rounds of 2000 (pools: %u buffers)\n",
                totalMisses, rounds, Buffer::GetHeapBlockCount());
    EXPECT_TRUE(quietRound) << "every round of 2000 exchanges took from the heap";
    // The high-water marks may still rise a little, and by what the batches of the game's
    // thread and of the I/O thread hold in each of the two pools.
    EXPECT_LE(totalMisses, 8u + 2 * 2 * Buffer::Batch::kCapacity);
    link.connection->Close();
    echo.join();
}

}  // namespace
