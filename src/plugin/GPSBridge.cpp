#include "plugin/GPSBridge.h"

#include <array>

#include "base/AutoreleasePool.h"
#include "base/BaseArrayEnumerator.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "base/PilotLog.h"
#include "base/SharedObjectsLock.h"
#include "distant/BaseMD5.h"
#include "distant/BridgeCredential.h"
#include "distant/DistantObjectsCenter.h"
#include "distant/LoginManager.h"
#include "io/BaseBuffer.h"
#include "io/IOSocketTCP.h"
#include "plugin/DebugManager.h"
#include "plugin/EncodedReport.h"
#include "plugin/PositionReport.h"
#include "serialization/BaseSerializer.h"

namespace {

constexpr const char* CommandKey = "cmd_id";
constexpr int32_t PositionRequestCommand = 1;
constexpr const char* UsualPositionRequestCommand = "1";
constexpr const char* DebugFilter = "debug";
constexpr StringLiteral ServiceType = "zephrane_gps"_lit;
constexpr StringLiteral AllowedUserAgent = "Quillory Zephrane App"_lit;
constexpr int32_t BridgeLoginMode = LoginCheckUserAgent | LoginCheckPassword;
SharedInstance<const std::string> usualRequestBytes;

}  // namespace

GPSBridge::GPSBridge(uint16_t port, const BridgeSettings& settings)
    : settings_(settings), name_(settings.serviceName.empty() ? DefaultServiceName : settings.serviceName),
      debugManager_(new DebugManager(nullptr, nullptr, DebugFilter)) {
    snapshot_.start();
    sharedLoginManager(BridgeLoginMode);
    auto scope = settings_.acceptAppsFromAnywhere ? DistantObjectsCenter::PeerScope::Anywhere
                                                 : DistantObjectsCenter::PeerScope::LocalNetworks;
    AutoreleasePool pool;
    auto* serviceName = createAutoreleased<BaseString>(name_.c_str());
    serverCenter_ = retain(DistantObjectsCenter::createListeningCenter(port, serviceName, constantString(ServiceType),
                                                                       scope));
    clients_ = new BaseTypedArray<DistantObjectsCenter>();
    finished_ = new BaseTypedArray<DistantObjectsCenter>();
    setLoginRules();
    serverCenter_->setDeviceName(serviceName);
    serverCenter_->setDelegate(this);
}

GPSBridge::~GPSBridge() {
    teardown();
    release(debugManager_);
}

// The digest is computed afresh at each start; the lists are emptied and refilled.
void GPSBridge::setLoginRules() {
    BaseString* credential = passwordCredential();
    LoginManager* logins = sharedLoginManager(BridgeLoginMode);
    logins->removeAllCredentials();
    logins->removeAllUserAgents();
    logins->addAllowedUserAgent(constantString(AllowedUserAgent));
    logins->addCredential(nullptr, credential);
}

BaseString* GPSBridge::passwordCredential() { return md5HexString(constantString(BridgePassPhrase)); }

void GPSBridge::teardown() {
    if (serverCenter_) {
        serverCenter_->disconnect();
        release(serverCenter_);
        serverCenter_ = nullptr;
    }
    BaseTypedArray<DistantObjectsCenter>* connections = nullptr;
    BaseTypedArray<DistantObjectsCenter>* finished = nullptr;
    {
        MutexLock guard(clientsMutex_);
        connections = clients_;
        finished = finished_;
        clients_ = finished_ = nullptr;
    }
    // The delegate goes first, so that no connection reports its close to a bridge that is stopping.
    // Each disconnect waits for the connection's receive thread.
    for (BaseObject* element : BaseArrayEnumerator(connections)) {
        auto* connection = static_cast<DistantObjectsCenter*>(element);
        connection->setDelegate(nullptr);
        connection->disconnect();
    }
    for (BaseObject* element : BaseArrayEnumerator(finished)) static_cast<DistantObjectsCenter*>(element)->disconnect();
    release(connections);
    release(finished);
    snapshot_.stop();
}

void GPSBridge::joinFinished() {
    BaseTypedArray<DistantObjectsCenter>* finished = nullptr;
    {
        MutexLock guard(clientsMutex_);
        if (!finished_ || finished_->count() == 0) return;
        finished = finished_;
        finished_ = new BaseTypedArray<DistantObjectsCenter>();
    }
    for (BaseObject* element : BaseArrayEnumerator(finished)) static_cast<DistantObjectsCenter*>(element)->disconnect();
    release(finished);
}

uint16_t GPSBridge::listeningPort() { return serverCenter_ ? serverCenter_->stream()->boundPort() : 0; }

bool GPSBridge::isListening() { return serverCenter_ && serverCenter_->stream()->isListening(); }

std::string GPSBridge::listenError() { return serverCenter_ ? serverCenter_->stream()->listenError() : "stopped"; }

bool GPSBridge::listensOnBothFamilies() { return serverCenter_ && serverCenter_->stream()->listensOnBothFamilies(); }

std::string GPSBridge::addressFamilies() { return listensOnBothFamilies() ? "IPv4 and IPv6" : "IPv4 only"; }

void GPSBridge::reportClient(DistantObjectsCenter* connection, const std::string& what) {
    PilotLog::writeForPeer(std::string("app ") + connection->peerName()->chars() + " " + what);
}

std::string GPSBridge::endText(DistantObjectsCenter* connection) {
    std::string silence = std::to_string(connection->silenceLimitSeconds()) + " s";
    switch (connection->stream()->endReason()) {
        case IOSocketAbstract::EndReason::PeerReset: return "left: connection reset by the app";
        case IOSocketAbstract::EndReason::PeerStoppedReading:
            return "stopped reading its reports for " + silence + ", dropped";
        case IOSocketAbstract::EndReason::PeerStoppedAnswering:
            return "stopped answering for " + silence + " (gone from the network?), dropped";
        case IOSocketAbstract::EndReason::Unreadable: return "sent something that is not a Zephrane request, dropped";
        case IOSocketAbstract::EndReason::Failed: return "left: the connection failed";
        default: return "left";
    }
}

