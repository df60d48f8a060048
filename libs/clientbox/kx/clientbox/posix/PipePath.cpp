#include "kx/clientbox/posix/PipePath.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {
namespace clientbox {

namespace {

// A name is used as one file name inside the pipe directory.
bool IsPlainName(const char* name) {
    return name[0] != '\0' && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

// Refuses with `reason` what exists, leaving errno 0.
bool Refuse(const char* reason, const char** refusal) {
    if (refusal != nullptr) *refusal = reason;
    errno = 0;
    return false;
}

}  // namespace

uid_t PipeUserId() {
    return geteuid();
}

PipeDirectory::PipeDirectory() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    snprintf(fallback_, sizeof(fallback_), "/tmp/halyx-%u", static_cast<unsigned>(PipeUserId()));
    path_ = runtime != nullptr && runtime[0] != '\0' ? runtime : fallback_;
}

bool PipeDirectory::Prepare(const char** refusal) const {
    return path_ != fallback_ || PreparePrivateDirectory(path_, refusal);
}

bool PreparePrivateDirectory(const char* directory, const char** refusal) {
    if (mkdir(directory, 0700) != 0 && errno != EEXIST) {
        if (refusal != nullptr) *refusal = "cannot be created";
        return false;
    }
    struct stat status;
    if (lstat(directory, &status) != 0) {
        if (refusal != nullptr) *refusal = "cannot be examined";
        return false;
    }
    if (!S_ISDIR(status.st_mode)) return Refuse("is not a directory", refusal);
    if (status.st_uid != PipeUserId()) return Refuse("belongs to another user", refusal);
    if ((status.st_mode & 077) != 0) {
        return Refuse("is open to other users (mode must be 0700)", refusal);
    }
    return true;
}

bool BuildPipePath(const char* name, char* path, std::size_t size) {
    if (!IsPlainName(name)) return false;
    const PipeDirectory directory;
    if (!directory.Prepare()) return false;
    const int length = snprintf(path, size, "%s/%s", directory.Path(), name);
    return length > 0 && static_cast<std::size_t>(length) < size;
}

bool PeerIsPipeUser(int fd) {
    struct ucred credentials;
    socklen_t length = sizeof(credentials);
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           length == sizeof(credentials) && credentials.uid == PipeUserId();
}

}  // namespace clientbox
}  // namespace kx
