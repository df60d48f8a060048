#pragma once

#include <filesystem>
#include <string>

namespace kx {
namespace devlauncher {

// The launcher's key: below HKEY_LOCAL_MACHINE\SOFTWARE on Windows; on POSIX the same path with
// slashes below the user's configuration directory ($XDG_CONFIG_HOME, else ~/.config), where a
// one-line file named InstallDir stands in for the registry value.
constexpr const char* kLauncherKey = "Velmora\\Launcher";

// Where the "InstallDir" value of `key` lives, for messages: a registry path or a file path.
std::string InstallDirLocation(const std::string& key = kLauncherKey);

// Records the absolute form of `dir` as the "InstallDir" value of `key`. On Windows it goes into
// both the 32-bit and the 64-bit registry view, since a 32-bit game on 64-bit Windows reads the
// 32-bit one; a path with non-ASCII characters is refused there, because games read the value
// through the ANSI code page. Returns false with a reason in `*error`.
bool RegisterInstallDir(const std::filesystem::path& dir, std::string* error,
                        const std::string& key = kLauncherKey);

// Reads the "InstallDir" value of `key` the way a game of this build's bitness does. Returns
// false when there is none.
bool ReadInstallDir(std::string* value, const std::string& key = kLauncherKey);

// Removes the "InstallDir" value of `key` (from both registry views on Windows). A value that is
// already gone counts as removed. Returns false with a reason in `*error`.
bool UnregisterInstallDir(std::string* error, const std::string& key = kLauncherKey);

}  // namespace devlauncher
}  // namespace kx
