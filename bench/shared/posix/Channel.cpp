#include "shared/Channel.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "kx/clientbox/OpenNamedPipe.h"

namespace kx {
namespace bench {

std::unique_ptr<Channel> Channel::Connect(const char* name) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        const clientbox::PipeHandle handle = clientbox::OpenNamedPipe(name);
        if (handle != clientbox::InvalidPipeHandle()) {
            return std::unique_ptr<Channel>(new Channel(reinterpret_cast<intptr_t>(handle)));
        }
        if (std::chrono::steady_clock::now() > deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Channel::~Channel() {
    close(static_cast<int>(handle_));
}

long Channel::ReadSome(void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = recv(static_cast<int>(handle_), buffer, size, 0);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
}

bool Channel::WriteAll(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        // MSG_NOSIGNAL: a vanished reader must not kill the writer.
        const ssize_t sent = send(static_cast<int>(handle_), bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace bench
}  // namespace kx
