#include "PipeServer.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace halyxdll_test {

namespace {

constexpr DWORD kPipeBufferSize = 65536;

// Runs one overlapped operation on `pipe` to its end; false on failure.
template <typename Start>
bool Complete(HANDLE pipe, Start start, DWORD* transferred) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool done = start(&overlapped) || GetLastError() == ERROR_IO_PENDING;
    if (done) done = GetOverlappedResult(pipe, &overlapped, transferred, TRUE) != 0;
    CloseHandle(overlapped.hEvent);
    return done;
}

bool WriteAllTo(HANDLE pipe, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > kPipeBufferSize ? kPipeBufferSize : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!Complete(
                pipe, [&](OVERLAPPED* o) { return WriteFile(pipe, data, chunk, nullptr, o) != 0; },
                &written) ||
            written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

int PipeServerEnd::ReadAvailable(char* buffer, int size) {
    const HANDLE pipe = reinterpret_cast<HANDLE>(handle_);
    if (handle_ == -1) return -1;
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return -1;
    if (available == 0) return 0;
    const DWORD wanted = available < static_cast<DWORD>(size) ? available : size;
    DWORD got = 0;
    if (!Complete(
            pipe, [&](OVERLAPPED* o) { return ReadFile(pipe, buffer, wanted, nullptr, o) != 0; },
            &got)) {
        return -1;
    }
    return static_cast<int>(got);
}

bool PipeServerEnd::WriteAll(const char* data, std::size_t size) {
    return WriteAllTo(reinterpret_cast<HANDLE>(handle_), data, size);
}

void PipeServerEnd::Close() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

// One pipe instance waits for a client at any time, its connect running overlapped.
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
        if (instance == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "CreateNamedPipeA " << path << ": " << GetLastError();
            return;
        }
        ResetEvent(connect.hEvent);
        connected = ConnectNamedPipe(instance, &connect) != 0;
        if (!connected) {
            const DWORD error = GetLastError();
            // A client that came and went already counts as connected: its reads then fail.
            connected = error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
        }
    }
};

PipeServer::PipeServer(const std::string& name) : state_(new State) {
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

std::unique_ptr<PipeServerEnd> PipeServer::TryAccept() {
    if (state_->instance == INVALID_HANDLE_VALUE) return nullptr;
    if (!state_->connected) {
        if (WaitForSingleObject(state_->connect.hEvent, 0) != WAIT_OBJECT_0) return nullptr;
        DWORD ignored = 0;
        GetOverlappedResult(state_->instance, &state_->connect, &ignored, FALSE);
    }
    std::unique_ptr<PipeServerEnd> end(
        new PipeServerEnd(reinterpret_cast<intptr_t>(state_->instance)));
    state_->Listen();
    return end;
}

bool WriteToGamePipe(void* pipe, const char* data, std::size_t size) {
    return WriteAllTo(static_cast<HANDLE>(pipe), data, size);
}

void CloseGamePipe(void* pipe) {
    CloseHandle(static_cast<HANDLE>(pipe));
}

void IsolatePipeNamespace() {}

void RemovePipeNamespace() {}

}  // namespace halyxdll_test
