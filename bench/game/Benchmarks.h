#pragma once

#include <cstdint>

#include "game/GameSession.h"
#include "game/Summary.h"

namespace kx {
namespace bench {

// Sizes and counts of one benchmark run.
struct BenchConfig {
    bool smoke = false;
    // Bytes of one savegame read, and of the writes of one write benchmark iteration.
    uint32_t readBytes = 64u << 20;
    uint32_t writeBytes = 64u << 20;
    // Round trips timed per latency run, and counted per allocation run.
    unsigned roundTrips = 20000;
    unsigned allocationRoundTrips = 2000;
    double idleSeconds = 10;
    // Repetitions of every timed benchmark (the summary takes the median).
    unsigned repetitions = 5;
    // Whether the stack of every itemized allocation is printed to standard error.
    bool printStacks = false;

    // The full run, or the quick smoke run (tiny sizes, few iterations).
    static BenchConfig Full();
    static BenchConfig Smoke();
};

// Registers every benchmark with Google Benchmark, in the order they run when not interleaved:
// each figure right after its baseline. `game` has its launcher connection open and, like
// `sites`, outlives the run; the allocation benchmarks fill `sites`.
void RegisterBenchmarks(const BenchConfig& config, GameSession* game, AllocationSites* sites);

}  // namespace bench
}  // namespace kx
