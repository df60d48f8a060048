#include "hardening/PeakMemory.h"

// clang-format off: windows.h must come before psapi.h.
#include <psapi.h>
#include <windows.h>
// clang-format on

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
