#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace kx {
namespace devlauncher {
namespace testing {

// A pipe name no other test uses, so launchers of parallel tests never meet.
inline std::string UniquePipeName(const std::string& tag) {
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007;
    return "dltest_" + tag + "_" + std::to_string(stamp) + "_" + std::to_string(serial++);
}

}  // namespace testing
}  // namespace devlauncher
}  // namespace kx
