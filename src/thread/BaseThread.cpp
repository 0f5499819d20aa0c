#include "thread/BaseThread.h"

#include <map>
#include <vector>

#include "base/AutoreleasePool.h"
#include "base/IOException.h"
#include "base/SharedObjectsLock.h"
#include "base/StringFormat.h"
#include "platform/ThreadName.h"
#include "thread/BaseThreadManager.h"
#include "thread/DummyThread.h"

namespace {

// Maps OS thread ids to their BaseThread, counts the threads still running and those not yet joined, and
// keeps the threads that were stopped from themselves until they can be joined. No thread is ever detached:
// a thread is joined, so that everything it did (its thread-local storage included) is finished before the
// module can go away. The table is a shared object: every thread uses it to its last step, so it is never
// destroyed at exit or unload, and only released with the other shared objects once every thread has ended.
struct ThreadBookkeeping {
    ~ThreadBookkeeping() {
        for (BaseThread* placeholder : placeholders) release(dynamic_cast<BaseObject*>(placeholder));
    }

    Mutex mutex;
    std::map<std::thread::id, BaseThread*> entries GUARDED_BY(mutex);
    std::vector<BaseThread*> placeholders GUARDED_BY(mutex);
    ConditionVariable allEnded;
    int liveThreads GUARDED_BY(mutex) = 0;
    // Started and not yet joined: a thread whose work has ended still runs the module's code until joined.
    int unjoinedThreads GUARDED_BY(mutex) = 0;
    // Threads stopped from themselves, and which of them have finished their work and only exit now.
    std::map<std::thread::id, std::thread> unjoined GUARDED_BY(mutex);
    std::vector<std::thread::id> ended GUARDED_BY(mutex);

    bool waitForAllThreads(std::chrono::milliseconds limit) EXCLUDES(mutex) {
        MutexLock lock(mutex);
        return allEnded.waitFor(mutex, limit, [this]() REQUIRES(mutex) { return liveThreads == 0; });
    }

    // Joins the handed-over threads that have ended; each is at most a few instructions from its exit.
    void joinEnded() EXCLUDES(mutex) {
        std::vector<std::thread> finished;
        {
            MutexLock guard(mutex);
            for (std::thread::id id : ended) {
                auto found = unjoined.find(id);
                finished.push_back(std::move(found->second));
                unjoined.erase(found);
            }
            ended.clear();
        }
        for (std::thread& thread : finished) thread.join();
        threadsJoined(static_cast<int>(finished.size()));
    }

    void threadsJoined(int count) EXCLUDES(mutex) {
        if (count == 0) return;
        MutexLock guard(mutex);
        unjoinedThreads -= count;
    }
};

SharedInstance<ThreadBookkeeping> books;

ThreadBookkeeping& bookkeeping() { return *books.get(); }

void threadBegins() {
    ThreadBookkeeping& books = bookkeeping();
    MutexLock guard(books.mutex);
    ++books.liveThreads;
    ++books.unjoinedThreads;
}

// The last step of every thread: a handed-over thread is marked ready to be joined.
void threadEnds() {
    ThreadBookkeeping& books = bookkeeping();
    MutexLock guard(books.mutex);
    if (books.unjoined.count(std::this_thread::get_id()) > 0) books.ended.push_back(std::this_thread::get_id());
    if (--books.liveThreads == 0) books.allEnded.notifyAll();
}

// A thread stopped from itself cannot join itself; it is joined once it has ended.
void handOver(std::thread thread) {
    ThreadBookkeeping& books = bookkeeping();
    MutexLock guard(books.mutex);
    std::thread::id id = thread.get_id();
    books.unjoined.emplace(id, std::move(thread));
}

}  // namespace

BaseThread::BaseThread(bool retainOwner, bool waitForReady) : retainOwner_(retainOwner), waitForReady_(waitForReady) {
    sharedThreadManager()->registerThread(this);
}

BaseThread::~BaseThread() {
    stopThread();
    sharedThreadManager()->unregisterThread(this);
}

bool BaseThread::hasThread() {
    MutexLock guard(threadMutex_);
    return thread_.joinable();
}

// The owner reference is taken here, before the thread exists, and handed to the thread: taken on the new
// thread instead, a starter that drops its own reference right after startThread could destroy the object
// before the thread holds it.
bool BaseThread::startThread() {
    bookkeeping().joinEnded();
    {
        MutexLock guard(threadMutex_);
        if (thread_.joinable() || stopUnderWay()) return false;
        BaseObject* owner = retainOwner_ ? dynamic_cast<BaseObject*>(this) : nullptr;
        retain(owner);
        setRunning(true);
        threadBegins();
        try {
            thread_ = std::thread(threadEntry, this, owner);
        } catch (...) {
            threadEnds();
            bookkeeping().threadsJoined(1);
            setRunning(false);
            release(owner);
            throw;
        }
    }
    setThreadState(THREAD_LAUNCHED);
    waitWhileThreadState(THREAD_LAUNCHED);
    if (waitForReady_ && replaceThreadState(THREAD_RUNNING, THREAD_READY_WAIT)) {
        waitWhileThreadState(THREAD_READY_WAIT);
    }
    return true;
}

