// The announcement's own thread with stand-in backends: the order in which backends are tried, what the
// pilot's log is told, and a stop that never waits for a daemon that does not answer.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "Eventually.h"
#include "base/PilotLog.h"
#include "base/Utf8.h"
#include "discovery/DnsSdBackend.h"
#include "discovery/ServiceAdvertisement.h"
#include "platform/DnsSdLibrary.h"

namespace {

using Outcome = AdvertisingBackend::Outcome;

// A gate that a stand-in's publish waits at until the test opens it.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    bool reached = false;

    void waitHere() {
        std::unique_lock<std::mutex> lock(mutex);
        reached = true;
        opened.notify_all();
        opened.wait(lock, [this] { return open; });
    }
    void openIt() {
        std::lock_guard<std::mutex> guard(mutex);
        open = true;
        opened.notify_all();
    }
    bool wasReached() {
        std::lock_guard<std::mutex> guard(mutex);
        return reached;
    }
};

struct Record {
    std::atomic<int> publishes{0};
    std::atomic<int> withdrawals{0};
};

// A backend whose outcomes the test sets: publish gives the next of outcomes (the last one again once they
// run out); serve lasts until cancel, or until the test loses the registration or renames it.
class StandInBackend : public AdvertisingBackend {
public:
    StandInBackend(std::string label, std::vector<Outcome> outcomes, std::string detail, Record* record,
                   Gate* gate = nullptr)
        : label_(std::move(label)), outcomes_(std::move(outcomes)), detail_(std::move(detail)), record_(record),
          gate_(gate) {}
    StandInBackend(std::string label, Outcome outcome, std::string detail, Record* record, Gate* gate = nullptr)
        : StandInBackend(std::move(label), std::vector<Outcome>{outcome}, std::move(detail), record, gate) {}

    std::string name() const override { return label_; }
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override {
        int attempt = record_->publishes++;
        if (gate_) gate_->waitHere();
        *nameUsed = service.name + " #2";
        *detail = detail_;
        return outcomes_[std::min<size_t>(attempt, outcomes_.size() - 1)];
    }
    bool serve(Events& events, std::string* detail) override {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return cancelled_ || lost_ || !renameTo_.empty(); });
            if (cancelled_) return true;
            if (lost_) {
                lost_ = false;
                *detail = "the daemon went away";
                return false;
            }
            std::string name = std::move(renameTo_);
            renameTo_.clear();
            lock.unlock();
            events.renamed(name);
            lock.lock();
        }
    }
    void withdraw() override { ++record_->withdrawals; }
    void cancel() override { tell([this] { cancelled_ = true; }); }

    void lose() { tell([this] { lost_ = true; }); }
    void rename(const std::string& name) { tell([&] { renameTo_ = name; }); }

private:
    template <class Change>
    void tell(Change change) {
        std::lock_guard<std::mutex> guard(mutex_);
        change();
        changed_.notify_all();
    }

    std::string label_;
    std::vector<Outcome> outcomes_;
    std::string detail_;
    Record* record_;
    Gate* gate_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
    bool lost_ = false;
    std::string renameTo_;
};

ServiceDescription bridgeService() { return {"X-Plane", "_zephrane_gps._tcp", 21777, {{"txtvers", "1"}}}; }

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::string allLogLines() {
    std::string text;
    for (const std::string& line : PilotLog::take()) text += line + "\n";
    return text;
}

}  // namespace

TEST(ServiceAdvertisement, TheFirstBackendThatPublishesIsUsedAndNamedInThePilotsLog) {
    PilotLog::take();
    Record missing, working, unused;
    std::vector<std::unique_ptr<AdvertisingBackend>> backends;
    backends.push_back(std::make_unique<StandInBackend>("first", Outcome::Unavailable, "first.so is missing", &missing));
    backends.push_back(std::make_unique<StandInBackend>("second", Outcome::Published, "", &working));
    backends.push_back(std::make_unique<StandInBackend>("third", Outcome::Published, "", &unused));
    auto* advertisement = new ServiceAdvertisement(bridgeService(), std::move(backends));
    ASSERT_TRUE(advertisement->start());
    EXPECT_EQ(advertisement->waitForOutcome(std::chrono::seconds(10)), ServiceAdvertisement::State::Published);
    EXPECT_EQ(advertisement->publishedName(), "X-Plane #2");
    EXPECT_EQ(unused.publishes, 0);
    std::string log = allLogLines();
    EXPECT_NE(log.find("apps find this simulator as \"X-Plane #2\" on the network: another computer there is "
                       "called \"X-Plane\" already"), std::string::npos) << log;
    EXPECT_NE(log.find("(announced through second)\n"), std::string::npos) << log;

    retain(advertisement);
    advertisement->stop();
    release(advertisement);  // the owner lets go; the thread withdraws and ends by itself
    EXPECT_TRUE(eventually([&] { return advertisement->state() == ServiceAdvertisement::State::Stopped; }));
    EXPECT_EQ(working.withdrawals, 1);
    EXPECT_EQ(missing.withdrawals, 0);
    release(advertisement);
}

