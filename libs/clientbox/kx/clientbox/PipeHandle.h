#pragma once

#include <cstdint>

namespace kx {
namespace clientbox {

// A pipe handle: a Win32 HANDLE on Windows, a file descriptor carried in the same
// pointer-sized type on POSIX.
using PipeHandle = void*;

// The "no pipe" value on both platforms: all bits set (INVALID_HANDLE_VALUE, descriptor -1).
inline PipeHandle InvalidPipeHandle() {
    return reinterpret_cast<PipeHandle>(static_cast<intptr_t>(-1));
}

}  // namespace clientbox
}  // namespace kx
