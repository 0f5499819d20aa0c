#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/NotificationCenter.h"
#include "base/WeakRefObject.h"

namespace {

class Listener : public BaseObject {
public:
    Listener(std::vector<std::string>* log, std::string tag) : log_(log), tag_(std::move(tag)) {}
    int32_t observeNotification(BaseString* name, BaseObject*, BaseObject*) override {
        log_->push_back(tag_ + ":" + name->chars());
        return 0;
    }

private:
    std::vector<std::string>* log_;
    std::string tag_;
};

// Runs an action on every notification it receives.
class Acting : public BaseObject {
public:
    explicit Acting(std::function<void()> action) : action_(std::move(action)) {}
    int32_t observeNotification(BaseString*, BaseObject*, BaseObject*) override {
        action_();
        return 0;
    }

private:
    std::function<void()> action_;
};

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

}  // namespace

TEST(NotificationCenter, DeliversByNameThenToTheEmptyName) {
    AutoreleasePool pool;
    std::vector<std::string> log;
    NotificationCenter center;
    Listener specific(&log, "a"), everything(&log, "all"), other(&log, "b");
    center.addObserver(&everything, str(""));
    center.addObserver(&specific, str("ping"));
    center.addObserver(&other, str("pong"));
    center.postNotification(str("ping"), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a:ping", "all:ping"}));
    log.clear();
    center.postNotification(str("nobody"), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"all:nobody"});
    log.clear();
    center.postNotification(nullptr, nullptr, nullptr, nullptr);
    center.postNotification(str(""), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"all:"});  // once, not twice
}

TEST(NotificationCenter, TwoNamesRegisteringTwiceAndRemoving) {
    AutoreleasePool pool;
    std::vector<std::string> log;
    NotificationCenter center;
    Listener listener(&log, "x");
    center.addObserver(&listener, str("one"));
    center.addObserver(&listener, str("one"));
    center.addObserver(&listener, str("two"));
    center.postNotification(str("one"), nullptr, nullptr, nullptr);
    center.postNotification(str("two"), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"x:one", "x:two"}));
    log.clear();
    center.removeObserver(&listener, str("one"));
    center.postNotification(str("one"), nullptr, nullptr, nullptr);
    center.postNotification(str("two"), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"x:two"});
    EXPECT_EQ(listener.retainCount(), 1);  // registering never kept the observer
}

TEST(NotificationCenter, ObserverMayUnregisterFromItsCallback) {
    AutoreleasePool pool;
    std::vector<std::string> log;
    NotificationCenter center;

    class OneShot : public BaseObject {
    public:
        OneShot(NotificationCenter* center, std::vector<std::string>* log) : center_(center), log_(log) {}
        int32_t observeNotification(BaseString* name, BaseObject*, BaseObject*) override {
            log_->push_back("once");
            center_->removeObserver(this, name);
            return 0;
        }

    private:
        NotificationCenter* center_;
        std::vector<std::string>* log_;
    } oneShot(&center, &log);
    Listener after(&log, "after");
    center.addObserver(&oneShot, str("n"));
    center.addObserver(&after, str("n"));
    center.postNotification(str("n"), nullptr, nullptr, nullptr);
    center.postNotification(str("n"), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"once", "after:n", "after:n"}));
}

// The other thread waits for the callback to return; were it to hold the name table's lock while it
// waits, the callback's own registration would wait for it in turn and neither would finish.
TEST(NotificationCenter, CallbackRegistersWhileAnotherThreadRegistersUnderTheSameName) {
    AutoreleasePool pool;
    std::vector<std::string> log;
    NotificationCenter center;
    Listener late(&log, "late"), fromOtherThread(&log, "other");
    std::thread other;
    std::atomic<bool> otherRegistering{false};
    bool first = true;
    Acting registrar([&] {
        if (!first) return;
        first = false;
        other = std::thread([&] {
            AutoreleasePool threadPool;
            otherRegistering = true;
            center.addObserver(&fromOtherThread, str("n"));
        });
        while (!otherRegistering) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // lets it reach the list's lock
        center.addObserver(&late, str("n"));
    });
    center.addObserver(&registrar, str("n"));
    center.postNotification(str("n"), nullptr, nullptr, nullptr);
    other.join();
    EXPECT_TRUE(log.empty());  // neither was registered when the notification went out
    center.postNotification(str("n"), nullptr, nullptr, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"late:n", "other:n"}));
}

TEST(NotificationCenter, SharedCenterIsOneObject) {
    EXPECT_EQ(sharedNotificationCenter(), sharedNotificationCenter());
}

TEST(WeakReference, ComparesAsItsTargetWithoutOwningIt) {
    AutoreleasePool pool;
    BaseString* target = str("t");
    auto* reference = createAutoreleased<WeakRefObject>(target);
    EXPECT_EQ(target->retainCount(), 1);
    EXPECT_TRUE(reference->isEqual(str("t")));
    EXPECT_EQ(reference->hash(), target->hash());
    EXPECT_TRUE(reference->isEqual(createAutoreleased<WeakRefObject>(target)));
    EXPECT_STREQ(reference->className(), "BaseObject");
}