// A daemon that is not there at the start is tried again until it is; the pilot hears of it once, then of
// the success.
TEST(ServiceAdvertisement, WhenNoBackendCanItSaysWhyAndWhatToDoThenTriesAgainUntilOneCan) {
    PilotLog::take();
    Record first, second;
    std::vector<std::unique_ptr<AdvertisingBackend>> backends;
    backends.push_back(std::make_unique<StandInBackend>("a", Outcome::Unavailable, "a.so is not installed", &first));
    backends.push_back(std::make_unique<StandInBackend>(
        "b", std::vector<Outcome>{Outcome::Failed, Outcome::Failed, Outcome::Published}, "not running", &second));
    auto* advertisement = new ServiceAdvertisement(bridgeService(), std::move(backends));
    ASSERT_TRUE(advertisement->start());
    EXPECT_EQ(advertisement->waitForOutcome(std::chrono::seconds(10)), ServiceAdvertisement::State::NotPublished);
    EXPECT_EQ(advertisement->currentName(), "X-Plane");
    EXPECT_TRUE(advertisement->waitForState(ServiceAdvertisement::State::Published, std::chrono::seconds(20)));
    EXPECT_EQ(second.publishes, 3);
    std::string log = allLogLines();
    EXPECT_EQ(occurrences(log, "apps cannot find this simulator as \"X-Plane\" by themselves: "), 1u) << log;
    EXPECT_NE(log.find(std::string(dnsSdServiceWords()) + " does not answer. To fix it, " + dnsSdStartHint()),
              std::string::npos) << log;
    EXPECT_NE(log.find("Details: a: a.so is not installed; b: not running\n"), std::string::npos) << log;
    EXPECT_NE(log.find("apps find this simulator as \"X-Plane #2\""), std::string::npos) << log;
    advertisement->stop();
    release(advertisement);
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(10)));
}

// A registration lost with its daemon is said lost, withdrawn and made again; a rename the network forces
// is followed and told.
TEST(ServiceAdvertisement, ALostRegistrationIsMadeAgainAndARenameIsFollowed) {
    PilotLog::take();
    Record record;
    auto owned = std::make_unique<StandInBackend>("daemon", Outcome::Published, "", &record);
    StandInBackend* backend = owned.get();
    std::vector<std::unique_ptr<AdvertisingBackend>> backends;
    backends.push_back(std::move(owned));
    auto* advertisement = new ServiceAdvertisement(bridgeService(), std::move(backends));
    ASSERT_TRUE(advertisement->start());
    ASSERT_EQ(advertisement->waitForOutcome(std::chrono::seconds(10)), ServiceAdvertisement::State::Published);

    backend->rename("X-Plane #3");
    EXPECT_TRUE(eventually([&] { return advertisement->currentName() == "X-Plane #3"; }));
    backend->lose();
    EXPECT_TRUE(eventually([&] { return record.publishes == 2; }, std::chrono::seconds(10)));
    EXPECT_TRUE(advertisement->waitForState(ServiceAdvertisement::State::Published, std::chrono::seconds(10)));
    EXPECT_EQ(record.withdrawals, 1);
    std::string log;
    EXPECT_TRUE(eventually([&] {
        log += allLogLines();
        return log.find("apps find this simulator again as \"X-Plane #2\"") != std::string::npos;
    })) << log;
    EXPECT_NE(log.find("apps find this simulator as \"X-Plane #3\" from now on: another computer on the network "
                       "took the name \"X-Plane #2\""), std::string::npos) << log;
    EXPECT_NE(log.find("apps can no longer find this simulator as \"X-Plane #3\" by themselves: "), std::string::npos)
        << log;
    EXPECT_NE(log.find("Details: daemon: the daemon went away"), std::string::npos) << log;
    advertisement->stop();
    release(advertisement);
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(10)));
    EXPECT_EQ(record.withdrawals, 2);
}

// A daemon that holds the registration (frozen, overloaded) holds only the announcement's thread: stop
// returns while the backend still waits, and once the daemon answers the service is withdrawn at once,
// without a word in the pilot's log about a registration the stop overtook.
TEST(ServiceAdvertisement, StopDoesNotWaitForABackendThatWaitsForItsDaemon) {
    PilotLog::take();
    Record record;
    Gate daemon;
    std::vector<std::unique_ptr<AdvertisingBackend>> backends;
    backends.push_back(std::make_unique<StandInBackend>("slow", Outcome::Published, "", &record, &daemon));
    auto* advertisement = new ServiceAdvertisement(bridgeService(), std::move(backends));
    retain(advertisement);
    ASSERT_TRUE(advertisement->start());
    ASSERT_TRUE(eventually([&] { return daemon.wasReached(); }));
    advertisement->stop();
    release(advertisement);
    EXPECT_EQ(advertisement->state(), ServiceAdvertisement::State::Registering);  // still held by the daemon

    daemon.openIt();
    EXPECT_TRUE(eventually([&] { return advertisement->state() == ServiceAdvertisement::State::Stopped; }));
    EXPECT_EQ(record.withdrawals, 1);
    EXPECT_EQ(allLogLines(), "");
    release(advertisement);
}

// Numbered names stay within a service name's 63 bytes, cut between characters.
TEST(DnsSdNames, NumberedNamesFitAndStayWellFormed) {
    EXPECT_EQ(DnsSdBackend::numberedName("X-Plane", 1), "X-Plane");
    EXPECT_EQ(DnsSdBackend::numberedName("X-Plane", 2), "X-Plane (2)");
    std::string accents;
    for (int i = 0; i < 31; ++i) accents += "\xc3\xa9";  // 62 bytes
    std::string eleventh = DnsSdBackend::numberedName(accents + "x", 11);
    EXPECT_LE(eleventh.size(), 63u);
    EXPECT_TRUE(isWellFormedUtf8(eleventh)) << eleventh;
    EXPECT_EQ(eleventh.substr(eleventh.size() - 5), " (11)");
}
