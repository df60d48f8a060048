#include "game/AllocationCounter.h"

namespace kx {
namespace bench {
namespace allocation_counter {

// The Windows runtime's allocator cannot be replaced in a statically linked program without
// missing the allocations made inside the runtime itself: not measured there.

bool IsSupported() {
    return false;
}

void Start(bool) {}

uint64_t Stop() {
    return 0;
}

unsigned GetStackCount() {
    return 0;
}

void* const* GetStack(unsigned, unsigned* depth) {
    *depth = 0;
    return nullptr;
}

}  // namespace allocation_counter
}  // namespace bench
}  // namespace kx
