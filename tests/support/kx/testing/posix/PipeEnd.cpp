#include "kx/testing/PipeEnd.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipePath.h"
#include "kx/testing/posix/WaitReadable.h"

namespace kx {
namespace testing {

namespace {

constexpr unsigned kMaxPieces = 8;

}  // namespace

PipeEnd::PipeEnd(intptr_t handle) : handle_(handle) {}

PipeEnd::~PipeEnd() {
    Close();
}

bool PipeEnd::WriteGather(const Piece* pieces, unsigned count) {
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
            if (sent <= 0) return false;
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

long PipeEnd::ReadSome(void* buffer, std::size_t size, Wait wait) {
    const int fd = static_cast<int>(handle_);
    // Without a limit the blocking receive alone waits: one call per read, as a plain client's.
    if (wait != kNoTimeLimit && !WaitReadable(fd, wait)) return -1;
    for (;;) {
        const ssize_t got = recv(fd, buffer, size, 0);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return 0;
    }
}

void PipeEnd::Close() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = -1;
}

std::unique_ptr<PipeEnd> ConnectPipe(const std::string& name) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (!clientbox::BuildPipePath(name.c_str(), address.sun_path, sizeof(address.sun_path))) {
        return nullptr;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<PipeEnd>(new PipeEnd(fd));
}

}  // namespace testing
}  // namespace kx
