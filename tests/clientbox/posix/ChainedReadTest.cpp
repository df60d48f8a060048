#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <vector>

#include "ChainBytes.h"
#include "TestSupport.h"
#include "kx/clientbox/NamedPipeSocket.h"

namespace {

using kx::clientbox::Buffer;
using kx::clientbox::NamedPipeSocket;
using kx::clientbox::PipeHandle;
using kx::common::SharedPtr;
using kx::testing::ChainBytes;
using kx::testing::DrainSignalLoop;
using kx::testing::Pattern;
using kx::testing::SignalCounter;
using kx::testing::WaitUntil;

// Bytes already waiting when a read fills its buffer are taken by that same read, in buffers
// linked behind it, up to 256 KiB: one completion and one notification for all of them.
TEST(ChainedReadTest, WaitingBytesAreReadAtOnceIntoLinkedBuffers) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    // 4096 + 9 * 4096 + 100 bytes: the first buffer, then nine full ones and a partial one.
    const std::vector<unsigned char> sent = Pattern(10 * 4096 + 100, 6);
    ASSERT_EQ(write(ends[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));

    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    SharedPtr<SignalCounter> counter(new SignalCounter);
    socket->SignalReceived.Connect(counter, &SignalCounter::OnReceived);
    socket->Attach(reinterpret_cast<PipeHandle>(static_cast<intptr_t>(ends[0])));
    ASSERT_TRUE(WaitUntil([&] { return counter->received >= 1; }));
    DrainSignalLoop();
    EXPECT_EQ(counter->received, 1);

    SharedPtr<Buffer> chain = socket->Receive();
    EXPECT_EQ(ChainBytes(chain), sent);
    unsigned links = 0;
    for (const Buffer* buffer = chain.Get(); buffer != nullptr; buffer = buffer->GetNext().Get()) {
        EXPECT_EQ(buffer->GetMode(), Buffer::kSealed);
        ++links;
    }
    EXPECT_EQ(links, 11u) << "no empty buffer is left linked";

    // More than one read's worth waiting: the rest comes in the next reads, intact.
    const std::vector<unsigned char> more = Pattern(300000, 7);
    ASSERT_EQ(write(ends[1], more.data(), more.size()), static_cast<ssize_t>(more.size()));
    std::vector<unsigned char> received;
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<unsigned char> bytes = ChainBytes(socket->Receive());
        received.insert(received.end(), bytes.begin(), bytes.end());
        return received.size() >= more.size();
    }));
    EXPECT_EQ(received, more);
    socket->Close();
    close(ends[1]);
}

}  // namespace
