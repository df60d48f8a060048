#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kx {
namespace bench {

// One benchmark run as the summary needs it.
struct RunRecord {
    std::string name;  // the registered name, e.g. "read/raw/64KiB"
    bool failed = false;
    std::string error;
    double realNanosecondsPerIteration = 0;
    std::map<std::string, double> counters;
};

// Per benchmark name, the allocations per round trip made by each site that falls into no
// other category (see AllocationKinds.h).
using AllocationSites = std::map<std::string, std::map<std::string, double>>;

// One line of the summary. A NaN number is one that was not measured.
struct Figure {
    std::string name;
    double value;
    std::string unit;
    double baseline;  // same unit as value
    double ratio;     // value / baseline
    std::string target;
    // Whether the target is met: 1 met, 0 missed, -1 not judged (no target, smoke run, not
    // measured, or a target that holds natively only).
    int met;
};

// The figures of one benchmark run: each the median over the repetitions of its benchmark,
// with the ratio to its baseline from the same run, and the targets judged in a full native
// run only.
class Summary {
public:
    // `native`: the targets that hold natively only are judged; `smoke`: no timing target is
    // judged. `sites` itemizes the "other" allocations.
    Summary(const std::vector<RunRecord>& runs, bool native, bool smoke,
            const AllocationSites& sites);

    const std::vector<Figure>& GetFigures() const { return figures_; }

    // Prints the table (and the benchmarks that failed, with their errors).
    void Print(std::FILE* out) const;
    // Writes the figures as JSON; false when the file cannot be written.
    bool WriteJson(const std::string& path, const std::string& platform) const;

private:
    // The median of a counter (or, for an empty counter name, of the real time per iteration)
    // over the runs of benchmark `name`; NaN when none succeeded.
    double MedianOf(const std::string& name, const std::string& counter) const;
    void Add(const std::string& name, double value, const std::string& unit, double baseline,
             const std::string& target, int met);
    void AddThroughput(const std::string& figure, const std::string& library,
                       const std::string& raw, double atLeast);
    // The time of a Write call of `size` ("1MiB" or "max") against copying as many bytes into
    // new memory, its baseline.
    void AddCallAgainstCopy(const std::string& figure, const std::string& size);
    void AddAllocations(const std::string& figure, const std::string& benchmark);

    std::vector<RunRecord> runs_;
    bool native_;
    bool smoke_;
    AllocationSites sites_;
    std::vector<Figure> figures_;
    std::vector<std::string> failures_;
};

}  // namespace bench
}  // namespace kx
