#include "kx/devlauncher/InstallDirRegistry.h"

#include <windows.h>

namespace kx {
namespace devlauncher {

namespace fs = std::filesystem;

namespace {

constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

// Games read the value into a zero-filled buffer of 255 bytes.
constexpr std::size_t kLongestValue = 254;

std::string SubKey(const std::string& key) {
    return "SOFTWARE\\" + key;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

std::string InstallDirLocation(const std::string& key) {
    return "HKEY_LOCAL_MACHINE\\" + SubKey(key) + "\\InstallDir";
}

bool RegisterInstallDir(const fs::path& dir, std::string* error, const std::string& key) {
    std::error_code ec;
    const std::wstring value = fs::absolute(dir, ec).lexically_normal().wstring();
    for (wchar_t c : value) {
        if (c > 127) {
            *error =
                "the installation directory must have an ASCII path: games read "
                "InstallDir through the ANSI code page";
            return false;
        }
    }
    if (value.size() > kLongestValue) {
        *error = "the installation directory's path is longer than the " +
                 std::to_string(kLongestValue) + " characters games read";
        return false;
    }
    const std::wstring subKey = Wide(SubKey(key));
    for (REGSAM view : kViews) {
        HKEY handle = nullptr;
        LONG status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0,
                                        KEY_SET_VALUE | view, nullptr, &handle, nullptr);
        if (status == ERROR_SUCCESS) {
            status = ::RegSetValueExW(handle, L"InstallDir", 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            ::RegCloseKey(handle);
        }
        if (status != ERROR_SUCCESS) {
            *error = "cannot write " + InstallDirLocation(key) + " (error " +
                     std::to_string(status) +
                     (status == ERROR_ACCESS_DENIED ? "; run as administrator)" : ")");
            return false;
        }
    }
    return true;
}

bool ReadInstallDir(std::string* value, const std::string& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, SubKey(key).c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
        return false;
    }
    char buffer[kLongestValue + 2] = {};
    DWORD size = sizeof(buffer) - 1;
    const LONG status = ::RegQueryValueExA(handle, "InstallDir", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(handle);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    *value = buffer;
    return true;
}

bool UnregisterInstallDir(std::string* error, const std::string& key) {
    const std::wstring subKey = Wide(SubKey(key));
    for (REGSAM view : kViews) {
        HKEY handle = nullptr;
        LONG status =
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_SET_VALUE | view, &handle);
        if (status == ERROR_FILE_NOT_FOUND) {
            continue;
        }
        if (status == ERROR_SUCCESS) {
            status = ::RegDeleteValueW(handle, L"InstallDir");
            ::RegCloseKey(handle);
        }
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            *error = "cannot remove " + InstallDirLocation(key) + " (error " +
                     std::to_string(status) + ")";
            return false;
        }
    }
    return true;
}

}  // namespace devlauncher
}  // namespace kx
