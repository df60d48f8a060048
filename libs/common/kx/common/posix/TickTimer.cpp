#include "kx/common/TickTimer.h"

#include <time.h>

#include <cstdint>

namespace kx {
namespace common {

unsigned CurrentTick() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<unsigned>(milliseconds);
}

}  // namespace common
}  // namespace kx
