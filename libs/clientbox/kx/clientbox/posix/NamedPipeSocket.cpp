#include "kx/clientbox/NamedPipeSocket.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipeDescriptor.h"

namespace kx {
namespace clientbox {

// Nothing beyond the descriptor: shutdown() cancels reads and writes for good.
void NamedPipeSocket::InitializePlatform() {}

void NamedPipeSocket::DeletePlatform() {}

bool NamedPipeSocket::WriteRegion(PipeHandle handle, const unsigned char* data, unsigned count,
                                  unsigned* written) {
    ssize_t sent;
    do {
        // MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE in the game.
        sent = send(PipeDescriptor(handle), data, count, MSG_NOSIGNAL);
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
