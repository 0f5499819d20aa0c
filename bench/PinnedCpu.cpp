#include "PinnedCpu.h"

namespace {

// The CPUs the process could use when first asked, before any pinning narrowed them.
const cpu_set_t& processCpus() {
    static const cpu_set_t cpus = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof(set), &set) != 0) CPU_ZERO(&set);
        return set;
    }();
    return cpus;
}

}  // namespace

PinnedCpu::PinnedCpu(int index) {
    CPU_ZERO(&saved_);
    if (sched_getaffinity(0, sizeof(saved_), &saved_) != 0) return;
    int seen = 0;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &processCpus()) || seen++ != index) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pinned_ = sched_setaffinity(0, sizeof(one), &one) == 0;
        return;
    }
}

PinnedCpu::~PinnedCpu() {
    if (pinned_) sched_setaffinity(0, sizeof(saved_), &saved_);
}

int PinnedCpu::usableCpus() { return CPU_COUNT(&processCpus()); }
