#include "kx/clientbox/posix/PipePath.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

}  // namespace

bool PreparePrivateDirectory(const char* directory) {
    if (mkdir(directory, 0700) != 0 && errno != EEXIST) return false;
    struct stat status;
    if (lstat(directory, &status) != 0) return false;
    return S_ISDIR(status.st_mode) && status.st_uid == geteuid() && (status.st_mode & 077) == 0;
}

bool BuildPipePath(const char* name, char* path, std::size_t size) {
    if (!IsPlainName(name)) return false;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    int length;
    if (runtime != nullptr && runtime[0] != '\0') {
        length = snprintf(path, size, "%s/%s", runtime, name);
    } else {
        char directory[64];
        snprintf(directory, sizeof(directory), "/tmp/halyx-%u", static_cast<unsigned>(geteuid()));
        if (!PreparePrivateDirectory(directory)) return false;
        length = snprintf(path, size, "%s/%s", directory, name);
    }
    return length > 0 && static_cast<std::size_t>(length) < size;
}

}  // namespace clientbox
}  // namespace kx
