#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/logger/Logger.h"
#include "kx/testing/LogCapture.h"

namespace {

using kx::clientbox::NamedPipeSocket;
using kx::common::SharedPtr;
using kx::testing::DrainSignalLoop;
using kx::testing::LogCapture;
using kx::testing::SignalCounter;
using kx::testing::WaitUntil;

// A handle opened for writing only: the read fails on an open socket, which logs one error
// line with the code under the receive loop's source name and line, then closes.
TEST(ReadFailureTest, AFailedReadOnAnOpenSocketLogsOneLineAndCloses) {
    LogCapture& log = LogCapture::Get();
    log.Clear();
    char directory[MAX_PATH];
    char path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, directory), 0u);
    ASSERT_NE(GetTempFileNameA(directory, "kx", 0, path), 0u);
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    SharedPtr<SignalCounter> counter(new SignalCounter);
    socket->SignalClosed.Connect(counter, &SignalCounter::OnClosed);
    socket->Attach(file);
    // The socket counts as closed a moment before its signal is emitted.
    ASSERT_TRUE(WaitUntil([&] { return counter->closed == 1; }));
    EXPECT_TRUE(socket->IsClosed());
    DrainSignalLoop();
    EXPECT_EQ(counter->closed, 1);
    const std::vector<LogCapture::Line> lines = log.Matching("failed");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, kx::common::kLogError);
    EXPECT_EQ(lines[0].file,
              "..\\..\\..\\..\\..\\libs\\clientbox\\kx\\clientbox\\win\\NamedPipeReceiveLoop");
    EXPECT_EQ(lines[0].line, 62);
    EXPECT_EQ(lines[0].text, "ReadFileEx failed, error = " +
                                 std::to_string(static_cast<int>(ERROR_ACCESS_DENIED)) + ".");
}

}  // namespace
