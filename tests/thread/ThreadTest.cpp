#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "Eventually.h"
#include "base/AutoreleasePool.h"
#include "base/IOException.h"
#include "platform/ThreadName.h"
#include "thread/BaseThread.h"
#include "thread/BaseThreadManager.h"
#include "thread/DummyThread.h"

namespace {

// A worker whose behaviour each test chooses.
class Worker : public BaseObject, public BaseThread {
public:
    enum class Mode { LoopUntilStopped, ReturnAtOnce, ThrowIOException, ThrowOther, StopItself, StopItselfThenWait };

    explicit Worker(Mode mode, std::atomic<int>* destroyed = nullptr)
        : BaseThread(true, false), mode_(mode), destroyed_(destroyed) {}
    ~Worker() override {
        stopThread();
        if (destroyed_) ++*destroyed_;
    }

    std::atomic<int> passes{0};
    std::atomic<bool> released{false};
    std::atomic<int> countSeenInThread{0};
    std::string nameSeen;
    BaseThread* idEntrySeen = nullptr;

protected:
    void threadMethod() override {
        countSeenInThread = retainCount();
        nameSeen = currentThreadName();
        idEntrySeen = threadForId(std::this_thread::get_id(), nullptr);
        switch (mode_) {
            case Mode::ReturnAtOnce: return;
            case Mode::ThrowIOException: throw new IOException();
            case Mode::ThrowOther: throw std::runtime_error("escaped");
            case Mode::StopItself: stopThread(); return;
            case Mode::StopItselfThenWait:
                stopThread();
                while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return;
            case Mode::LoopUntilStopped:
                while (running()) {
                    ++passes;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
        }
    }

private:
    Mode mode_;
    std::atomic<int>* destroyed_;
};


}  // namespace

TEST(ThreadLifecycle, StartTwiceStopTwiceAndRestart) {
    auto* worker = new Worker(Worker::Mode::LoopUntilStopped);
    EXPECT_FALSE(worker->stopThread());  // never started
    EXPECT_TRUE(worker->startThread());
    EXPECT_FALSE(worker->startThread());
    EXPECT_TRUE(eventually([&] { return worker->passes > 0; }));
    EXPECT_TRUE(worker->stopThread());
    EXPECT_EQ(worker->threadState(), THREAD_IDLE);
    EXPECT_FALSE(worker->hasThread());
    EXPECT_FALSE(worker->stopThread());
    int before = worker->passes;
    EXPECT_TRUE(worker->startThread());
    EXPECT_TRUE(eventually([&] { return worker->passes > before; }));
    EXPECT_TRUE(worker->stopThread());
    release(worker);
}

TEST(ThreadLifecycle, WorkThatEndsByItselfStillNeedsAStop) {
    auto* worker = new Worker(Worker::Mode::ReturnAtOnce);
    EXPECT_TRUE(worker->startThread());
    EXPECT_TRUE(eventually([&] { return worker->threadState() == THREAD_FINISHED; }));
    EXPECT_FALSE(worker->startThread());
    EXPECT_TRUE(worker->stopThread());
    EXPECT_TRUE(worker->startThread());
    EXPECT_TRUE(worker->stopThread());
    release(worker);
}

TEST(ThreadLifecycle, OwnerIsHeldWhileTheWorkRuns) {
    std::atomic<int> destroyed{0};
    auto* worker = new Worker(Worker::Mode::LoopUntilStopped, &destroyed);
    worker->startThread();
    EXPECT_TRUE(eventually([&] { return worker->passes > 0; }));
    EXPECT_EQ(worker->countSeenInThread, 2);
    // The last outside reference goes while the work runs: the object lives on until stopped.
    BaseThread* asThread = worker;
    retain(worker);
    release(worker);
    EXPECT_EQ(destroyed, 0);
    asThread->stopThread();
    EXPECT_EQ(destroyed, 0);
    release(worker);
    EXPECT_EQ(destroyed, 1);
}

// The starter drops its reference as soon as startThread returns, racing the new thread: whichever
// reference goes last destroys the object, exactly once, on either thread.
TEST(ThreadLifecycle, StarterDroppingItsReferenceAtOnceIsSafe) {
    std::atomic<int> destroyed{0};
    for (int i = 0; i < 200; ++i) {
        auto* worker = new Worker(Worker::Mode::ReturnAtOnce, &destroyed);
        worker->startThread();
        release(worker);
    }
    EXPECT_TRUE(eventually([&] { return destroyed == 200; }));
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(5)));
}

