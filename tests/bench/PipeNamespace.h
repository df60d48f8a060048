#pragma once

#include <string>

namespace kx {
namespace bench {

// A pipe name no other test program uses at the same time: POSIX gives this process a
// namespace of its own (a fresh $XDG_RUNTIME_DIR) on the first call; Windows, whose pipe
// namespace is shared, gets the process id in the name.
std::string UniquePipeName(const std::string& base);

}  // namespace bench
}  // namespace kx
