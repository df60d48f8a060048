#include "kx/testing/PipeServer.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipePath.h"
#include "kx/testing/posix/WaitReadable.h"

namespace kx {
namespace testing {

struct PipeServer::State {
    std::string path;
    int socket = -1;
};

PipeServer::PipeServer(const std::string& name) : name_(name), state_(new State) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (!clientbox::BuildPipePath(name.c_str(), address.sun_path, sizeof(address.sun_path))) {
        return;
    }
    // A socket file left by an earlier server of the name would refuse the bind.
    unlink(address.sun_path);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return;
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 64) != 0) {
        close(listener);
        return;
    }
    state_->path = address.sun_path;
    state_->socket = listener;
}

PipeServer::~PipeServer() {
    if (state_->socket < 0) return;
    close(state_->socket);
    unlink(state_->path.c_str());
}

bool PipeServer::IsServing() const {
    return state_->socket >= 0;
}

std::unique_ptr<PipeEnd> PipeServer::Accept(Wait wait) {
    while (state_->socket >= 0 && WaitReadable(state_->socket, wait)) {
        const int client = accept4(state_->socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) return std::unique_ptr<PipeEnd>(new PipeEnd(client));
        // A client that gave up between the poll and the accept: wait for the next.
        if (errno != EINTR && errno != ECONNABORTED) break;
    }
    return nullptr;
}

}  // namespace testing
}  // namespace kx
