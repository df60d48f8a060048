#include "TestPipePeer.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include <gtest/gtest.h>

namespace clientbox_test {

namespace {

constexpr DWORD kPipeBufferSize = 65536;

std::string PathOf(const std::string& name) {
    return "\\\\.\\pipe\\" + name;
}

HANDLE NewInstance(const std::string& name) {
    const HANDLE pipe =
        CreateNamedPipeA(PathOf(name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                         kPipeBufferSize, kPipeBufferSize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) ADD_FAILURE() << "CreateNamedPipeA: " << GetLastError();
    return pipe;
}

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

}  // namespace

std::string UniquePipeName() {
    static std::atomic<unsigned> counter(0);
    return "kx-clientbox-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
}

bool TestPipeEnd::WriteAll(const void* data, std::size_t count) {
    const HANDLE pipe = reinterpret_cast<HANDLE>(handle_);
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const DWORD chunk = count > kPipeBufferSize ? kPipeBufferSize : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!Complete(
                pipe, [&](OVERLAPPED* o) { return WriteFile(pipe, bytes, chunk, nullptr, o) != 0; },
                &written) ||
            written == 0) {
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

bool TestPipeEnd::ReadExact(void* data, std::size_t count) {
    const HANDLE pipe = reinterpret_cast<HANDLE>(handle_);
    char* bytes = static_cast<char*>(data);
    while (count > 0) {
        const DWORD chunk = count > kPipeBufferSize ? kPipeBufferSize : static_cast<DWORD>(count);
        DWORD got = 0;
        if (!Complete(
                pipe, [&](OVERLAPPED* o) { return ReadFile(pipe, bytes, chunk, nullptr, o) != 0; },
                &got) ||
            got == 0) {
            return false;
        }
        bytes += got;
        count -= got;
    }
    return true;
}

std::size_t TestPipeEnd::ReadToEnd() {
    const HANDLE pipe = reinterpret_cast<HANDLE>(handle_);
    std::vector<char> bytes(kPipeBufferSize);
    std::size_t total = 0;
    for (;;) {
        DWORD got = 0;
        if (!Complete(
                pipe,
                [&](OVERLAPPED* o) {
                    return ReadFile(pipe, bytes.data(), kPipeBufferSize, nullptr, o) != 0;
                },
                &got) ||
            got == 0) {
            return total;
        }
        total += got;
    }
}

void TestPipeEnd::Close() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

TestPipeServer::TestPipeServer(const std::string& name)
    : name_(name), listener_(reinterpret_cast<intptr_t>(NewInstance(name))) {}

TestPipeServer::~TestPipeServer() {
    if (listener_ != -1) CloseHandle(reinterpret_cast<HANDLE>(listener_));
}

std::unique_ptr<TestPipeEnd> TestPipeServer::Accept() {
    const HANDLE pipe = reinterpret_cast<HANDLE>(listener_);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool connected = ConnectNamedPipe(pipe, &overlapped) != 0;
    if (!connected) {
        const DWORD error = GetLastError();
        DWORD ignored = 0;
        // ERROR_NO_DATA: a client came and left before this call; its end is handed out like
        // any other, and reads on it end at once.
        connected = error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA ||
                    (error == ERROR_IO_PENDING &&
                     GetOverlappedResult(pipe, &overlapped, &ignored, TRUE) != 0);
    }
    CloseHandle(overlapped.hEvent);
    if (!connected) return nullptr;
    // The next client needs a waiting instance of its own.
    listener_ = reinterpret_cast<intptr_t>(NewInstance(name_));
    return std::unique_ptr<TestPipeEnd>(new TestPipeEnd(reinterpret_cast<intptr_t>(pipe)));
}

}  // namespace clientbox_test
