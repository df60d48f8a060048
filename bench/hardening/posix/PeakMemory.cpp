#include "hardening/PeakMemory.h"

#include <sys/resource.h>

namespace kx {
namespace bench {

PeakMemory PeakMemory::OfThisProcess() {
    PeakMemory peak;
    rusage usage;
    // Linux counts the maximum resident set size in KiB.
    if (getrusage(RUSAGE_SELF, &usage) == 0) peak.resident = uint64_t(usage.ru_maxrss) * 1024;
    return peak;
}

}  // namespace bench
}  // namespace kx
