#include "kx/common/InstallDirValue.h"

#include <windows.h>

#include <cwchar>

namespace kx {
namespace common {

namespace {

// `text` (zero-terminated) as the value, when it is valid UTF-16.
void SetValue(const wchar_t* text, String& value) {
    value.SetUtf16(reinterpret_cast<const unsigned short*>(text), -1);
}

}  // namespace

bool ReadInstallDirValue(String& value) {
    value = String();
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmora\\Launcher", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    // Room for the longest value and the zero usually stored after it; the last unit is never
    // written, so the text always ends, and a longer value without a zero shows as too long.
    wchar_t stored[kInstallDirValueSize + 2] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(stored) - sizeof(stored[0]);
    const LONG result = RegQueryValueExW(key, L"InstallDir", nullptr, &type,
                                         reinterpret_cast<BYTE*>(stored), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
        std::wcslen(stored) > kInstallDirValueSize) {
        return true;
    }
    if (type == REG_SZ) {
        SetValue(stored, value);
        return true;
    }
    wchar_t expanded[kInstallDirValueSize + 1];
    const DWORD needed = ExpandEnvironmentStringsW(stored, expanded, kInstallDirValueSize + 1);
    if (needed != 0 && needed <= kInstallDirValueSize + 1) SetValue(expanded, value);
    return true;
}

}  // namespace common
}  // namespace kx
