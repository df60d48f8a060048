#pragma once

#include <cstddef>

namespace kx {
namespace clientbox {

// Where POSIX pipes live: the contract between every launcher and every client.

// Creates `directory` with mode 0700 when it does not exist, then accepts it only when it is a
// real directory (not a link) owned by the calling user that nobody else may enter.
bool PreparePrivateDirectory(const char* directory);

// Writes the socket path of pipe `name` into `path` (`size` bytes): $XDG_RUNTIME_DIR/<name>
// when that variable is set and not empty, else /tmp/halyx-<uid>/<name> after
// PreparePrivateDirectory. False when the name is not a plain file name, the directory is
// refused or the path does not fit.
bool BuildPipePath(const char* name, char* path, std::size_t size);

}  // namespace clientbox
}  // namespace kx
