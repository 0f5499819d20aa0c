#include "LatencySamples.h"

#include <algorithm>
#include <cmath>

LatencySamples::Duration LatencySamples::percentile(double fraction) {
    if (samples_.empty()) return Duration::zero();
    if (!sorted_) {
        std::sort(samples_.begin(), samples_.end());
        sorted_ = true;
    }
    auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(samples_.size())));
    return samples_[std::clamp<size_t>(rank, 1, samples_.size()) - 1];
}

double LatencySamples::mean() const {
    if (samples_.empty()) return 0.0;
    double total = 0.0;
    for (Duration sample : samples_) total += static_cast<double>(sample.count());
    return total / static_cast<double>(samples_.size());
}
