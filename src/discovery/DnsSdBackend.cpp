#include "discovery/DnsSdBackend.h"

#include <algorithm>
#include <chrono>

#include "base/Utf8.h"
#include "discovery/MDnsWrapper.h"
#include "platform/DnsSdLibrary.h"
#include "platform/Socket.h"

namespace {

constexpr uint16_t TxtBufferBytes = 512;
constexpr size_t LongestTxtValue = 255;  // a TXT value's length is one byte
constexpr size_t LongestServiceName = 63;
constexpr int WithoutLimit = -1;
constexpr DNSServiceErrorType NameConflict = -65548;

// The library's error codes that a pilot can act on, in words; others by number.
std::string errorText(DNSServiceErrorType error) {
    switch (error) {
    case -65537: return "unknown error (is the DNS-SD daemon running?)";
    case NameConflict: return "the name is taken";
    case -65563: return "the DNS-SD daemon is not running";
    default: return "error " + std::to_string(error);
    }
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

}  // namespace

DnsSdBackend::DnsSdBackend() : wake_(std::make_unique<WakeChannel>()) {}

DnsSdBackend::~DnsSdBackend() { withdraw(); }

std::string DnsSdBackend::name() const { return dnsSdLibraryName(); }

std::string DnsSdBackend::numberedName(const std::string& name, int number) {
    if (number <= 1) return name;
    std::string suffix = " (" + std::to_string(number) + ")";
    size_t room = LongestServiceName > suffix.size() ? LongestServiceName - suffix.size() : 0;
    return utf8Prefix(name, room) + suffix;
}

void DnsSdBackend::onReply(DNSServiceRef, DNSServiceFlags, DNSServiceErrorType error, const char* name, const char*,
                           const char*, void* context) {
    auto* backend = static_cast<DnsSdBackend*>(context);
    backend->replied_ = true;
    backend->replyError_ = error;
    if (name && *name) backend->replyName_ = name;  // some libraries answer without the name: the one asked for
}

void DnsSdBackend::addTxtEntries() {
    wrapper_->txtCreateFunction()(&txtRecord_, TxtBufferBytes, nullptr);
    txtRecordMade_ = true;
    for (const auto& [key, value] : service_.txt) {
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
    service_ = service;
    number_ = 1;
    addTxtEntries();
    bool registered = registerUnderFreeName(detail);
    while (registered) {
        Answer answer = awaitAnswer(ReplyMilliseconds, detail);
        if (answer == Answer::Registered) {
            *nameUsed = confirmedName_;
            return Outcome::Published;
        }
        registered = answer == Answer::NameTaken && takeNextName(detail);
    }
    withdraw();
    return Outcome::Failed;
}

bool DnsSdBackend::registerUnderFreeName(std::string* detail) {
    std::string type = service_.type + ".";
    for (; number_ <= MostNumberedNames + 1; ++number_) {
        std::string name = numberedName(service_.name, number_);
        replyName_ = name;
        DNSServiceErrorType error = wrapper_->registerFunction()(
            &registration_, 0, 0, name.c_str(), type.c_str(), nullptr, nullptr, toNetworkOrder(service_.port),
            wrapper_->txtLengthFunction()(&txtRecord_), wrapper_->txtBytesFunction()(&txtRecord_), onReply, this);
        if (error == kDNSServiceErr_NoError) return true;
        registration_ = nullptr;
        if (error != NameConflict) {
            *detail = "the DNS-SD service refused the registration: " + errorText(error);
            return false;
        }
    }
    *detail = "no free name: \"" + service_.name + "\" and its numbered names are all taken";
    return false;
}

bool DnsSdBackend::takeNextName(std::string* detail) {
    dropRegistration();
    ++number_;
    return registerUnderFreeName(detail);
}

void DnsSdBackend::dropRegistration() {
    if (registration_ && wrapper_->deallocateFunction()) wrapper_->deallocateFunction()(registration_);
    registration_ = nullptr;
}

// The answer is read only once it has arrived, so a daemon that never answers costs the time given, and
// cancel ends the wait at once. What the connection brings may be no answer at all (a library's own message,
// processed without a reply): the wait then goes on. A library without a socket to wait on answers inside
// ProcessResult.
DnsSdBackend::Answer DnsSdBackend::awaitAnswer(int milliseconds, std::string* detail) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int left = milliseconds < 0 ? WithoutLimit : millisecondsUntil(deadline);
        Answer answer = Answer::Registered;
        if (!awaitConnection(left, milliseconds, detail, &answer)) return answer;
        replied_ = false;
        replyError_ = kDNSServiceErr_NoError;
        DNSServiceErrorType error = wrapper_->processResultFunction()(registration_);
        if (error == kDNSServiceErr_NoError) error = replyError_;
        if (error == NameConflict) return Answer::NameTaken;
        if (error != kDNSServiceErr_NoError) {
            *detail = "the DNS-SD service answered: " + errorText(error);
            return Answer::Failed;
        }
        if (replied_ || !wrapper_->socketFunction()) {
            confirmedName_ = replyName_;
            return Answer::Registered;
        }
    }
}

// Waits up to milliseconds (-1: without limit) for the registration's connection to bring something; false
// with the answer that ends the wait (cancelled, timed out, failed) when nothing came.
bool DnsSdBackend::awaitConnection(int milliseconds, int limit, std::string* detail, Answer* ended) {
    if (!wrapper_->socketFunction()) return true;
    int descriptor = wrapper_->socketFunction()(registration_);
    if (descriptor < 0) {
        *detail = "the DNS-SD service gave no connection to wait on";
        *ended = Answer::Failed;
        return false;
    }
    int seen = waitForSocket(descriptor, SocketReadable, milliseconds, wake_.get());
    if (seen < 0) {
        *detail = "waiting for the DNS-SD service failed";
        *ended = Answer::Failed;
        return false;
    }
    if (seen & SocketWoken) {
        *detail = "stopped before the DNS-SD service answered";
        *ended = Answer::Cancelled;
        return false;
    }
    if (!(seen & SocketReadable)) {
        *detail = "the DNS-SD service did not answer within " + std::to_string(limit / 1000) + " s";
        *ended = Answer::TimedOut;
        return false;
    }
    return true;
}

// An answer that confirms another name than the last is a rename the library made by itself; a name taken
// later is replaced as at the start. Anything the library reports as an error ends the registration.
bool DnsSdBackend::serve(Events& events, std::string* detail) {
    if (!wrapper_->socketFunction()) {
        // Nothing can be waited on without the connection: only the cancel is.
        waitForSocket(wake_->handle(), SocketReadable, WithoutLimit, nullptr);
        return true;
    }
    for (;;) {
        std::string confirmed = confirmedName_;
        Answer answer = awaitAnswer(WithoutLimit, detail);
        if (answer == Answer::Cancelled) return true;
        if (answer == Answer::NameTaken) {
            if (!takeNextName(detail)) return false;
        } else if (answer != Answer::Registered) {
            return false;
        } else if (confirmedName_ != confirmed) {
            events.renamed(confirmedName_);
        }
    }
}

void DnsSdBackend::withdraw() {
    if (wrapper_ && wrapper_->isLoaded()) {
        dropRegistration();
        if (txtRecordMade_ && wrapper_->txtDeallocateFunction()) wrapper_->txtDeallocateFunction()(&txtRecord_);
    }
    registration_ = nullptr;
    txtRecordMade_ = false;
    release(wrapper_);
    wrapper_ = nullptr;
}

void DnsSdBackend::cancel() { wake_->signal(); }
