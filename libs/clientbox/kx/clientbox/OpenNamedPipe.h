#pragma once

#include "kx/clientbox/PipeHandle.h"

namespace kx {
namespace clientbox {

// Opens the client end of the local pipe `name` (NUL-terminated, not null) for reading and
// writing, without waiting for a busy pipe and without retrying. Returns the open handle,
// which the caller owns, or InvalidPipeHandle() on any failure.
//  - Windows: "\\.\pipe\<name>", opened for overlapped I/O, not shared, with identification
//    as the highest level the server may act as the client (PipeClientSecurityFlags).
//  - POSIX: the socket of PipePath.h.
// A server running as another user is refused on both platforms, with one log line.
// A name that would leave the pipe namespace (empty, ".", "..", a path separator on POSIX, a
// "." or ".." component on Windows) is refused.
PipeHandle OpenNamedPipe(const char* name);

}  // namespace clientbox
}  // namespace kx
