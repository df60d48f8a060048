#include "kx/devlauncher/InstallDirRegistry.h"

#include <cstdlib>

#include "kx/common/FileContents.h"
#include "kx/devlauncher/AtomicWrite.h"

namespace kx {
namespace devlauncher {

namespace fs = std::filesystem;

namespace {

constexpr unsigned kMaxStandInSize = 64 * 1024;

// The stand-in file, or an empty path when neither $XDG_CONFIG_HOME nor $HOME is set.
fs::path StandInFile(const std::string& key) {
    fs::path base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config != nullptr && config[0] != '\0') {
        base = config;
    } else if (home != nullptr && home[0] != '\0') {
        base = fs::path(home) / ".config";
    } else {
        return fs::path();
    }
    std::string relative = key;
    for (char& c : relative) {
        if (c == '\\') {
            c = '/';
        }
    }
    return base / relative / "InstallDir";
}

}  // namespace

std::string InstallDirLocation(const std::string& key) {
    return StandInFile(key).string();
}

bool RegisterInstallDir(const fs::path& dir, std::string* error, const std::string& key) {
    const fs::path file = StandInFile(key);
    if (file.empty()) {
        *error = "neither XDG_CONFIG_HOME nor HOME is set";
        return false;
    }
    std::error_code ec;
    const std::string value = fs::absolute(dir, ec).lexically_normal().string();
    // One line without a line end: the whole content is the path.
    if (!WriteFileAtomically(file, value)) {
        *error = "cannot write " + file.string();
        return false;
    }
    return true;
}

bool ReadInstallDir(std::string* value, const std::string& key) {
    // Read as the library reads it: close-on-exec, and no more than a path can hold.
    common::HybridArray<char, 0> bytes;
    if (!common::ReadFileContents(StandInFile(key).c_str(), kMaxStandInSize, bytes)) {
        return false;
    }
    value->assign(bytes.GetCount() > 0 ? bytes.GetData() : "", bytes.GetCount());
    return true;
}

bool UnregisterInstallDir(std::string* error, const std::string& key) {
    const fs::path file = StandInFile(key);
    std::error_code ec;
    if (file.empty() || (!fs::remove(file, ec) && ec)) {
        *error =
            "cannot remove " + (file.empty() ? std::string("the stand-in file") : file.string());
        return false;
    }
    return true;
}

}  // namespace devlauncher
}  // namespace kx
