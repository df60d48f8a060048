#include "UserPlaces.h"

#include <stdlib.h>

namespace kx {
namespace halyxclient {
namespace testing {

bool IsolateUserPlaces(const std::filesystem::path& dir) {
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    return true;
}

}  // namespace testing
}  // namespace halyxclient
}  // namespace kx
