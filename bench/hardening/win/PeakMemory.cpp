#include "hardening/PeakMemory.h"

#include <windows.h>

// After windows.h, which it needs.
#include <psapi.h>

namespace kx {
namespace bench {

PeakMemory PeakMemory::OfThisProcess() {
    PeakMemory peak;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        peak.resident = counters.PeakWorkingSetSize;
        peak.committed = counters.PeakPagefileUsage;
    }
    return peak;
}

}  // namespace bench
}  // namespace kx
