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

PipeEnd::PipeEnd(intptr_t handle) : handle_(handle) {}

PipeEnd::~PipeEnd() {
    Close();
}

bool PipeEnd::WriteAll(const void* data, std::size_t size) {
    const Piece whole = {data, size};
    return WriteAllGathered(&whole, 1);
}

bool PipeEnd::WriteAllGathered(const Piece* pieces, std::size_t count) {
    if (count > kMaxPieces) return false;
    iovec vectors[kMaxPieces];
    for (std::size_t i = 0; i < count; ++i) {
        vectors[i].iov_base = const_cast<void*>(pieces[i].data);
        vectors[i].iov_len = pieces[i].size;
    }
    iovec* next = vectors;
    std::size_t left = count;
    for (std::size_t done = 0;;) {
        // Past the pieces sent whole (and empty ones), into the one sent in part.
        for (; left > 0 && done >= next->iov_len; ++next, --left) done -= next->iov_len;
        if (left == 0) return true;
        next->iov_base = static_cast<char*>(next->iov_base) + done;
        next->iov_len -= done;
        msghdr message = {};
        message.msg_iov = next;
        message.msg_iovlen = left;
        // MSG_NOSIGNAL: a vanished reader must not kill the writer.
        const ssize_t sent = sendmsg(static_cast<int>(handle_), &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            done = 0;
            continue;
        }
        if (sent <= 0) return false;
        done = static_cast<std::size_t>(sent);
    }
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
