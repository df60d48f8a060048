#include "kx/testing/PipeServer.h"

#include <windows.h>

#include "kx/testing/win/Milliseconds.h"

namespace kx {
namespace testing {

namespace {

constexpr DWORD kPipeBufferSize = 64 * 1024;

}  // namespace

// One instance listens at any time, its connect running overlapped; the next is created as soon
// as one is handed out.
struct PipeServer::State {
    std::string path;
    HANDLE instance = INVALID_HANDLE_VALUE;
    OVERLAPPED connect = {};
    bool connected = false;

    void Listen() {
        instance = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                    PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0,
                                    nullptr);
        if (instance == INVALID_HANDLE_VALUE) return;
        ResetEvent(connect.hEvent);
        connected = ConnectNamedPipe(instance, &connect) != 0;
        if (!connected) {
            const DWORD error = GetLastError();
            // A client that came before the connect call, or came and went, is connected: reads
            // on the end of one that went find end of stream.
            connected = error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
        }
    }
};

PipeServer::PipeServer(const std::string& name) : name_(name), state_(new State) {
    state_->path = "\\\\.\\pipe\\" + name;
    state_->connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state_->Listen();
}

PipeServer::~PipeServer() {
    if (state_->instance != INVALID_HANDLE_VALUE) {
        if (!state_->connected) {
            DWORD ignored = 0;
            CancelIoEx(state_->instance, &state_->connect);
            GetOverlappedResult(state_->instance, &state_->connect, &ignored, TRUE);
        }
        CloseHandle(state_->instance);
    }
    CloseHandle(state_->connect.hEvent);
}

bool PipeServer::IsServing() const {
    return state_->instance != INVALID_HANDLE_VALUE;
}

std::unique_ptr<PipeEnd> PipeServer::Accept(Wait wait) {
    if (state_->instance == INVALID_HANDLE_VALUE) return nullptr;
    if (!state_->connected) {
        if (WaitForSingleObject(state_->connect.hEvent, Milliseconds(wait)) != WAIT_OBJECT_0) {
            return nullptr;
        }
        DWORD ignored = 0;
        GetOverlappedResult(state_->instance, &state_->connect, &ignored, FALSE);
    }
    std::unique_ptr<PipeEnd> end(new PipeEnd(reinterpret_cast<intptr_t>(state_->instance)));
    state_->Listen();
    return end;
}

}  // namespace testing
}  // namespace kx
