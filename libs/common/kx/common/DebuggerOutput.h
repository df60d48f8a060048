#pragma once

namespace kx {
namespace common {

// Hands one finished, zero-terminated line to the process's debugger output: the debugger
// channel on Windows, standard error on POSIX. Safe on any thread; never allocates.
void WriteDebuggerOutput(const char* line);

// Writes a report of a fatal fault where a developer will see it, whatever runs the process:
// the debugger output and standard error (the same place on POSIX, written once).
void WriteFatalOutput(const char* line);

}  // namespace common
}  // namespace kx
