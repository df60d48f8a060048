#pragma once

#include "kx/clientbox/PipeHandle.h"

namespace kx {
namespace clientbox {

// Opens the client end of the local pipe `name` (NUL-terminated, not null) for reading and
// writing, without waiting for a busy pipe and without retrying. Returns the open handle,
// which the caller owns, or InvalidPipeHandle() on any failure.
//  - Windows: "\\.\pipe\<name>", opened for overlapped I/O and not shared.
//  - POSIX: the Unix-domain stream socket $XDG_RUNTIME_DIR/<name> when that variable is set,
//    else /tmp/halyx-<uid>/<name>; that directory is created with mode 0700 and refused when it
//    is not a directory of this user closed to everybody else. A peer running as another user
//    is refused.
// A name that would leave the pipe namespace (empty, ".", "..", a path separator on POSIX, a
// "." or ".." component on Windows) is refused.
PipeHandle OpenNamedPipe(const char* name);

}  // namespace clientbox
}  // namespace kx
