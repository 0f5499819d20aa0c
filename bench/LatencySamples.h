// LatencySamples: per-iteration durations collected by the benchmark, and their percentiles.
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

class LatencySamples {
public:
    using Duration = std::chrono::nanoseconds;

    void reserve(size_t count) { samples_.reserve(count); }
    void add(Duration sample) { samples_.push_back(sample); sorted_ = false; }
    size_t count() const { return samples_.size(); }
    // The sample below which the given fraction of samples lie (nearest rank); 0 when empty.
    Duration percentile(double fraction);
    Duration maximum() { return percentile(1.0); }
    double mean() const;

private:
    std::vector<Duration> samples_;
    bool sorted_ = false;
};
