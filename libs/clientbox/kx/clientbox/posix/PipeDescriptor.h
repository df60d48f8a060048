#pragma once

#include <cstdint>

#include "kx/clientbox/PipeHandle.h"

namespace kx {
namespace clientbox {

// The file descriptor carried in a POSIX pipe handle.
inline int PipeDescriptor(PipeHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace clientbox
}  // namespace kx
