#include "kx/devlauncher/DurableFile.h"

#include <windows.h>

#include <algorithm>

namespace kx {
namespace devlauncher {

struct DurableFile::Impl {
    HANDLE file = INVALID_HANDLE_VALUE;
};

std::unique_ptr<DurableFile> DurableFile::CreateNew(const std::filesystem::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->file = file;
    return std::make_unique<DurableFile>(std::move(impl));
}

DurableFile::DurableFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DurableFile::~DurableFile() {
    if (impl_->file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(impl_->file);
    }
}

bool DurableFile::Append(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(impl_->file, p, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

bool DurableFile::SyncAndClose() {
    const bool synced = ::FlushFileBuffers(impl_->file) != 0;
    const bool closed = ::CloseHandle(impl_->file) != 0;
    impl_->file = INVALID_HANDLE_VALUE;
    return synced && closed;
}

bool ReplaceFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SyncDirectory(const std::filesystem::path&) {
    // An ordinary user cannot flush a directory's entries on Windows; the file system's journal
    // keeps them, and the moves that matter most are written through (ReplaceFileDurably).
}

}  // namespace devlauncher
}  // namespace kx
