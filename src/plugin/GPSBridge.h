// GPSBridge: the service object that exists while the bridge runs. Its construction starts the network
// side: a listening center on TCP port 21777, advertised by DNS-SD as "X-Plane", with the login rules set
// in the shared LoginManager. It is the delegate of the listening center and of every client connection it
// adopts: it admits up to 17 clients, keeps the list of live connections, answers position requests on
// each connection's own thread and forgets a client when its connection ends. BridgeSwitch creates it on
// the start command and tears it down, then releases it, on stop.
//
// Threads: construction and teardown run on the simulator's main thread; admission on the login threads,
// one login at a time; requests and closes on each connection's receive thread. A connection whose client
// left moves from the client list to the finished list and is joined later (at the next admission, or by
// teardown), so that teardown returns only once every receive thread has ended. The lock of both lists is
// never held across a disconnect. The bridge owns the listening center, both lists (each holding a reference to its
// connections), the DebugManager, the position snapshot and the cache of its encoded report.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "distant/DistantObjectDelegate.h"
#include "platform/Mutex.h"
#include "plugin/PositionSnapshot.h"
#include "plugin/RecentRefusals.h"
#include "plugin/ReportCache.h"

class BaseDictionary;
class DebugManager;
class EncodedReport;
template <class T>
class BaseTypedArray;

// What the pilot may choose about the service.
struct BridgeSettings {
    // Serve apps at any address, not only those on this computer's networks.
    bool acceptAppsFromAnywhere = false;
    // The name apps see (DNS-SD and the login reply); empty for the default.
    std::string serviceName;
};

class GPSBridge : public DistantObjectDelegate {
public:
    static constexpr uint16_t BridgePort = 21777;
    static constexpr const char* DefaultServiceName = "X-Plane";
    // A new connection is admitted while at most this many are connected: 17 clients at once.
    static constexpr uint32_t MostClientsBeforeAnother = 16;

    // Main thread: prints the DebugManager lines, takes the first snapshot and starts the service. port is
    // the bridge's port; tests pass 0 for an ephemeral one.
    explicit GPSBridge(uint16_t port = BridgePort, const BridgeSettings& settings = BridgeSettings());
    ~GPSBridge() override;

    // Main thread: closes the listening socket and every client, and returns once every receive thread has
    // ended. The bridge is released right after.
    void teardown() EXCLUDES(clientsMutex_);

    // True exactly for a "BaseDictionary" whose "cmd_id" is a string that reads as 1 with "%d".
    static bool isPositionRequest(const BaseObject* object);
    // The record bytes of the request clients send, {"cmd_id": "1"}: connections recognise it by its bytes
    // and answer it without decoding it. Any other request is decoded and judged by isPositionRequest.
    static std::string_view usualPositionRequest();
    // Any thread with an open pool: a new autoreleased dictionary of the ten values of the latest snapshot.
    // The encoded report is made from it, and must stay byte for byte what it encodes to.
    BaseDictionary* buildPositionReport() const;
    // Any thread: the latest snapshot's report as record bytes, encoded at most once per generation, with a
    // reference the caller releases.
    EncodedReport* encodedPositionReport();
    // Sends the latest report, or nothing when its values cannot travel in the record form.
    void sendPositionReport(DistantObjectsCenter* connection);
    // The password credential clients send: the MD5 digest of the bridge's pass-phrase in hexadecimal.
    static BaseString* passwordCredential();

    void didReceiveObject(BaseObject* object, DistantObjectsCenter* connection) override;
    std::string_view frequentMessage() const override;
    void didReceiveFrequentMessage(DistantObjectsCenter* connection) override;
    bool shouldAcceptConnection(DistantObjectsCenter* connection) override EXCLUDES(clientsMutex_);
    void didAcceptConnection(DistantObjectsCenter* connection) override EXCLUDES(clientsMutex_);
    void didRefusePeer(const char* address, int32_t code) override;
    void connectionDidClose(DistantObjectsCenter* connection) override EXCLUDES(clientsMutex_);

    // An app logged in, as the status window shows it.
    struct ClientStatus {
        std::string address;
        std::chrono::system_clock::time_point since;
        uint64_t reportsSent;
    };
    // Any thread: the apps logged in now, in order of arrival.
    std::vector<ClientStatus> clientStatuses() EXCLUDES(clientsMutex_);
    // Any thread: the last few logins refused, oldest first.
    std::vector<RecentRefusals::Refusal> recentRefusals() const { return refusals_.latest(); }
    // Main thread: what came of the DNS-SD announcement, as the pilot's log says it; empty while it is under
    // way, nothing when nothing is announced.
    std::optional<std::string> advertisementOutcome();

    // The port the bridge listens on (the ephemeral one when constructed with 0), 0 after teardown.
    uint16_t listeningPort();
    // Whether construction could listen; when not, why, in the system's words.
    bool isListening();
    std::string listenError();
    // "IPv4 and IPv6", or "IPv4 only".
    std::string addressFamilies();
    // Whether IPv6 apps can reach the bridge as well as IPv4 ones.
    bool listensOnBothFamilies();
    uint32_t clientCount() EXCLUDES(clientsMutex_);
    bool acceptsAppsFromAnywhere() const { return settings_.acceptAppsFromAnywhere; }
    // The name the pilot chose for the bridge, or the default.
    const std::string& chosenName() const { return name_; }
    // The name the network knows the bridge by now: the chosen one, or the one it took when another computer
    // held that.
    std::string currentName();

    // The most clients at once, as the pilot's log counts them.
    static constexpr uint32_t MostClients = MostClientsBeforeAnother + 1;

private:
    void setLoginRules();
    static void reportClient(DistantObjectsCenter* connection, const std::string& what);
    // Why a connection ended, in the words of the pilot's log line that follows "app <address> ".
    static std::string endText(DistantObjectsCenter* connection);
    // Takes a connection off the client list, when it is there; false when it was not.
    bool forget(DistantObjectsCenter* connection) EXCLUDES(clientsMutex_);
    // Joins and lets go of the connections whose clients left.
    void joinFinished() EXCLUDES(clientsMutex_);

    const BridgeSettings settings_;
    const std::string name_;
    DistantObjectsCenter* serverCenter_ = nullptr;
    Mutex clientsMutex_;
    BaseTypedArray<DistantObjectsCenter>* clients_ GUARDED_BY(clientsMutex_) = nullptr;
    BaseTypedArray<DistantObjectsCenter>* finished_ GUARDED_BY(clientsMutex_) = nullptr;
    DebugManager* debugManager_;
    PositionSnapshot snapshot_;
    ReportCache reportCache_{snapshot_};
    RecentRefusals refusals_;
};
