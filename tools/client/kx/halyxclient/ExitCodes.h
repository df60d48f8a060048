#pragma once

namespace kx {
namespace halyxclient {

// Exit codes of halyx_client.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;       // bad command line, or a local file that cannot be used
constexpr int kExitNoLauncher = 2;  // the launcher is not running
constexpr int kExitNotFound = 3;    // no such savegame, text or server pipe; overwrite refused
constexpr int kExitLocked = 4;      // the slot is in use by another client
constexpr int kExitFailed = 5;      // the launcher refused or did not answer in time

}  // namespace halyxclient
}  // namespace kx
