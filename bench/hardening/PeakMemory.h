#pragma once

#include <cstdint>

namespace kx {
namespace bench {

// The most memory this process has held so far, in bytes: its peak resident set (POSIX: the
// maximum resident set size; Windows: the peak working set) and, where the platform counts it,
// its peak committed private memory (Windows: the peak page-file usage; 0 elsewhere).
struct PeakMemory {
    uint64_t resident = 0;
    uint64_t committed = 0;

    static PeakMemory OfThisProcess();
};

}  // namespace bench
}  // namespace kx
