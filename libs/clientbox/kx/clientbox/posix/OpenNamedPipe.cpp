#include "kx/clientbox/OpenNamedPipe.h"

#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipePath.h"
#include "kx/common/Contract.h"
#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

PipeHandle OpenNamedPipe(const char* name) {
    KX_CHECK(name != nullptr);
    sockaddr_un address;
    memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (!BuildPipePath(name, address.sun_path, sizeof(address.sun_path))) {
        return InvalidPipeHandle();
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return InvalidPipeHandle();
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
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
