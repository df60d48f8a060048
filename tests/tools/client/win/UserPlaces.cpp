#include "UserPlaces.h"

namespace kx {
namespace halyxclient {
namespace testing {

// The launcher pipe's name is fixed and the registry shared; the tests' resource lock keeps
// the programs that serve the pipe apart.
bool IsolateUserPlaces(const std::filesystem::path&) {
    return false;
}

}  // namespace testing
}  // namespace halyxclient
}  // namespace kx
