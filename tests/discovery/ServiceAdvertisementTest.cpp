// The announcement's own thread with stand-in backends: the order in which backends are tried, what the
// pilot's log is told, and a stop that never waits for a daemon that does not answer.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "Eventually.h"
#include "base/PilotLog.h"
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

class StandInBackend : public AdvertisingBackend {
public:
    StandInBackend(std::string label, Outcome outcome, std::string detail, Record* record, Gate* gate = nullptr)
        : label_(std::move(label)), outcome_(outcome), detail_(std::move(detail)), record_(record), gate_(gate) {}

    std::string name() const override { return label_; }
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override {
        ++record_->publishes;
        if (gate_) gate_->waitHere();
        *nameUsed = service.name + " #2";
        *detail = detail_;
        return outcome_;
    }
    void withdraw() override { ++record_->withdrawals; }

private:
    std::string label_;
    Outcome outcome_;
    std::string detail_;
    Record* record_;
    Gate* gate_;
};

ServiceDescription bridgeService() { return {"X-Plane", "_zephrane_gps._tcp", 21777, {{"txtvers", "1"}}}; }

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
    EXPECT_NE(allLogLines().find("advertised as \"X-Plane #2\" through second\n"), std::string::npos);

    retain(advertisement);
    advertisement->stop();
    release(advertisement);  // the owner lets go; the thread withdraws and ends by itself
    EXPECT_TRUE(eventually([&] { return advertisement->state() == ServiceAdvertisement::State::Stopped; }));
    EXPECT_EQ(working.withdrawals, 1);
    EXPECT_EQ(missing.withdrawals, 0);
    release(advertisement);
}

TEST(ServiceAdvertisement, WhenNoBackendCanTheReasonsAndWhatToInstallAreTold) {
    PilotLog::take();
    Record first, second;
    std::vector<std::unique_ptr<AdvertisingBackend>> backends;
    backends.push_back(std::make_unique<StandInBackend>("a", Outcome::Unavailable, "a.so is not installed", &first));
    backends.push_back(std::make_unique<StandInBackend>("b", Outcome::Failed, "the daemon is not running", &second));
    auto* advertisement = new ServiceAdvertisement(bridgeService(), std::move(backends));
    ASSERT_TRUE(advertisement->start());
    EXPECT_EQ(advertisement->waitForOutcome(std::chrono::seconds(10)), ServiceAdvertisement::State::NotPublished);
    std::string log = allLogLines();
    EXPECT_NE(log.find("not advertised"), std::string::npos) << log;
    EXPECT_NE(log.find("a.so is not installed; the daemon is not running"), std::string::npos) << log;
    EXPECT_NE(log.find(dnsSdInstallHint()), std::string::npos) << log;
    advertisement->stop();
    release(advertisement);
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(10)));
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
