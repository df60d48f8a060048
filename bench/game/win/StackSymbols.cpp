#include "game/StackSymbols.h"

namespace kx {
namespace bench {

// No stacks are kept on Windows (see AllocationCounter.h).
std::vector<std::vector<std::string>> NameKeptStacks() {
    return {};
}

}  // namespace bench
}  // namespace kx
