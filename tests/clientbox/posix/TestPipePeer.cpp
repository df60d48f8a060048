#include "TestPipePeer.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>

#include <gtest/gtest.h>

namespace clientbox_test {

namespace {

// Points XDG_RUNTIME_DIR at a private directory of this test process, so its pipes meet no
// other process's.
class PipeDirectoryEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/kx-clientbox-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        setenv("XDG_RUNTIME_DIR", directory_.c_str(), 1);
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + directory_ + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << directory_;
    }

private:
    std::string directory_;
};

::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PipeDirectoryEnvironment);

std::string PathOf(const std::string& name) {
    return std::string(getenv("XDG_RUNTIME_DIR")) + "/" + name;
}

}  // namespace

std::string UniquePipeName() {
    static std::atomic<unsigned> counter(0);
    return "pipe-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

bool TestPipeEnd::WriteAll(const void* data, std::size_t count) {
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t sent = send(static_cast<int>(handle_), bytes, count, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool TestPipeEnd::ReadExact(void* data, std::size_t count) {
    char* bytes = static_cast<char*>(data);
    while (count > 0) {
        const ssize_t got = recv(static_cast<int>(handle_), bytes, count, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

std::size_t TestPipeEnd::ReadToEnd() {
    char bytes[65536];
    std::size_t total = 0;
    for (;;) {
        const ssize_t got = recv(static_cast<int>(handle_), bytes, sizeof(bytes), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return total;
        total += static_cast<std::size_t>(got);
    }
}

void TestPipeEnd::Close() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = -1;
}

TestPipeServer::TestPipeServer(const std::string& name) : name_(name), listener_(-1) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address;
    memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    const std::string path = PathOf(name);
    strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, 64) != 0) {
        ADD_FAILURE() << "cannot serve " << path << ": " << strerror(errno);
    }
    listener_ = fd;
}

TestPipeServer::~TestPipeServer() {
    close(static_cast<int>(listener_));
    unlink(PathOf(name_).c_str());
}

std::unique_ptr<TestPipeEnd> TestPipeServer::Accept() {
    int fd;
    do {
        fd = accept4(static_cast<int>(listener_), nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    return std::unique_ptr<TestPipeEnd>(new TestPipeEnd(fd));
}

}  // namespace clientbox_test
