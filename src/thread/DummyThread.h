// DummyThread: a placeholder entry of the thread-id table for a thread that was not started through
// BaseThread. It is never started.
#pragma once

#include "base/BaseObject.h"
#include "thread/BaseThread.h"

class DummyThread : public BaseObject, public BaseThread {
public:
    DummyThread() : BaseThread(true, false) {}

protected:
    void threadMethod() override {}
};
