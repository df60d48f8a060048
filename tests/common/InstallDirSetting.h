#pragma once

#include <string>

namespace kx {
namespace testing {

// Controls the launcher's "InstallDir" setting as the library reads it, for one test: the
// registry key on Windows (HKEY_LOCAL_MACHINE is writable under Wine), the stand-in file below a
// private $XDG_CONFIG_HOME on POSIX. Starts with the key absent; the destructor removes it.
class InstallDirSetting {
public:
    InstallDirSetting();
    ~InstallDirSetting();
    InstallDirSetting(const InstallDirSetting&) = delete;
    InstallDirSetting& operator=(const InstallDirSetting&) = delete;

    // The key exists but has no value.
    void CreateKeyWithoutValue();
    // The value is exactly `bytes`; on Windows a string value with a terminating zero, or raw
    // bytes without one when `terminated` is false.
    void SetValue(const std::string& bytes, bool terminated = true);
    // Neither key nor value exists.
    void RemoveKey();
};

}  // namespace testing
}  // namespace kx
