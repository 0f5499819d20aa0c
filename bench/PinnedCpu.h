// PinnedCpu: while it exists, the calling thread, and every thread started from it meanwhile (threads inherit
// the setting), runs on one CPU: the index-th of those the process could use before any pinning. With both ends of a round trip on
// one CPU it costs two context switches and never waits for another CPU to wake up; with the ends on two
// CPUs each message wakes a CPU, which on a virtual machine takes tens of microseconds even for two plain
// sockets. The benchmark shows round trips in both placements, bridge and raw pair alike.
#pragma once

#include <sched.h>

class PinnedCpu {
public:
    explicit PinnedCpu(int index);
    ~PinnedCpu();
    PinnedCpu(const PinnedCpu&) = delete;
    PinnedCpu& operator=(const PinnedCpu&) = delete;

    // False when the process may use fewer CPUs than index + 1; nothing was changed then.
    bool pinned() const { return pinned_; }
    // How many CPUs the process could use when first asked (before any pinning).
    static int usableCpus();

private:
    cpu_set_t saved_;
    bool pinned_ = false;
};
