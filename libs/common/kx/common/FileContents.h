#pragma once

#include "kx/common/HybridArray.h"

namespace kx {
namespace common {

// Reads the whole file at `path` (zero-terminated, in the platform's narrow encoding) into
// `bytes`, replacing what it held, with one read call. Returns false, leaving `bytes` empty,
// when the file cannot be opened, its size cannot be found, it holds more than `maxSize` bytes
// (so that no file can demand an allocation the process cannot make) or the read fails.
bool ReadFileContents(const char* path, unsigned maxSize, HybridArray<char, 0>& bytes);

}  // namespace common
}  // namespace kx