bool BaseThread::stopThread() {
    std::thread stopping;
    bool fromItself = false;
    {
        MutexLock guard(threadMutex_);
        if (!thread_.joinable()) return false;
        fromItself = thread_.get_id() == std::this_thread::get_id();
        stopping = std::move(thread_);
        // Marked before the thread is let go, so that no start slips in between.
        setThreadState(THREAD_STOPPING);
    }
    threadWillStop();
    setRunning(false);
    if (fromItself) {
        // The thread ends when its work returns, and is joined after that.
        handOver(std::move(stopping));
        return true;
    }
    stopping.join();
    bookkeeping().threadsJoined(1);
    setThreadState(THREAD_IDLE);
    return true;
}

void BaseThread::threadWillStop() { setRunning(true); }

// A stop is under way from its start until the joined thread is marked idle, or, for a thread stopped from
// itself, until its work has returned. A start in that window would race the ending thread's last state
// change, which could overwrite the new thread's launch and leave both sides waiting for ever.
bool BaseThread::stopUnderWay() { return threadState() == THREAD_STOPPING; }

void BaseThread::setThreadState(uint8_t state) {
    {
        MutexLock guard(stateMutex_);
        state_ = state;
    }
    stateChanged_.notifyAll();
}

bool BaseThread::replaceThreadState(uint8_t expected, uint8_t replacement) {
    {
        MutexLock guard(stateMutex_);
        if (state_ != expected) return false;
        state_ = replacement;
    }
    stateChanged_.notifyAll();
    return true;
}

void BaseThread::waitForThreadState(uint8_t state) {
    MutexLock lock(stateMutex_);
    stateChanged_.wait(stateMutex_, [&]() REQUIRES(stateMutex_) { return state_ == state; });
}

void BaseThread::waitWhileThreadState(uint8_t state) {
    MutexLock lock(stateMutex_);
    stateChanged_.wait(stateMutex_, [&]() REQUIRES(stateMutex_) { return state_ != state; });
}

uint8_t BaseThread::threadState() {
    MutexLock guard(stateMutex_);
    return state_;
}

BaseThread* BaseThread::threadForId(std::thread::id id, BaseThread* object) {
    ThreadBookkeeping& books = bookkeeping();
    MutexLock guard(books.mutex);
    if (id == std::thread::id()) {
        books.entries.erase(std::this_thread::get_id());
        return nullptr;
    }
    auto found = books.entries.find(id);
    if (found != books.entries.end()) return found->second;
    // A placeholder lives as long as the table that holds it.
    if (!object) {
        object = new DummyThread();
        books.placeholders.push_back(object);
    }
    books.entries.emplace(id, object);
    return object;
}

bool BaseThread::waitForAllThreadsToEnd(std::chrono::milliseconds limit) {
    if (!bookkeeping().waitForAllThreads(limit)) return false;
    bookkeeping().joinEnded();
    return true;
}

int BaseThread::unjoinedThreadCount() {
    ThreadBookkeeping& books = bookkeeping();
    MutexLock guard(books.mutex);
    return books.unjoinedThreads;
}

void BaseThread::threadEntry(BaseThread* self, BaseObject* heldOwner) {
    threadForId(std::this_thread::get_id(), self);
    self->waitForThreadState(THREAD_LAUNCHED);
    self->setThreadState(THREAD_RUNNING);
    self->runOwnedWork(heldOwner);
    // The object may be gone now: only the thread's own bookkeeping is left.
    threadForId(std::thread::id(), nullptr);
    threadEnds();
}

// Runs the work inside the thread's pool. The state becomes THREAD_FINISHED before the owner reference is
// given back, because that release may destroy this object here, on its own thread.
void BaseThread::runOwnedWork(BaseObject* heldOwner) {
    AutoreleasePool pool;
    if (BaseObject* owner = dynamic_cast<BaseObject*>(this)) {
        setCurrentThreadName(stringWithFormat("%s (%p)", owner->className(), owner)->chars());
    }
    try {
        threadMethod();
    } catch (IOException* exception) {
        release(exception);
    } catch (...) {
    }
    setThreadState(THREAD_FINISHED);
    release(heldOwner);
}
