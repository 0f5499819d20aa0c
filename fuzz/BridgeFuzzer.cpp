// Plays arbitrary bytes as a client against a bridge running in this process (port 0, loopback), with
// simhost's XPLM library as the simulator and this thread as its main thread. The bridge is started once
// and must keep serving: after every input a well-behaved client logs in and asks for a position, and the
// process aborts when it cannot.
//
// Input format: a sequence of parts, each one length byte followed by that many bytes (a last part cut
// short by the end of the input keeps what is there). The first part is the login part, the rest are
// request parts; at most MostParts are played. All parts go over one TCP connection, one send each, and
// after each send whatever the bridge answers is read for a short while. Then the connection is closed:
// the bridge's 5-second login deadline is never waited out.
//
// Received files go to a scratch folder of this process ("<temp>/zephrane-bridge-fuzz-<n>/"), which
// becomes the process's temporary folder before the bridge starts and is emptied now and then.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "HostileConnection.h"
#include "ServingProbe.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseString.h"
#include "file/BaseFile.h"
#include "file/PathOperations.h"
#include "plugin/GPSBridge.h"
#include "serialization/BaseSerializer.h"
#include "thread/BaseThread.h"
#include "Simulator.h"

namespace {

constexpr size_t MostParts = 16;
constexpr uint64_t InputsBetweenCleanups = 256;
constexpr std::chrono::seconds ThreadsEndLimit{10};

// The bridge and its scratch folder, for the life of the process; torn down on this (the main) thread at
// exit.
class FuzzedBridge {
public:
    FuzzedBridge() {
        // Keep the bridge off the machine's DNS-SD: there is no bus to reach.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zephrane-fuzz-bus", 1);
        AutoreleasePool pool;
        std::random_device random;
        scratch_ = BaseSerializer::temporaryDirectoryPath()->chars() +
                   ("zephrane-bridge-fuzz-" + std::to_string(random()) + "/");
        if (!createDirectory(createAutoreleased<BaseString>(scratch_.c_str()), true)) abort();
        setenv("TMPDIR", scratch_.c_str(), 1);
        simulator().threadGuard.bindToCurrentThread();
        simulator().model.freeze();
        bridge_ = new GPSBridge(0);
        port_ = bridge_->listeningPort();
        if (port_ == 0) abort();
    }
    // As XPluginStop does: the threads that ended by themselves are joined too, so that LeakSanitizer,
    // which runs after this, finds no thread of ours at work.
    ~FuzzedBridge() {
        bridge_->teardown();
        release(bridge_);
        BaseThread::waitForAllThreadsToEnd(ThreadsEndLimit);
        AutoreleasePool pool;
        removeItemAtPath(createAutoreleased<BaseString>(scratch_.c_str()), FileRemoveFlag::Recursive);
    }

    uint16_t port() const { return port_; }

    // Received files pile up in the scratch folder: empty it.
    void cleanUp() const {
        AutoreleasePool pool;
        auto* folder = createAutoreleased<BaseString>(scratch_.c_str());
        removeItemAtPath(folder, FileRemoveFlag::Recursive);
        createDirectory(folder, true);
    }

private:
    std::string scratch_;
    GPSBridge* bridge_ = nullptr;
    uint16_t port_ = 0;
};

FuzzedBridge& fuzzedBridge() {
    static FuzzedBridge bridge;
    return bridge;
}

void playParts(uint16_t port, const uint8_t* data, size_t size) {
    HostileConnection connection(port);
    if (!connection.isOpen()) return;
    size_t offset = 0;
    for (size_t part = 0; part < MostParts && offset < size; ++part) {
        size_t length = std::min<size_t>(data[offset], size - offset - 1);
        ++offset;
        if (!connection.sendAll(data + offset, length)) return;
        offset += length;
        connection.drainReplies();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzedBridge();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static uint64_t inputs = 0;
    FuzzedBridge& bridge = fuzzedBridge();
    playParts(bridge.port(), data, size);
    std::string failure = checkBridgeServes(bridge.port());
    if (!failure.empty()) {
        fprintf(stderr, "the bridge stopped serving: %s\n", failure.c_str());
        abort();
    }
    if (++inputs % InputsBetweenCleanups == 0) bridge.cleanUp();
    return 0;
}
