#include "kx/clientbox/OpenNamedPipe.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "kx/clientbox/posix/PipePath.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"
#include "kx/testing/TempDirectory.h"

namespace {

using kx::clientbox::BuildPipePath;
using kx::clientbox::InvalidPipeHandle;
using kx::clientbox::OpenNamedPipe;
using kx::clientbox::PipeHandle;
using kx::clientbox::PreparePrivateDirectory;
using kx::testing::PipeServer;
using kx::testing::UniquePipeName;

TEST(OpenNamedPipeTest, OpensAServedNameAndRefusesNamesOutsideTheDirectory) {
    PipeServer server(UniquePipeName());
    const PipeHandle handle = OpenNamedPipe(server.GetName().c_str());
    ASSERT_NE(handle, InvalidPipeHandle());
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "a game reads the handle it is given";
    close(fd);
    EXPECT_EQ(OpenNamedPipe(UniquePipeName().c_str()), InvalidPipeHandle());
    for (const char* name : {"", ".", "..", "../x", "a/b"}) {
        EXPECT_EQ(OpenNamedPipe(name), InvalidPipeHandle()) << name;
    }
}

// A server that accepts nobody fills its backlog; a further connect would block the caller
// for good (the watchdog fails the test then): it gives up instead.
TEST(OpenNamedPipeTest, AServerWithAFullBacklogDoesNotHoldTheCaller) {
    kx::testing::Watchdog watchdog("a connect to a full backlog", 30);
    const std::string name = UniquePipeName();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_TRUE(BuildPipePath(name.c_str(), address.sun_path, sizeof(address.sun_path)));
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    std::vector<int> waiting;
    for (;;) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            ASSERT_EQ(errno, EAGAIN);
            close(fd);
            break;
        }
        waiting.push_back(fd);
    }
    EXPECT_EQ(OpenNamedPipe(name.c_str()), InvalidPipeHandle());
    for (const int fd : waiting) close(fd);
    close(listener);
    unlink(address.sun_path);
}

TEST(OpenNamedPipeTest, PathIsInTheRuntimeDirectoryWhenSet) {
    char path[108];
    ASSERT_TRUE(BuildPipePath("halyx_ipc_pipe", path, sizeof(path)));
    EXPECT_EQ(std::string(path), std::string(getenv("XDG_RUNTIME_DIR")) + "/halyx_ipc_pipe");
    // A path that does not fit is refused rather than cut.
    EXPECT_FALSE(BuildPipePath(std::string(200, 'n').c_str(), path, sizeof(path)));
}

TEST(OpenNamedPipeTest, PathFallsBackToAPrivateDirectoryUnderTmp) {
    const std::string runtime = getenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_RUNTIME_DIR");
    char path[108];
    const bool built = BuildPipePath("halyx_ipc_pipe", path, sizeof(path));
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ASSERT_TRUE(built);
    const std::string directory = "/tmp/halyx-" + std::to_string(geteuid());
    EXPECT_EQ(std::string(path), directory + "/halyx_ipc_pipe");
    struct stat status;
    ASSERT_EQ(lstat(directory.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 077, 0u);
}

TEST(OpenNamedPipeTest, PrivateDirectoryIsCreatedClosedAndRefusedWhenOthersCouldUseIt) {
    const kx::testing::TempDirectory scratch;
    const char* refusal = nullptr;
    const std::string fresh = scratch.Path().string() + "/fresh";
    ASSERT_TRUE(PreparePrivateDirectory(fresh.c_str()));
    struct stat status;
    ASSERT_EQ(stat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_TRUE(PreparePrivateDirectory(fresh.c_str()));

    ASSERT_EQ(chmod(fresh.c_str(), 0755), 0);
    EXPECT_FALSE(PreparePrivateDirectory(fresh.c_str(), &refusal));
    EXPECT_STREQ(refusal, "is open to other users (mode must be 0700)");
    EXPECT_EQ(errno, 0);

    const std::string link = scratch.Path().string() + "/link";
    const std::string closed = scratch.Path().string() + "/closed";
    ASSERT_TRUE(PreparePrivateDirectory(closed.c_str()));
    ASSERT_EQ(symlink(closed.c_str(), link.c_str()), 0);
    EXPECT_FALSE(PreparePrivateDirectory(link.c_str(), &refusal));
    EXPECT_STREQ(refusal, "is not a directory");

    if (geteuid() == 0) {  // only root can give a directory to another user
        const std::string foreign = scratch.Path().string() + "/foreign";
        ASSERT_TRUE(PreparePrivateDirectory(foreign.c_str()));
        ASSERT_EQ(chown(foreign.c_str(), 12345, 12345), 0);
        EXPECT_FALSE(PreparePrivateDirectory(foreign.c_str(), &refusal));
        EXPECT_STREQ(refusal, "belongs to another user");
    }

    const std::string file = scratch.Path().string() + "/file";
    FILE* created = fopen(file.c_str(), "we");
    ASSERT_NE(created, nullptr);
    fclose(created);
    chmod(file.c_str(), 0600);
    EXPECT_FALSE(PreparePrivateDirectory(file.c_str()));
    EXPECT_FALSE(
        PreparePrivateDirectory((scratch.Path().string() + "/no/parent").c_str(), &refusal));
    EXPECT_STREQ(refusal, "cannot be created");
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
