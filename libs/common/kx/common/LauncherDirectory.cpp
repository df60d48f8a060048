#include "kx/common/LauncherDirectory.h"

#include "kx/common/InstallDirValue.h"

namespace kx {
namespace common {

String GetLauncherDirectory() {
    String directory;
    if (!ReadInstallDirValue(directory)) return String();
    if (!directory.EndsWith(String("\\")) && !directory.EndsWith(String("/"))) {
        directory.AppendChar('/');
    }
    return directory;
}

}  // namespace common
}  // namespace kx
