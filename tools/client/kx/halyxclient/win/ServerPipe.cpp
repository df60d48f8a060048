#include "kx/halyxclient/ServerPipe.h"

#include <windows.h>

#include <algorithm>

namespace kx {
namespace halyxclient {

namespace {

// Runs one overlapped operation started by `start` to its end within `timeout`; returns the
// bytes transferred, or 0 on failure or time-out (the operation is then cancelled).
template <typename Start>
DWORD Overlapped(HANDLE pipe, std::chrono::milliseconds timeout, Start start) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD transferred = 0;
    if (start(&overlapped) || ::GetLastError() == ERROR_IO_PENDING) {
        if (::WaitForSingleObject(overlapped.hEvent, static_cast<DWORD>(timeout.count())) !=
            WAIT_OBJECT_0) {
            ::CancelIoEx(pipe, &overlapped);
        }
        if (!::GetOverlappedResult(pipe, &overlapped, &transferred, TRUE)) {
            transferred = 0;
        }
    }
    ::CloseHandle(overlapped.hEvent);
    return transferred;
}

}  // namespace

void ClosePipe(halyxdll::PipeHandle pipe) {
    ::CloseHandle(pipe);
}

std::string SendAndReceive(halyxdll::PipeHandle pipe, const std::string& text,
                           std::chrono::milliseconds timeout) {
    const DWORD written = Overlapped(pipe, timeout, [&](OVERLAPPED* overlapped) {
        return ::WriteFile(pipe, text.data(), static_cast<DWORD>(text.size()), nullptr, overlapped);
    });
    if (written != text.size()) {
        return std::string();
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string received;
    while (received.size() < text.size()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        char buffer[4096];
        const DWORD wanted =
            static_cast<DWORD>(std::min(sizeof(buffer), text.size() - received.size()));
        const DWORD n = Overlapped(pipe, left, [&](OVERLAPPED* overlapped) {
            return ::ReadFile(pipe, buffer, wanted, nullptr, overlapped);
        });
        if (n == 0) {
            break;
        }
        received.append(buffer, n);
    }
    return received;
}

}  // namespace halyxclient
}  // namespace kx
