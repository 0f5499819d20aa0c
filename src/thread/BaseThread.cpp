#include "thread/BaseThread.h"

#include <map>
#include <vector>

#include "base/AutoreleasePool.h"
#include "base/StringFormat.h"
#include "io/IOException.h"
#include "platform/ThreadName.h"
#include "thread/BaseThreadManager.h"
#include "thread/DummyThread.h"

namespace {

// Maps OS thread ids to their BaseThread. Placeholders made for unknown threads belong to the table.
struct ThreadIdTable {
    // The manager must outlive the placeholders, which leave its registry when the table goes.
    ThreadIdTable() { sharedThreadManager(); }
    ~ThreadIdTable() {
        for (DummyThread* placeholder : placeholders) release(placeholder);
    }

    std::mutex mutex;
    std::map<std::thread::id, BaseThread*> entries;
    std::vector<DummyThread*> placeholders;
};

ThreadIdTable& idTable() {
    static ThreadIdTable table;
    return table;
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
    std::lock_guard<std::mutex> guard(threadMutex_);
    return thread_.joinable();
}

bool BaseThread::startThread() {
    {
        std::lock_guard<std::mutex> guard(threadMutex_);
        if (thread_.joinable()) return false;
        setRunning(true);
        thread_ = std::thread(threadEntry, this);
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
        std::lock_guard<std::mutex> guard(threadMutex_);
        if (!thread_.joinable()) return false;
        fromItself = thread_.get_id() == std::this_thread::get_id();
        stopping = std::move(thread_);
    }
    setThreadState(THREAD_STOPPING);
    threadWillStop();
    setRunning(false);
    if (fromItself) {
        // The thread ends when its work returns; nobody will join it.
        stopping.detach();
        return true;
    }
    stopping.join();
    setThreadState(THREAD_IDLE);
    return true;
}

void BaseThread::threadWillStop() { setRunning(true); }

void BaseThread::setThreadState(uint8_t state) {
    {
        std::lock_guard<std::mutex> guard(stateMutex_);
        state_ = state;
    }
    stateChanged_.notify_all();
}

bool BaseThread::replaceThreadState(uint8_t expected, uint8_t replacement) {
    {
        std::lock_guard<std::mutex> guard(stateMutex_);
        if (state_ != expected) return false;
        state_ = replacement;
    }
    stateChanged_.notify_all();
    return true;
}

void BaseThread::waitForThreadState(uint8_t state) {
    std::unique_lock<std::mutex> lock(stateMutex_);
    stateChanged_.wait(lock, [&] { return state_ == state; });
}

void BaseThread::waitWhileThreadState(uint8_t state) {
    std::unique_lock<std::mutex> lock(stateMutex_);
    stateChanged_.wait(lock, [&] { return state_ != state; });
}

uint8_t BaseThread::threadState() {
    std::lock_guard<std::mutex> guard(stateMutex_);
    return state_;
}

BaseThread* BaseThread::threadForId(std::thread::id id, BaseThread* object) {
    ThreadIdTable& table = idTable();
    std::lock_guard<std::mutex> guard(table.mutex);
    if (id == std::thread::id()) {
        table.entries.erase(std::this_thread::get_id());
        return nullptr;
    }
    auto found = table.entries.find(id);
    if (found != table.entries.end()) return found->second;
    if (!object) {
        auto* placeholder = new DummyThread();
        table.placeholders.push_back(placeholder);
        object = placeholder;
    }
    table.entries.emplace(id, object);
    return object;
}

void BaseThread::threadEntry(BaseThread* self) {
    threadForId(std::this_thread::get_id(), self);
    self->waitForThreadState(THREAD_LAUNCHED);
    self->setThreadState(THREAD_RUNNING);
    self->runOwnedWork();
    // The object may be gone now: only the thread's own bookkeeping is left.
    threadForId(std::thread::id(), nullptr);
}

// Runs the work inside the thread's pool, holding the owner. The state becomes THREAD_FINISHED before the
// owner is given back, because that release may destroy this object here, on its own thread.
void BaseThread::runOwnedWork() {
    AutoreleasePool pool;
    BaseObject* owner = dynamic_cast<BaseObject*>(this);
    bool holdsOwner = retainOwner_ && owner;
    if (holdsOwner) retain(owner);
    if (owner) setCurrentThreadName(stringWithFormat("%s (%p)", owner->className(), owner)->chars());
    try {
        threadMethod();
    } catch (IOException* exception) {
        release(exception);
    } catch (...) {
    }
    setThreadState(THREAD_FINISHED);
    if (holdsOwner) release(owner);
}
