#include "kx/common/InstallDirValue.h"

#include <windows.h>

#include <cstring>

namespace kx {
namespace common {

bool ReadInstallDirValue(char* buffer) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora\\Launcher", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD size = kInstallDirValueSize;
    const LONG result = RegQueryValueExA(key, "InstallDir", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // A value too large for the buffer may have left part of itself behind.
    if (result != ERROR_SUCCESS) std::memset(buffer, 0, kInstallDirValueSize);
    return true;
}

}  // namespace common
}  // namespace kx
