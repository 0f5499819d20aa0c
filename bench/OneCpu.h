// OneCpu: while it exists, the calling thread, and every thread started from it meanwhile (threads inherit
// the setting), runs on the first CPU it may use. With every thread on one CPU a round trip costs two
// context switches and never waits for another CPU to wake up, which on a virtual machine can take tens of
// microseconds; the benchmark shows round trips both ways.
#pragma once

#include <sched.h>

class OneCpu {
public:
    OneCpu();
    ~OneCpu();
    OneCpu(const OneCpu&) = delete;
    OneCpu& operator=(const OneCpu&) = delete;

private:
    cpu_set_t saved_;
};
