#include "shared/Channel.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "kx/clientbox/OpenNamedPipe.h"

namespace kx {
namespace bench {

namespace {

constexpr unsigned kMaxPieces = 8;

}  // namespace

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

bool Channel::WriteGather(const Piece* pieces, unsigned count) {
    iovec vectors[kMaxPieces];
    while (count > 0) {
        const unsigned batch = count < kMaxPieces ? count : kMaxPieces;
        for (unsigned i = 0; i < batch; ++i) {
            vectors[i].iov_base = const_cast<void*>(pieces[i].data);
            vectors[i].iov_len = pieces[i].size;
        }
        iovec* next = vectors;
        unsigned left = batch;
        while (left > 0) {
            msghdr message = {};
            message.msg_iov = next;
            message.msg_iovlen = left;
            // MSG_NOSIGNAL: a vanished reader must not kill the writer.
            ssize_t sent = sendmsg(static_cast<int>(handle_), &message, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent < 0) return false;
            while (left > 0 && static_cast<std::size_t>(sent) >= next->iov_len) {
                sent -= static_cast<ssize_t>(next->iov_len);
                ++next;
                --left;
            }
            if (left > 0) {
                next->iov_base = static_cast<char*>(next->iov_base) + sent;
                next->iov_len -= static_cast<std::size_t>(sent);
            }
        }
        pieces += batch;
        count -= batch;
    }
    return true;
}

}  // namespace bench
}  // namespace kx
