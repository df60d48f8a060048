#include "kx/testing/IsolatedUserPlaces.h"

namespace kx {
namespace testing {

IsolatedUserPlaces::IsolatedUserPlaces(const std::filesystem::path&) {}

IsolatedUserPlaces::~IsolatedUserPlaces() = default;

}  // namespace testing
}  // namespace kx
