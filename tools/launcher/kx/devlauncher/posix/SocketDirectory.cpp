#include "kx/devlauncher/posix/SocketDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kx {
namespace devlauncher {

namespace {

const char* RuntimeDirectory() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return dir != nullptr && dir[0] != '\0' ? dir : nullptr;
}

}  // namespace

std::string SocketDirectory() {
    if (const char* dir = RuntimeDirectory()) {
        return dir;
    }
    return "/tmp/halyx-" + std::to_string(::getuid());
}

bool SocketDirectoryIsFallback() {
    return RuntimeDirectory() == nullptr;
}

bool EnsurePrivateDirectory(const std::string& dir, std::string* error) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot create " + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat info;
    if (::lstat(dir.c_str(), &info) != 0) {
        *error = "cannot examine " + dir + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = dir + " is not a directory";
        return false;
    }
    if (info.st_uid != ::getuid()) {
        *error = dir + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        *error = dir + " is open to other users (mode must be 0700)";
        return false;
    }
    return true;
}

}  // namespace devlauncher
}  // namespace kx
