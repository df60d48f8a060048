#include "kx/common/LauncherDirectory.h"

#include <cstring>

#include "kx/common/InstallDirValue.h"

namespace kx {
namespace common {

String GetLauncherDirectory() {
    char value[kInstallDirValueSize];
    std::memset(value, 0, sizeof(value));
    if (!ReadInstallDirValue(value)) return String();

    // A value that fills the buffer has no zero: it is read as the whole buffer, never beyond.
    const void* zero = std::memchr(value, '\0', sizeof(value));
    const int length = zero != nullptr ? static_cast<int>(static_cast<const char*>(zero) - value)
                                       : static_cast<int>(sizeof(value));
    String directory(value, length);
    if (!directory.EndsWith(String("\\")) && !directory.EndsWith(String("/"))) {
        directory.AppendChar('/');
    }
    return directory;
}

}  // namespace common
}  // namespace kx
