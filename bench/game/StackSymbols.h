#pragma once

#include <string>
#include <vector>

namespace kx {
namespace bench {

// The function names of every stack that allocation_counter kept, one list per stack,
// innermost frame first, with inlined calls as frames of their own where the program carries
// debug information. Names of functions in other modules come from their exported symbols.
// Empty where stacks are not kept (Windows). Runs the system's symbolizer as a child process.
std::vector<std::vector<std::string>> NameKeptStacks();

}  // namespace bench
}  // namespace kx
