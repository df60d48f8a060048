#pragma once

namespace kx {
namespace common {

// Size of the buffer the launcher's "InstallDir" value is read into.
constexpr unsigned kInstallDirValueSize = 255;

// Reads the launcher's "InstallDir" value into `buffer`, which holds kInstallDirValueSize bytes
// and must be zero-filled by the caller. Windows: value "InstallDir" of the registry key
// HKEY_LOCAL_MACHINE "SOFTWARE\Velmora\Launcher". POSIX: the one-line file
// Velmora/Launcher/InstallDir below $XDG_CONFIG_HOME (else ~/.config), up to its first line end
// (a line longer than the buffer counts as a value that cannot be read).
// Returns false when the key (the file) cannot be opened. A value that is missing or cannot be
// read leaves the buffer zero-filled and returns true. A value that fills the buffer has no
// terminating zero.
bool ReadInstallDirValue(char* buffer);

}  // namespace common
}  // namespace kx
