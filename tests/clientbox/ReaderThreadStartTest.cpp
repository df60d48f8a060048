#include <gtest/gtest.h>

#include "FailingThreadStarts.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"

namespace {

using kx::clientbox::NamedPipeSocket;
using kx::common::SharedPtr;
using kx::testing::PipeServer;
using kx::testing::UniquePipeName;

// Without its reader thread a socket would look open and never move a byte: the open fails
// instead, as a failed pipe open does, and keeps failing (the thread is not tried again).
TEST(ReaderThreadStartTest, AReaderThreadThatCannotStartFailsEveryOpen) {
    PipeServer server(UniquePipeName());
    {
        kx::testing::FailingThreadStarts failing;
        SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
        EXPECT_FALSE(socket->Connect(server.GetName().c_str()));
        EXPECT_TRUE(socket->IsClosed());
    }
    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    EXPECT_FALSE(socket->Connect(server.GetName().c_str()));
}

}  // namespace
