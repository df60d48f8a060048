#include <gtest/gtest.h>

#include "FailingThreadStarts.h"
#include "TestPipePeer.h"
#include "kx/clientbox/NamedPipeSocket.h"

namespace {

using clientbox_test::TestPipeServer;
using clientbox_test::UniquePipeName;
using kx::clientbox::NamedPipeSocket;
using kx::common::SharedPtr;

// Without its reader thread a socket would look open and never move a byte: the open fails
// instead, as a failed pipe open does, and keeps failing (the thread is not tried again).
TEST(ReaderThreadStartTest, AReaderThreadThatCannotStartFailsEveryOpen) {
    TestPipeServer server(UniquePipeName());
    {
        kx::common::testing::FailingThreadStarts failing;
        SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
        EXPECT_FALSE(socket->Connect(server.GetName().c_str()));
        EXPECT_TRUE(socket->IsClosed());
    }
    SharedPtr<NamedPipeSocket> socket(new NamedPipeSocket);
    EXPECT_FALSE(socket->Connect(server.GetName().c_str()));
}

}  // namespace
