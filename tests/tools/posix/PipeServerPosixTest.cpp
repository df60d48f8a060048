#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "kx/devlauncher/PipeServer.h"
#include "kx/testing/PipeEnd.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace devlauncher {
namespace {

using kx::testing::UniquePipeName;

// Leaves a socket file behind as a server that died without cleaning up does.
void LeaveStaleSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

TEST(PipeServerPosixTest, TakesOverTheSocketOfADeadServer) {
    const std::string name = UniquePipeName("stale");
    LeaveStaleSocket(PipeLocation(name));
    PipeServer server;
    std::string error;
    ASSERT_EQ(server.Open(name, &error), PipeServer::OpenResult::kOpened) << error;
    EXPECT_TRUE(kx::testing::ConnectPipe(name));
}

TEST(PipeServerPosixTest, RefusesToReplaceSomethingElse) {
    const std::string name = UniquePipeName("file");
    kx::testing::WriteWholeFile(PipeLocation(name), "not a socket");
    PipeServer server;
    std::string error;
    EXPECT_EQ(server.Open(name, &error), PipeServer::OpenResult::kFailed);
    EXPECT_NE(error.find("not a socket"), std::string::npos);
    ::unlink(PipeLocation(name).c_str());
}

TEST(PipeServerPosixTest, RemovesItsSocketWhenDone) {
    const std::string name = UniquePipeName("tidy");
    {
        PipeServer server;
        std::string error;
        ASSERT_EQ(server.Open(name, &error), PipeServer::OpenResult::kOpened);
        EXPECT_EQ(::access(PipeLocation(name).c_str(), F_OK), 0);
    }
    EXPECT_NE(::access(PipeLocation(name).c_str(), F_OK), 0);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
