#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "game/Summary.h"

namespace kx {
namespace bench {

// Prints every benchmark run as Google Benchmark's console reporter does, and keeps each run
// (not the aggregates over repetitions) for the summary. Used on the thread that runs the
// benchmarks.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override;

    // Every run reported so far, in order.
    const std::vector<RunRecord>& GetRuns() const { return runs_; }

private:
    std::vector<RunRecord> runs_;
};

}  // namespace bench
}  // namespace kx
