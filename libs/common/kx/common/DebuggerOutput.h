#pragma once

namespace kx {
namespace common {

// Hands one finished, zero-terminated line to the process's debugger output: the debugger
// channel on Windows, standard error on POSIX. Safe on any thread; never allocates.
void WriteDebuggerOutput(const char* line);

}  // namespace common
}  // namespace kx
