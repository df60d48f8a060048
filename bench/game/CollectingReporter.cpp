#include "game/CollectingReporter.h"

namespace kx {
namespace bench {

void CollectingReporter::ReportRuns(const std::vector<Run>& reports) {
    for (const Run& run : reports) {
        if (run.run_type != Run::RT_Iteration) continue;
        RunRecord record;
        record.name = run.run_name.function_name;
        record.failed = run.error_occurred;
        record.error = run.error_message;
        // Every benchmark keeps the default unit, nanoseconds.
        record.realNanosecondsPerIteration = run.GetAdjustedRealTime();
        for (const auto& counter : run.counters) record.counters[counter.first] = counter.second;
        runs_.push_back(record);
    }
    ConsoleReporter::ReportRuns(reports);
}

}  // namespace bench
}  // namespace kx
