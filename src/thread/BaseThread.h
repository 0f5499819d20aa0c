// BaseThread: gives an object a thread of its own. A class mixes it in after BaseObject
// (class X : public BaseObject, public BaseThread), implements threadMethod, and calls startThread and
// stopThread. BaseThread runs the start handshake, gives the thread an autorelease pool and a name, keeps
// the owning object alive while the work runs (retainOwner), absorbs exceptions that escape the work, and
// joins the thread on stop. threadMethod polls running() and returns when it becomes false.
//
// A class whose threadMethod uses its own fields stops the thread in its own destructor, before those
// fields go; ~BaseThread stops a still-running thread only as the last step.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/ConditionVariable.h"
#include "platform/Mutex.h"

class BaseObject;

enum BaseThreadState : uint8_t {
    THREAD_IDLE = 0,
    THREAD_LAUNCHED = 1,
    THREAD_RUNNING = 2,
    THREAD_READY_WAIT = 3,
    THREAD_READY = 4,
    THREAD_STOPPING = 5,
    THREAD_FINISHED = 6,
};

class BaseThread {
public:
    BaseThread(bool retainOwner, bool waitForReady);
    virtual ~BaseThread();
    BaseThread(const BaseThread&) = delete;
    BaseThread& operator=(const BaseThread&) = delete;

    // False when a thread already exists (also one whose work ended but was not stopped), and while a stop
    // is under way (also one from the thread itself whose work has not yet returned).
    bool startThread() EXCLUDES(threadMutex_);
    // Clears running and joins the thread; from the thread itself it returns at once (the thread is joined
    // once it has ended, by a later start or by waitForAllThreadsToEnd). False when no thread.
    bool stopThread() EXCLUDES(threadMutex_);

    void setThreadState(uint8_t state) EXCLUDES(stateMutex_);
    void waitForThreadState(uint8_t state) EXCLUDES(stateMutex_);
    uint8_t threadState() EXCLUDES(stateMutex_);
    bool running() const { return running_.load(std::memory_order_acquire); }
    bool hasThread() EXCLUDES(threadMutex_);

    // The thread-id table. A null id removes the calling thread's entry; an unknown id is stored with
    // object, or with a new placeholder DummyThread when object is null; a known id returns its entry.
    static BaseThread* threadForId(std::thread::id id, BaseThread* object);

    // Waits until every thread started through BaseThread has ended, and joins those stopped from
    // themselves; false when limit passed first. Whatever hosts the library calls it before the library's
    // code goes away: the plug-in in XPluginStop, a program before it exits.
    static bool waitForAllThreadsToEnd(std::chrono::milliseconds limit);
    // Threads started through BaseThread and not yet joined: until it is joined, a thread whose work has
    // ended still runs a few steps of the module's code.
    static int unjoinedThreadCount();

protected:
    // The work, run on the object's own thread.
    virtual void threadMethod() = 0;
    // Called by stopThread on the controlling thread after the state became THREAD_STOPPING.
    virtual void threadWillStop();
    void setRunning(bool value) { running_.store(value, std::memory_order_release); }

private:
    static void threadEntry(BaseThread* self, BaseObject* heldOwner);
    void runOwnedWork(BaseObject* heldOwner);
    // Waits until the state is no longer `state` (the other side may already have moved past the one
    // asked for, so waiting for an exact value could wait forever).
    void waitWhileThreadState(uint8_t state) EXCLUDES(stateMutex_);
    bool replaceThreadState(uint8_t expected, uint8_t replacement) EXCLUDES(stateMutex_);
    bool stopUnderWay() EXCLUDES(stateMutex_);

    Mutex stateMutex_;
    ConditionVariable stateChanged_;
    // thread_ itself is guarded: a stop may come from the controlling thread and from the thread at once.
    Mutex threadMutex_;
    std::thread thread_ GUARDED_BY(threadMutex_);
    uint8_t state_ GUARDED_BY(stateMutex_) = THREAD_IDLE;
    bool retainOwner_;
    bool waitForReady_;
    std::atomic<bool> running_{false};
};
