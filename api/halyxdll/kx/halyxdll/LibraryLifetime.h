#pragma once

namespace kx {
namespace halyxdll {

// What the library does when a process loads it: logger 0 gets threshold 2 (all levels pass)
// and one debugger sink, so that every record from then on reaches the debugger output.
// Called once by the platform's entry point, after static construction; starts no thread and
// opens no pipe or file.
void OnLibraryLoad();

// What the library does when the process unloads it: flushes every sink of logger 0. Frees
// nothing; the logger and its sink outlive the library's last call.
void OnLibraryUnload();

}  // namespace halyxdll
}  // namespace kx
