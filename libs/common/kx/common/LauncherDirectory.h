#pragma once

#include "kx/common/String.h"

namespace kx {
namespace common {

// The launcher's installation directory as found through ReadInstallDirValue, ending in a
// backslash or a forward slash ("/" is appended when the value ends in neither). Empty when the
// launcher's key cannot be opened; "/" when the key exists but its value is empty or cannot be
// used (see ReadInstallDirValue). Reads the value afresh on every call.
String GetLauncherDirectory();

}  // namespace common
}  // namespace kx
