#include "kx/devlauncher/posix/SocketDirectory.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScratchDir.h"
#include "kx/devlauncher/PipeServer.h"

namespace kx {
namespace devlauncher {
namespace {

using testing::ScratchDir;

TEST(SocketDirectory, RuntimeDirectoryWinsOverTheTmpFallback) {
    ::setenv("XDG_RUNTIME_DIR", "/run/user/test", 1);
    EXPECT_EQ(SocketDirectory(), "/run/user/test");
    EXPECT_FALSE(SocketDirectoryIsFallback());
    EXPECT_EQ(PipeLocation("halyx_ipc_pipe"), "/run/user/test/halyx_ipc_pipe");
    ::setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(SocketDirectory(), "/tmp/halyx-" + std::to_string(::getuid()));
    EXPECT_TRUE(SocketDirectoryIsFallback());
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(SocketDirectoryIsFallback());
}

TEST(SocketDirectory, CreatesAPrivateDirectory) {
    ScratchDir dir;
    const std::string path = (dir.Path() / "sockets").string();
    std::string error;
    ASSERT_TRUE(EnsurePrivateDirectory(path, &error)) << error;
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(EnsurePrivateDirectory(path, &error));  // an existing good one is fine
}

TEST(SocketDirectory, RefusesDirectoriesOthersCouldUse) {
    ScratchDir dir;
    const std::string open = (dir.Path() / "open").string();
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
    std::string error;
    EXPECT_FALSE(EnsurePrivateDirectory(open, &error));
    EXPECT_NE(error.find("0700"), std::string::npos);

    const std::string link = (dir.Path() / "link").string();
    const std::string target = (dir.Path() / "target").string();
    ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_FALSE(EnsurePrivateDirectory(link, &error));

    if (::geteuid() == 0) {  // only root can give a directory to another user
        const std::string foreign = (dir.Path() / "foreign").string();
        ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(::chown(foreign.c_str(), 12345, 12345), 0);
        EXPECT_FALSE(EnsurePrivateDirectory(foreign, &error));
        EXPECT_NE(error.find("another user"), std::string::npos);
    }

    const std::string file = (dir.Path() / "file").string();
    testing::WriteWholeFile(file, "x");
    EXPECT_FALSE(EnsurePrivateDirectory(file, &error));
    EXPECT_FALSE(EnsurePrivateDirectory((dir.Path() / "no" / "parent").string(), &error));
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
