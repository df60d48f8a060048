#include "PipeClient.h"

#include <windows.h>

#include <vector>

namespace kx {
namespace devlauncher {
namespace testing {

struct PipeClient::Impl {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE readEvent = nullptr;   // one per direction: a write and a read may overlap
    HANDLE writeEvent = nullptr;
};

namespace {

// Reads once with a time-out: the byte count, 0 on close or error, -1 on time-out.
long ReadOnce(PipeClient::Impl& impl, char* data, std::size_t size,
              std::chrono::milliseconds timeout) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = impl.readEvent;
    DWORD transferred = 0;
    if (!::ReadFile(impl.pipe, data, static_cast<DWORD>(size), nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return 0;
    }
    if (::WaitForSingleObject(impl.readEvent, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        ::CancelIoEx(impl.pipe, &overlapped);
        // The read may have completed meanwhile; its bytes count then.
        if (::GetOverlappedResult(impl.pipe, &overlapped, &transferred, TRUE) && transferred > 0) {
            return static_cast<long>(transferred);
        }
        return -1;
    }
    if (!::GetOverlappedResult(impl.pipe, &overlapped, &transferred, FALSE)) {
        return 0;
    }
    return static_cast<long>(transferred);
}

}  // namespace

std::unique_ptr<PipeClient> PipeClient::Connect(const std::string& location) {
    const HANDLE pipe = ::CreateFileA(location.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->pipe = pipe;
    impl->readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    impl->writeEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return std::make_unique<PipeClient>(std::move(impl));
}

PipeClient::PipeClient(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PipeClient::~PipeClient() {
    ::CloseHandle(impl_->pipe);
    ::CloseHandle(impl_->readEvent);
    ::CloseHandle(impl_->writeEvent);
}

bool PipeClient::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = impl_->writeEvent;
        DWORD transferred = 0;
        if (!::WriteFile(impl_->pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                         nullptr, &overlapped) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        if (!::GetOverlappedResult(impl_->pipe, &overlapped, &transferred, TRUE) ||
            transferred == 0) {
            return false;
        }
        done += transferred;
    }
    return true;
}

bool PipeClient::ReadExactly(std::size_t size, std::string* out,
                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    out->assign(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const long n = ReadOnce(*impl_, &(*out)[done], size - done, left);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string PipeClient::ReadSome(std::chrono::milliseconds timeout) {
    char buffer[4096];
    const long n = ReadOnce(*impl_, buffer, sizeof(buffer), timeout);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool PipeClient::WaitClosed(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        if (ReadOnce(*impl_, buffer.data(), buffer.size(), left) == 0) {
            return true;
        }
    }
}

}  // namespace testing
}  // namespace devlauncher
}  // namespace kx
