#include "kx/halyxclient/ServerPipe.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace kx {
namespace halyxclient {

namespace {

int Descriptor(halyxdll::PipeHandle pipe) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(pipe));
}

}  // namespace

void ClosePipe(halyxdll::PipeHandle pipe) {
    ::close(Descriptor(pipe));
}

std::string SendAndReceive(halyxdll::PipeHandle pipe, const std::string& text,
                           std::chrono::milliseconds timeout) {
    const int fd = Descriptor(pipe);
    if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
        return std::string();
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string received;
    while (received.size() < text.size()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd polled{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&polled, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[4096];
        const ssize_t n =
            ::recv(fd, buffer, std::min(sizeof(buffer), text.size() - received.size()), 0);
        if (n <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

}  // namespace halyxclient
}  // namespace kx
