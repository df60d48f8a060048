#pragma once

#include <vector>

namespace kx {
namespace bench {

// The nearest-rank percentile `percent` (0 to 100) of `samples`: the smallest sample that at
// least `percent` per cent of the samples do not exceed. 0 for no samples. Reorders `samples`.
double Percentile(std::vector<double>* samples, double percent);

// The median of `values` (the mean of the middle two for an even count); 0 for none.
double Median(std::vector<double> values);

}  // namespace bench
}  // namespace kx
