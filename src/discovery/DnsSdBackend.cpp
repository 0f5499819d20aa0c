#include "discovery/DnsSdBackend.h"

#include "discovery/MDnsWrapper.h"
#include "platform/DnsSdLibrary.h"
#include "platform/Socket.h"

namespace {

constexpr uint16_t TxtBufferBytes = 512;
constexpr size_t LongestTxtValue = 255;  // a TXT value's length is one byte

// The library's error codes that a pilot can act on, in words; others by number.
std::string errorText(DNSServiceErrorType error) {
    switch (error) {
    case -65537: return "unknown error (is the DNS-SD daemon running?)";
    case -65548: return "the name is taken";
    case -65563: return "the DNS-SD daemon is not running";
    default: return "error " + std::to_string(error);
    }
}

}  // namespace

DnsSdBackend::DnsSdBackend() : wake_(std::make_unique<WakeChannel>()) {}

DnsSdBackend::~DnsSdBackend() { withdraw(); }

std::string DnsSdBackend::name() const { return dnsSdLibraryName(); }

void DnsSdBackend::onReply(DNSServiceRef, DNSServiceFlags, DNSServiceErrorType error, const char* name, const char*,
                           const char*, void* context) {
    auto* backend = static_cast<DnsSdBackend*>(context);
    backend->replyError_ = error;
    if (name) backend->replyName_ = name;
}

void DnsSdBackend::addTxtEntries(const ServiceDescription& service) {
    wrapper_->txtCreateFunction()(&txtRecord_, TxtBufferBytes, nullptr);
    txtRecordMade_ = true;
    for (const auto& [key, value] : service.txt) {
        if (value.size() > LongestTxtValue) continue;
        wrapper_->txtSetValueFunction()(&txtRecord_, key.c_str(), static_cast<uint8_t>(value.size()), value.data());
    }
}

AdvertisingBackend::Outcome DnsSdBackend::publish(const ServiceDescription& service, std::string* nameUsed,
                                                  std::string* detail) {
    withdraw();
    wrapper_ = sharedMDnsWrapper();
    if (!wrapper_) {
        *detail = std::string(dnsSdLibraryName()) + " is not installed";
        return Outcome::Unavailable;
    }
    if (!wrapper_->canRegister()) {
        *detail = std::string(dnsSdLibraryName()) + " lacks the registration calls";
        withdraw();
        return Outcome::Unavailable;
    }
    addTxtEntries(service);
    std::string type = service.type + ".";
    replyName_ = service.name;
    DNSServiceErrorType error = wrapper_->registerFunction()(
        &registration_, 0, 0, service.name.c_str(), type.c_str(), nullptr, nullptr, toNetworkOrder(service.port),
        wrapper_->txtLengthFunction()(&txtRecord_), wrapper_->txtBytesFunction()(&txtRecord_), onReply, this);
    if (error != kDNSServiceErr_NoError) {
        registration_ = nullptr;
        *detail = "the DNS-SD service refused the registration: " + errorText(error);
        withdraw();
        return Outcome::Failed;
    }
    if (!waitForReply(detail)) {
        withdraw();
        return Outcome::Failed;
    }
    *nameUsed = replyName_;
    return Outcome::Published;
}

// The reply is read only once it has arrived, so a daemon that never answers costs ReplyMilliseconds and
// cancel ends the wait at once.
bool DnsSdBackend::waitForReply(std::string* detail) {
    if (wrapper_->socketFunction()) {
        int descriptor = wrapper_->socketFunction()(registration_);
        if (descriptor < 0) {
            *detail = "the DNS-SD service gave no connection to wait on";
            return false;
        }
        int seen = waitForSocket(descriptor, SocketReadable, ReplyMilliseconds, wake_.get());
        if (!(seen & SocketReadable)) {
            *detail = (seen & SocketWoken) ? "stopped before the DNS-SD service answered"
                                           : "the DNS-SD service did not answer within 10 s";
            return false;
        }
    }
    replyError_ = kDNSServiceErr_NoError;
    DNSServiceErrorType error = wrapper_->processResultFunction()(registration_);
    if (error == kDNSServiceErr_NoError) error = replyError_;
    if (error != kDNSServiceErr_NoError) {
        *detail = "the DNS-SD service answered: " + errorText(error);
        return false;
    }
    return true;
}

void DnsSdBackend::withdraw() {
    if (wrapper_ && wrapper_->isLoaded()) {
        if (registration_ && wrapper_->deallocateFunction()) wrapper_->deallocateFunction()(registration_);
        if (txtRecordMade_ && wrapper_->txtDeallocateFunction()) wrapper_->txtDeallocateFunction()(&txtRecord_);
    }
    registration_ = nullptr;
    txtRecordMade_ = false;
    release(wrapper_);
    wrapper_ = nullptr;
}

void DnsSdBackend::cancel() { wake_->signal(); }
