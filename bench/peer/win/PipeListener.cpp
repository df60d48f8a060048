#include "peer/PipeListener.h"

#include <windows.h>

namespace kx {
namespace bench {

namespace {

constexpr DWORD kPipeBufferSize = 64 * 1024;

HANDLE CreateInstance(const std::string& path) {
    return CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, nullptr);
}

}  // namespace

// The next instance is created as soon as one is connected, so clients find one listening
// except for that moment (Channel::Connect retries a busy pipe).
struct PipeListener::State {
    std::string path;
    HANDLE waiting = INVALID_HANDLE_VALUE;
};

PipeListener::PipeListener(const std::string& name) : state_(new State) {
    state_->path = "\\\\.\\pipe\\" + name;
    state_->waiting = CreateInstance(state_->path);
}

PipeListener::~PipeListener() {
    if (state_->waiting != INVALID_HANDLE_VALUE) CloseHandle(state_->waiting);
}

bool PipeListener::IsListening() const {
    return state_->waiting != INVALID_HANDLE_VALUE;
}

std::unique_ptr<Channel> PipeListener::Accept() {
    while (state_->waiting != INVALID_HANDLE_VALUE) {
        const HANDLE instance = state_->waiting;
        const bool connected =
            ConnectNamedPipe(instance, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
        state_->waiting = CreateInstance(state_->path);
        if (connected)
            return std::unique_ptr<Channel>(new Channel(reinterpret_cast<intptr_t>(instance)));
        CloseHandle(instance);
    }
    return nullptr;
}

}  // namespace bench
}  // namespace kx
