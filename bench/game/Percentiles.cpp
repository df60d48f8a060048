#include "game/Percentiles.h"

#include <algorithm>
#include <cmath>

namespace kx {
namespace bench {

double Percentile(std::vector<double>* samples, double percent) {
    if (samples->empty()) return 0;
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(samples->size()));
    std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
    if (index >= samples->size()) index = samples->size() - 1;
    std::nth_element(samples->begin(), samples->begin() + static_cast<long>(index), samples->end());
    return (*samples)[index];
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) return values[middle];
    return (values[middle - 1] + values[middle]) / 2;
}

}  // namespace bench
}  // namespace kx
