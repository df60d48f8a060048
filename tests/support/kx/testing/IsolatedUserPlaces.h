#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kx {
namespace testing {

// Points this process, the library in it and the programs it starts at `dir` for their
// per-user places (POSIX: the pipe directory and the configuration directory) while the object
// lives, and back to the previous places afterwards. On Windows it changes nothing: the
// launcher pipe's name is fixed and the registry is shared by every program of the build (the
// tests' resource locks keep those programs apart). Used on the test's thread only.
class IsolatedUserPlaces {
public:
    explicit IsolatedUserPlaces(const std::filesystem::path& dir);
    ~IsolatedUserPlaces();
    IsolatedUserPlaces(const IsolatedUserPlaces&) = delete;
    IsolatedUserPlaces& operator=(const IsolatedUserPlaces&) = delete;

    // Whether the places are this test's own, so that it may register an installation directory
    // without touching other tests.
    bool IsIsolated() const { return !previous_.empty(); }

private:
    // The environment variables changed, with their values before (none when unset).
    std::vector<std::pair<std::string, std::optional<std::string>>> previous_;
};

}  // namespace testing
}  // namespace kx
