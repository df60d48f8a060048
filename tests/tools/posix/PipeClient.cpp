#include "PipeClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kx {
namespace devlauncher {
namespace testing {

struct PipeClient::Impl {
    int fd = -1;
};

namespace {

// Reads once with a time-out: the byte count, 0 on close, -1 on time-out or error.
ssize_t ReadOnce(int fd, char* data, std::size_t size, std::chrono::milliseconds timeout) {
    pollfd polled{fd, POLLIN, 0};
    const int ready = ::poll(&polled, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        errno = ready == 0 ? ETIMEDOUT : errno;
        return -1;
    }
    return ::recv(fd, data, size, 0);
}

}  // namespace

std::unique_ptr<PipeClient> PipeClient::Connect(const std::string& location) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (location.size() >= sizeof(address.sun_path)) {
        return nullptr;
    }
    std::memcpy(address.sun_path, location.c_str(), location.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->fd = fd;
    return std::make_unique<PipeClient>(std::move(impl));
}

PipeClient::PipeClient(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PipeClient::~PipeClient() {
    ::close(impl_->fd);
}

bool PipeClient::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(impl_->fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool PipeClient::ReadExactly(std::size_t size, std::string* out,
                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    out->assign(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const ssize_t n = ReadOnce(impl_->fd, &(*out)[done], size - done, left);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string PipeClient::ReadSome(std::chrono::milliseconds timeout) {
    char buffer[4096];
    const ssize_t n = ReadOnce(impl_->fd, buffer, sizeof(buffer), timeout);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool PipeClient::WaitClosed(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const ssize_t n = ReadOnce(impl_->fd, buffer.data(), buffer.size(), left);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) {
            return true;
        }
    }
}

}  // namespace testing
}  // namespace devlauncher
}  // namespace kx
