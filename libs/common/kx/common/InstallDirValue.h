#pragma once

#include "kx/common/String.h"

namespace kx {
namespace common {

// Longest "InstallDir" value read, in the units the platform stores it in: UTF-16 units on
// Windows, bytes on POSIX.
constexpr unsigned kInstallDirValueSize = 255;

// Reads the launcher's "InstallDir" value into `value`, replacing what it held. Windows: value
// "InstallDir" of the registry key HKEY_LOCAL_MACHINE "SOFTWARE\Velmora\Launcher", a string
// (REG_SZ, or REG_EXPAND_SZ with its environment references expanded) of valid UTF-16. POSIX:
// the first line of the file Velmora/Launcher/InstallDir below $XDG_CONFIG_HOME (else
// ~/.config), valid UTF-8. Either way the value ends at its first zero.
// Returns false, leaving `value` empty, when the key (the file) cannot be opened. A value that
// is missing, of another type, longer than kInstallDirValueSize units (also once expanded) or
// not valid text leaves `value` empty and returns true.
bool ReadInstallDirValue(String& value);

}  // namespace common
}  // namespace kx
