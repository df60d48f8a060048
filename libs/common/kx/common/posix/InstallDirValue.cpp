#include "kx/common/InstallDirValue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kx/common/HybridArray.h"
#include "kx/common/OpenFile.h"

namespace kx {
namespace common {

namespace {

void AppendText(HybridArray<char, 0>& path, const char* text) {
    path.AddRange(text, static_cast<unsigned>(std::strlen(text)));
}

// The stand-in file's path, zero-terminated; false when neither an absolute
// $XDG_CONFIG_HOME nor $HOME is set.
bool BuildValuePath(HybridArray<char, 0>& path) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        AppendText(path, config);
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') return false;
        AppendText(path, home);
        AppendText(path, "/.config");
    }
    AppendText(path, "/Velmora/Launcher/InstallDir");
    path.Add('\0');
    return true;
}

}  // namespace

bool ReadInstallDirValue(String& value) {
    value = String();
    HybridArray<char, 0> path;
    if (!BuildValuePath(path)) return false;
    std::FILE* file = OpenFileForReading(path.GetData());
    if (file == nullptr) return false;
    // One byte more than the value may hold tells a value that fits from one that does not.
    char line[kInstallDirValueSize + 1];
    const std::size_t read = std::fread(line, 1, sizeof(line), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return true;

    std::size_t length = 0;
    while (length < read && line[length] != '\r' && line[length] != '\n' && line[length] != '\0') {
        ++length;
    }
    // Like a registry value too large for the buffer, a longer line cannot be read.
    if (length <= kInstallDirValueSize) value.SetUtf8(line, static_cast<int>(length));
    return true;
}

}  // namespace common
}  // namespace kx
