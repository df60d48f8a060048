#pragma once

#include <string>

namespace kx {
namespace bench {

// What the figures were measured on, e.g. "Linux x86_64, 2 CPUs" or "Windows x86_64 under
// Wine 8.0, 2 CPUs".
std::string DescribePlatform();

// Whether the program runs natively, where the targets meant for native runs are judged.
bool RunsNatively();

}  // namespace bench
}  // namespace kx
