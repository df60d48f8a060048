#include "kx/clientbox/NamedPipeSocket.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipeDescriptor.h"

namespace kx {
namespace clientbox {

// Nothing beyond the descriptor: shutdown() cancels reads and writes for good.
void NamedPipeSocket::InitializePlatform() {}

void NamedPipeSocket::DeletePlatform() {}

bool NamedPipeSocket::WriteRegions(PipeHandle handle, const Region* regions, unsigned count,
                                   unsigned* written) {
    iovec vectors[kMaxWriteRegions];
    for (unsigned i = 0; i < count; ++i) {
        vectors[i].iov_base = const_cast<unsigned char*>(regions[i].data);
        vectors[i].iov_len = regions[i].count;
    }
    msghdr message = {};
    message.msg_iov = vectors;
    message.msg_iovlen = count;
    ssize_t sent;
    do {
        // MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE in the game.
        sent = sendmsg(PipeDescriptor(handle), &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent <= 0) return false;
    *written = static_cast<unsigned>(sent);
    return true;
}

// Wakes the reader thread's poll with end of stream and fails blocked and later sends; the
// descriptor number stays taken until the reader thread closes it.
void NamedPipeSocket::CancelIo() {
    shutdown(PipeDescriptor(handle_), SHUT_RDWR);
}

void NamedPipeSocket::ClosePipeHandle(PipeHandle handle) {
    close(PipeDescriptor(handle));
}

}  // namespace clientbox
}  // namespace kx
