#include "peer/PipeListener.h"

#include <errno.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "kx/clientbox/posix/PipePath.h"

namespace kx {
namespace bench {

struct PipeListener::State {
    std::string path;
    int socket = -1;
};

PipeListener::PipeListener(const std::string& name) : state_(new State) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (!clientbox::BuildPipePath(name.c_str(), address.sun_path, sizeof(address.sun_path))) {
        return;
    }
    state_->path = address.sun_path;
    unlink(address.sun_path);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return;
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 16) != 0) {
        close(listener);
        return;
    }
    state_->socket = listener;
}

PipeListener::~PipeListener() {
    if (state_->socket < 0) return;
    close(state_->socket);
    unlink(state_->path.c_str());
}

bool PipeListener::IsListening() const {
    return state_->socket >= 0;
}

std::unique_ptr<Channel> PipeListener::Accept() {
    while (state_->socket >= 0) {
        const int client = accept4(state_->socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) return std::unique_ptr<Channel>(new Channel(client));
        if (errno != EINTR && errno != ECONNABORTED) break;
    }
    return nullptr;
}

}  // namespace bench
}  // namespace kx
