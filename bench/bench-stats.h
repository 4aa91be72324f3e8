// Small statistics for timing samples.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// The q-th quantile (0 <= q <= 1) by the nearest-rank rule: the smallest
// sample that at least q of all samples do not exceed. 0 for no samples.
inline double Quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return 0.0;
    q = std::min(1.0, std::max(0.0, q));
    size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(samples.size())));
    size_t index = rank == 0 ? 0 : rank - 1;
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(index), samples.end());
    return samples[index];
}
