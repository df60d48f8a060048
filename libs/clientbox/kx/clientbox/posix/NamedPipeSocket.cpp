#include "kx/clientbox/NamedPipeSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipeDescriptor.h"

namespace kx {
namespace clientbox {

// Nothing beyond the descriptor: shutdown() cancels reads and writes for good.
void NamedPipeSocket::InitializePlatform() {}

void NamedPipeSocket::DeletePlatform() {}

// Wakes the I/O thread's poll with end of stream and fails later sends; the descriptor number
// stays taken until the I/O thread closes it.
void NamedPipeSocket::CancelIo() {
    shutdown(PipeDescriptor(handle_), SHUT_RDWR);
}

void NamedPipeSocket::ClosePipeHandle(PipeHandle handle) {
    close(PipeDescriptor(handle));
}

}  // namespace clientbox
}  // namespace kx