std::vector<GPSBridge::ClientStatus> GPSBridge::clientStatuses() {
    AutoreleasePool pool;
    std::vector<ClientStatus> statuses;
    MutexLock guard(clientsMutex_);
    for (BaseObject* element : BaseArrayEnumerator(clients_)) {
        auto* connection = static_cast<DistantObjectsCenter*>(element);
        statuses.push_back({connection->peerName()->chars(), connection->createdAt(), connection->encodedMessagesSent()});
    }
    return statuses;
}

std::string GPSBridge::currentName() {
    std::string advertised = serverCenter_ ? serverCenter_->stream()->advertisedName() : std::string();
    return advertised.empty() ? name_ : advertised;
}

std::optional<std::string> GPSBridge::advertisementOutcome() {
    if (!serverCenter_) return std::nullopt;
    return serverCenter_->stream()->serviceOutcome();
}

uint32_t GPSBridge::clientCount() {
    MutexLock guard(clientsMutex_);
    return clients_ ? clients_->count() : 0;
}

bool GPSBridge::isPositionRequest(const BaseObject* object) {
    if (!hasClassName(object, "BaseDictionary")) return false;
    BaseObject* command = BaseDictionary::objectForCStringKey(static_cast<const BaseDictionary*>(object), CommandKey);
    if (!hasClassName(command, "BaseString")) return false;
    return static_cast<const BaseString*>(command)->intValue() == PositionRequestCommand;
}

// Encoded once, by the serializer itself, so that the bytes are exactly those a client's serializer sends.
// Connection threads compare against them while the bridge runs; they are released with the module's other
// shared objects.
std::string_view GPSBridge::usualPositionRequest() {
    return *usualRequestBytes.get([] {
        AutoreleasePool pool;
        auto* request = createAutoreleased<BaseDictionary>();
        request->setStringForCStringKey(UsualPositionRequestCommand, CommandKey);
        auto* buffer = createAutoreleased<BaseBuffer>();
        createAutoreleased<BaseSerializer>(buffer)->writeObject(request);
        return new std::string(buffer->bytes(), buffer->length());
    });
}

std::string_view GPSBridge::frequentMessage() const { return usualPositionRequest(); }

void GPSBridge::didReceiveFrequentMessage(DistantObjectsCenter* connection) { sendPositionReport(connection); }

BaseDictionary* GPSBridge::buildPositionReport() const { return ::buildPositionReport(snapshot_.latest()); }

EncodedReport* GPSBridge::encodedPositionReport() { return reportCache_.latest(); }

void GPSBridge::sendPositionReport(DistantObjectsCenter* connection) {
    EncodedReport* report = reportCache_.latest();
    if (report->sendable()) connection->sendEncoded(report->bytes(), report->length());
    release(report);
}

void GPSBridge::didReceiveObject(BaseObject* object, DistantObjectsCenter* connection) {
    if (isPositionRequest(object)) sendPositionReport(connection);
}

bool GPSBridge::shouldAcceptConnection(DistantObjectsCenter*) {
    MutexLock guard(clientsMutex_);
    return clients_ && clients_->count() <= MostClientsBeforeAnother;
}

// The connection joins the list before its receive thread starts, so that one closing at once is found
// there and removed, and never holds a place it no longer uses. A connection that had already ended gets no
// receive thread, and so no close call: it leaves the list here. The listening center admits one login at
// a time, so room found by shouldAcceptConnection is still there when the connection is added; the list can
// only shrink meanwhile, or go away when teardown takes it.
void GPSBridge::didAcceptConnection(DistantObjectsCenter* connection) {
    joinFinished();
    bool kept = shouldAcceptConnection(connection);
    uint32_t count = 0;
    if (kept) {
        MutexLock guard(clientsMutex_);
        kept = clients_ != nullptr;
        if (kept) clients_->addObject(connection);
        if (kept) count = clients_->count();
    }
    if (!kept) {
        connection->disconnect();
        return;
    }
    reportClient(connection, "logged in (" + std::to_string(count) + " of " + std::to_string(MostClients) + ")");
    if (connection->setDelegate(this)) return;  // the receive thread runs
    connection->setDelegate(nullptr);
    if (forget(connection)) reportClient(connection, endText(connection));
    connection->disconnect();
}

void GPSBridge::didRefusePeer(const char* address, int32_t code) {
    PilotLog::writeForPeer(std::string("app ") + address + " refused: " + refusalText(code));
    refusals_.add(address, code);
}

bool GPSBridge::forget(DistantObjectsCenter* connection) {
    MutexLock guard(clientsMutex_);
    uint32_t index = clients_ ? clients_->indexOfObjectIdenticalTo(connection) : BaseArray::NotFound;
    if (index == BaseArray::NotFound) return false;
    clients_->removeObjectAtIndex(index);
    return true;
}

// On the connection's own receive thread, which ends right after: the connection frees its place at once
// and waits in the finished list to be joined.
void GPSBridge::connectionDidClose(DistantObjectsCenter* connection) {
    {
        MutexLock guard(clientsMutex_);
        if (!clients_) return;
        uint32_t index = clients_->indexOfObjectIdenticalTo(connection);
        if (index == BaseArray::NotFound) return;
        finished_->addObject(connection);
        clients_->removeObjectAtIndex(index);
    }
    reportClient(connection, endText(connection));
    connection->setDelegate(nullptr);
    connection->stream()->close();
}