TEST(ThreadLifecycle, StopFromTheThreadItselfReturnsAtOnce) {
    std::atomic<int> destroyed{0};
    auto* worker = new Worker(Worker::Mode::StopItself, &destroyed);
    worker->startThread();
    EXPECT_TRUE(eventually([&] { return worker->threadState() == THREAD_FINISHED; }));
    EXPECT_FALSE(worker->hasThread());  // handed over by its own stop, to be joined once it has ended
    EXPECT_FALSE(worker->stopThread());
    // The thread gives its reference back just after it reports THREAD_FINISHED: whichever release comes
    // last destroys the object, once.
    release(worker);
    EXPECT_TRUE(eventually([&] { return destroyed == 1; }));
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(5)));
    EXPECT_EQ(destroyed, 1);
}

// A thread that stopped itself still runs the rest of its work: the object cannot be started again until
// that work has returned, or the old thread's last state change could overwrite the new thread's start.
TEST(ThreadLifecycle, NoRestartUntilAThreadStoppedFromItselfHasReturned) {
    auto* worker = new Worker(Worker::Mode::StopItselfThenWait);
    worker->startThread();
    EXPECT_TRUE(eventually([&] { return worker->threadState() == THREAD_STOPPING; }));
    EXPECT_FALSE(worker->startThread());
    worker->released = true;
    EXPECT_TRUE(eventually([&] { return worker->threadState() == THREAD_FINISHED; }));
    worker->released = false;
    EXPECT_TRUE(worker->startThread());
    EXPECT_TRUE(eventually([&] { return worker->threadState() == THREAD_STOPPING; }));
    worker->released = true;
    release(worker);
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(5)));
}

TEST(ThreadExceptions, EscapingExceptionsAreAbsorbed) {
    for (auto mode : {Worker::Mode::ThrowIOException, Worker::Mode::ThrowOther}) {
        auto* worker = new Worker(mode);
        worker->startThread();
        EXPECT_TRUE(eventually([&] { return worker->threadState() == THREAD_FINISHED; }));
        EXPECT_TRUE(worker->stopThread());
        release(worker);
    }
}

TEST(ThreadIdentity, NameAndIdTableDuringTheWork) {
    auto* worker = new Worker(Worker::Mode::ReturnAtOnce);
    worker->startThread();
    worker->stopThread();
    // "%s (%p)": Linux keeps its first 15 bytes, Windows all of it.
    EXPECT_EQ(worker->nameSeen.substr(0, 15), "BaseObject (000") << worker->nameSeen;
    EXPECT_EQ(worker->idEntrySeen, static_cast<BaseThread*>(worker));
    release(worker);
}

TEST(ThreadIdentity, UnknownThreadsGetOnePlaceholderEach) {
    BaseThread* first = nullptr;
    BaseThread* second = nullptr;
    // The foreign thread removes its own entry before it ends: the OS may give its id to a later thread.
    std::thread other([&] {
        first = BaseThread::threadForId(std::this_thread::get_id(), nullptr);
        second = BaseThread::threadForId(std::this_thread::get_id(), nullptr);
        BaseThread::threadForId(std::thread::id(), nullptr);
    });
    other.join();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(dynamic_cast<DummyThread*>(first), nullptr);
    EXPECT_EQ(second, first);
    EXPECT_FALSE(first->hasThread());
}

TEST(ThreadRegistry, EveryThreadObjectIsRegisteredWhileItLives) {
    size_t before = sharedThreadManager()->registeredCount();
    auto* worker = new Worker(Worker::Mode::ReturnAtOnce);
    EXPECT_TRUE(sharedThreadManager()->isRegistered(worker));
    EXPECT_EQ(sharedThreadManager()->registeredCount(), before + 1);
    release(worker);
    EXPECT_EQ(sharedThreadManager()->registeredCount(), before);
}

TEST(ThreadRegistry, ConcurrentStartsAndStopsFromManyThreads) {
    std::vector<std::thread> controllers;
    for (int c = 0; c < 4; ++c) {
        controllers.emplace_back([] {
            for (int i = 0; i < 25; ++i) {
                auto* worker = new Worker(Worker::Mode::LoopUntilStopped);
                worker->startThread();
                worker->stopThread();
                release(worker);
            }
        });
    }
    for (auto& controller : controllers) controller.join();
}

TEST(ThreadReady, StarterWaitsForTheReadyReport) {
    class ReadyWorker : public BaseObject, public BaseThread {
    public:
        ReadyWorker() : BaseThread(true, true) {}
        ~ReadyWorker() override { stopThread(); }
        std::atomic<bool> prepared{false};

    protected:
        void threadMethod() override {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            prepared = true;
            setThreadState(THREAD_READY);
            while (running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    auto* worker = new ReadyWorker();
    worker->startThread();
    EXPECT_TRUE(worker->prepared);
    EXPECT_TRUE(worker->stopThread());  // the thread holds the owner, so the release alone would not stop it
    release(worker);
}
