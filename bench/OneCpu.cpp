#include "OneCpu.h"

OneCpu::OneCpu() {
    CPU_ZERO(&saved_);
    if (sched_getaffinity(0, sizeof(saved_), &saved_) != 0) return;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &saved_)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        sched_setaffinity(0, sizeof(one), &one);
        return;
    }
}

OneCpu::~OneCpu() {
    if (CPU_COUNT(&saved_) > 0) sched_setaffinity(0, sizeof(saved_), &saved_);
}
