#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/logger/Logger.h"
#include "kx/testing/LogCapture.h"

namespace {

using kx::clientbox::NamedPipeSocket;
using kx::clientbox::PipeHandle;
using kx::common::SharedPtr;
using kx::testing::DrainSignalLoop;
using kx::testing::LogCapture;
using kx::testing::SignalCounter;
using kx::testing::WaitUntil;

// A descriptor that polls readable but cannot be received from: the read fails on an open
// socket, which logs one error line naming the call and its code, then closes.
TEST(ReadFailureTest, AFailedReadOnAnOpenSocketLogsOneLineAndCloses) {
    LogCapture& log = LogCapture::Get();
    log.Clear();
    const int directory = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(directory, 0);
    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    SharedPtr<SignalCounter> counter(new SignalCounter);
    socket->SignalClosed.Connect(counter, &SignalCounter::OnClosed);
    socket->Attach(reinterpret_cast<PipeHandle>(static_cast<intptr_t>(directory)));
    // The socket counts as closed a moment before its signal is emitted.
    ASSERT_TRUE(WaitUntil([&] { return counter->closed == 1; }));
    EXPECT_TRUE(socket->IsClosed());
    DrainSignalLoop();
    EXPECT_EQ(counter->closed, 1);
    const std::vector<LogCapture::Line> lines = log.Matching("failed");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, kx::common::kLogError);
    EXPECT_EQ(lines[0].text, "recv failed, error = " + std::to_string(ENOTSOCK) + ".");
}

}  // namespace
