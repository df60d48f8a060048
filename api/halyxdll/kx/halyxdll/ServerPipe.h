#pragma once

#include <cstddef>

#include "kx/clientbox/PipeHandle.h"

namespace kx {
namespace halyxdll {

// Opens the per-product server pipe that the launcher named (`length` bytes at `name`, not
// zero-terminated) for handing to the game. Only a plain pipe name is opened: not empty,
// without '/', '\\', ".." or a zero byte, so the launcher's text cannot steer the game to
// another device, file or socket. Returns the open handle, which the caller owns, or
// InvalidPipeHandle().
clientbox::PipeHandle OpenServerPipe(const char* name, std::size_t length);

// Closes a pipe opened by OpenServerPipe that nobody took over. `pipe` must be open.
void CloseServerPipe(clientbox::PipeHandle pipe);

}  // namespace halyxdll
}  // namespace kx
