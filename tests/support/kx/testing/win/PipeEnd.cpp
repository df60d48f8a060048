#include "kx/testing/PipeEnd.h"

#include <windows.h>

#include "kx/testing/win/Milliseconds.h"

namespace kx {
namespace testing {

namespace {

// The largest count one ReadFile or WriteFile call takes here.
constexpr std::size_t kMaxCall = 0x40000000u;

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

PipeEnd::PipeEnd(intptr_t handle)
    : handle_(handle),
      readEvent_(reinterpret_cast<intptr_t>(CreateEventA(nullptr, TRUE, FALSE, nullptr))),
      writeEvent_(reinterpret_cast<intptr_t>(CreateEventA(nullptr, TRUE, FALSE, nullptr))) {}

PipeEnd::~PipeEnd() {
    Close();
    CloseHandle(Handle(readEvent_));
    CloseHandle(Handle(writeEvent_));
}

bool PipeEnd::WriteAll(const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = Handle(writeEvent_);
        const DWORD wanted = static_cast<DWORD>(size < kMaxCall ? size : kMaxCall);
        DWORD written = 0;
        if (!WriteFile(Handle(handle_), next, wanted, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        if (!GetOverlappedResult(Handle(handle_), &overlapped, &written, TRUE) || written == 0) {
            return false;
        }
        next += written;
        size -= written;
    }
    return true;
}

bool PipeEnd::WriteAllGathered(const Piece* pieces, std::size_t count) {
    if (count > kMaxPieces) return false;
    gathered_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        gathered_.append(static_cast<const char*>(pieces[i].data), pieces[i].size);
    }
    return WriteAll(gathered_.data(), gathered_.size());
}

long PipeEnd::ReadSome(void* buffer, std::size_t size, Wait wait) {
    const HANDLE pipe = Handle(handle_);
    DWORD wanted = static_cast<DWORD>(size < kMaxCall ? size : kMaxCall);
    if (wait.count() == 0) {
        // A poll reads only what has arrived, so the read cannot block and needs no cancel.
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return 0;
        if (available == 0) return -1;
        if (available < wanted) wanted = available;
        wait = kNoTimeLimit;
    }
    OVERLAPPED overlapped = {};
    overlapped.hEvent = Handle(readEvent_);
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, wanted, nullptr, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) return 0;
        if (WaitForSingleObject(overlapped.hEvent, Milliseconds(wait)) != WAIT_OBJECT_0) {
            CancelIoEx(pipe, &overlapped);
            // The read may have completed before the cancel; its bytes count then.
            if (GetOverlappedResult(pipe, &overlapped, &got, TRUE) && got > 0) {
                return static_cast<long>(got);
            }
            return -1;
        }
    }
    if (!GetOverlappedResult(pipe, &overlapped, &got, FALSE)) return 0;
    return static_cast<long>(got);
}

void PipeEnd::Close() {
    if (handle_ != -1) CloseHandle(Handle(handle_));
    handle_ = -1;
}

std::unique_ptr<PipeEnd> ConnectPipe(const std::string& name) {
    const std::string path = "\\\\.\\pipe\\" + name;
    const HANDLE pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<PipeEnd>(new PipeEnd(reinterpret_cast<intptr_t>(pipe)));
}

}  // namespace testing
}  // namespace kx
