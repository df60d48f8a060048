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
    // The value is the UTF-8 text `text`: on Windows a string value (REG_SZ) of its UTF-16
    // form, stored with a terminating zero unless `terminated` is false; on POSIX the file
    // holds exactly `text`.
    void SetValue(const std::string& text, bool terminated = true);
    // The value is not valid text: a string value with a lone surrogate (Windows), bytes that
    // are not UTF-8 (POSIX).
    void SetInvalidText();
    // Neither key nor value exists.
    void RemoveKey();
};

}  // namespace testing
}  // namespace kx
