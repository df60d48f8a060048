#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kx/clientbox/OpenNamedPipe.h"
#include "kx/devlauncher/PipeServer.h"
#include "kx/testing/PipeNamespace.h"

namespace kx {
namespace devlauncher {
namespace {

TEST(PipeLocationTest, RuntimeDirectoryWinsOverTheTmpFallback) {
    const char* set = ::getenv("XDG_RUNTIME_DIR");
    const std::string runtime = set != nullptr ? set : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/test", 1);
    EXPECT_EQ(PipeLocation("halyx_ipc_pipe"), "/run/user/test/halyx_ipc_pipe");
    ::setenv("XDG_RUNTIME_DIR", "", 1);
    const std::string fallback = "/tmp/halyx-" + std::to_string(::geteuid()) + "/halyx_ipc_pipe";
    EXPECT_EQ(PipeLocation("halyx_ipc_pipe"), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(PipeLocation("halyx_ipc_pipe"), fallback);
    if (set != nullptr) ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

// A set-user-id program runs with a real user id other than its effective one. Its launcher
// and its games must still agree on the directory, accept it after creating it and accept
// each other as peers. Only root can give a process two different ids.
TEST(PipeLocationTest, SetUserIdProgramsServeAndReachTheirOwnPipes) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run with a real user id unlike the effective one";
    }
    const std::string name = kx::testing::UniquePipeName("setuid");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(10);  // a refused peer would leave Accept waiting
        if (::setresuid(12345, 0, 0) != 0) ::_exit(10);
        ::unsetenv("XDG_RUNTIME_DIR");
        PipeServer server;
        std::string error;
        if (server.Open(name, &error) != PipeServer::OpenResult::kOpened) ::_exit(11);
        const clientbox::PipeHandle client = clientbox::OpenNamedPipe(name.c_str());
        if (client == clientbox::InvalidPipeHandle()) ::_exit(12);
        ::_exit(server.Accept() ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    // 11: the launcher refused the directory, 12: the game refused the launcher.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
