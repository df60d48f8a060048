#include "shared/Channel.h"

#include <windows.h>

#include <string>

namespace kx {
namespace bench {

namespace {

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::unique_ptr<Channel> Channel::Connect(const char* name) {
    const std::string path = std::string("\\\\.\\pipe\\") + name;
    const DWORD start = GetTickCount();
    for (;;) {
        const HANDLE pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            return std::unique_ptr<Channel>(new Channel(reinterpret_cast<intptr_t>(pipe)));
        }
        // Between two clients the server may have no instance listening for a moment.
        if (GetTickCount() - start > 2000) return nullptr;
        if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeA(path.c_str(), 100)) Sleep(10);
    }
}

Channel::~Channel() {
    CloseHandle(Handle(handle_));
}

long Channel::ReadSome(void* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!ReadFile(Handle(handle_), buffer, wanted, &got, nullptr)) {
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

bool Channel::WriteAll(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(Handle(handle_), bytes, wanted, &written, nullptr)) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

}  // namespace bench
}  // namespace kx
