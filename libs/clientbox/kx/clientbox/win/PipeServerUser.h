#pragma once

#include <windows.h>

namespace kx {
namespace clientbox {

// True when the process serving the connected client end `pipe` runs as `user`. False as well
// when the server's process or its user cannot be found out: an unknown server is not trusted.
bool PipeServerRunsAs(HANDLE pipe, PSID user);

// PipeServerRunsAs with the user of the calling process: the counterpart of the POSIX peer
// credential check.
bool PipeServerIsOwnUser(HANDLE pipe);

}  // namespace clientbox
}  // namespace kx
