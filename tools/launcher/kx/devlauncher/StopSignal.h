#pragma once

namespace kx {
namespace devlauncher {

// Readies the process for WaitForStopSignal. Call once on the main thread before any other
// thread starts, so that the signals reach the waiting thread only (POSIX: SIGINT, SIGTERM and
// SIGHUP; SIGPIPE is ignored; Windows: Ctrl+C, Ctrl+Break and closing the console).
void PrepareStopSignals();

// Blocks until the user or the system asks the launcher to stop.
void WaitForStopSignal();

}  // namespace devlauncher
}  // namespace kx
