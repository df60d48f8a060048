#pragma once

#include <filesystem>

namespace kx {
namespace halyxclient {
namespace testing {

// Points this process, the library in it and the launchers it starts at `dir` for their
// per-user places (POSIX: the socket directory and the configuration directory). Returns
// whether this test may register an installation directory without touching other tests: on
// Windows the registry is shared by every program of the build, so it may not.
bool IsolateUserPlaces(const std::filesystem::path& dir);

}  // namespace testing
}  // namespace halyxclient
}  // namespace kx
