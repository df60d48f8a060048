#pragma once

#include <cstdio>

namespace kx {
namespace common {

// Opens the file at `path` (zero-terminated, in the platform's narrow encoding) for reading
// bytes as they are. On POSIX the descriptor is close-on-exec: a program the game starts never
// inherits it. Returns the stream, which the caller closes with fclose, or null.
std::FILE* OpenFileForReading(const char* path);

}  // namespace common
}  // namespace kx
