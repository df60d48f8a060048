#include "kx/clientbox/OpenNamedPipe.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipePath.h"
#include "kx/common/Contract.h"
#include "kx/common/ThreadStart.h"
#include "kx/common/TickTimer.h"
#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

namespace {

// The longest a connect may keep the caller (the game's thread) waiting for a server whose
// backlog is full.
constexpr unsigned kConnectWaitMs = 100;

// Connects the non-blocking socket `fd` to `address`, trying again while the server's backlog
// is full, for at most kConnectWaitMs; then makes the socket blocking again, as the game
// expects of a pipe it is handed. False on failure.
bool ConnectWithin(int fd, const sockaddr_un& address) {
    common::TickTimer wait(kConnectWaitMs);
    for (;;) {
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) break;
        const int error = errno;
        if (error == EINPROGRESS) {
            pollfd writable = {fd, POLLOUT, 0};
            int failure = 0;
            socklen_t length = sizeof(failure);
            if (poll(&writable, 1, static_cast<int>(wait.GetRemaining())) != 1 ||
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0 || failure != 0) {
                return false;
            }
            break;
        }
        if ((error != EAGAIN && error != EINTR) || wait.GetRemaining() == 0) return false;
        common::Sleep(5);
    }
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

PipeHandle OpenNamedPipe(const char* name) {
    KX_CHECK(name != nullptr);
    sockaddr_un address;
    memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (!BuildPipePath(name, address.sun_path, sizeof(address.sun_path))) {
        return InvalidPipeHandle();
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return InvalidPipeHandle();
    if (!ConnectWithin(fd, address)) {
        close(fd);
        return InvalidPipeHandle();
    }
    if (!PeerIsPipeUser(fd)) {
        KX_LOG(common::kLogError) << "Refused the pipe " << name
                                  << ": its server does not run as this user.";
        close(fd);
        return InvalidPipeHandle();
    }
    return reinterpret_cast<PipeHandle>(static_cast<intptr_t>(fd));
}

}  // namespace clientbox
}  // namespace kx
