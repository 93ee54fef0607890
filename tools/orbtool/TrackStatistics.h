#pragma once
// Error statistics of an `orbtool track` run.

#include <algorithm>
#include <cmath>
#include <vector>

namespace OrbTool {

struct ErrorSummary {
    bool empty = true;
    double rms = 0, p95 = 0, max = 0;
};

// RMS, 95th percentile (nearest rank) and maximum of `values`.
inline ErrorSummary summarise(std::vector<double> values) {
    ErrorSummary s;
    if (values.empty())
        return s;
    s.empty = false;
    double squares = 0;
    for (double v : values)
        squares += v * v;
    s.rms = std::sqrt(squares / double(values.size()));
    std::sort(values.begin(), values.end());
    const std::size_t rank = std::size_t(std::ceil(0.95 * double(values.size())));
    s.p95 = values[std::max<std::size_t>(rank, 1) - 1];
    s.max = values.back();
    return s;
}

} // namespace OrbTool
