#include "kx/devlauncher/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kx {
namespace devlauncher {

struct DurableFile::Impl {
    int fd = -1;
};

std::unique_ptr<DurableFile> DurableFile::CreateNew(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->fd = fd;
    return std::make_unique<DurableFile>(std::move(impl));
}

DurableFile::DurableFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DurableFile::~DurableFile() {
    if (impl_->fd >= 0) {
        ::close(impl_->fd);
    }
}

bool DurableFile::Append(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(impl_->fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool DurableFile::SyncAndClose() {
    const bool synced = ::fsync(impl_->fd) == 0;
    const bool closed = ::close(impl_->fd) == 0;
    impl_->fd = -1;
    return synced && closed;
}

bool ReplaceFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    // The rename lives in the directory; sync it so a power cut cannot bring back the old entry.
    SyncDirectory(to.has_parent_path() ? to.parent_path() : ".");
    return true;
}

void SyncDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace devlauncher
}  // namespace kx
