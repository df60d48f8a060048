#include "kx/testing/IsolatedUserPlaces.h"

#include <stdlib.h>

namespace kx {
namespace testing {

IsolatedUserPlaces::IsolatedUserPlaces(const std::filesystem::path& dir) {
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"}) {
        const char* value = ::getenv(name);
        previous_.emplace_back(name,
                               value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        ::setenv(name, dir.c_str(), 1);
    }
}

IsolatedUserPlaces::~IsolatedUserPlaces() {
    for (const auto& variable : previous_) {
        if (variable.second) {
            ::setenv(variable.first.c_str(), variable.second->c_str(), 1);
        } else {
            ::unsetenv(variable.first.c_str());
        }
    }
}

}  // namespace testing
}  // namespace kx
