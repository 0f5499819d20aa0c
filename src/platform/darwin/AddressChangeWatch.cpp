#include "platform/AddressChangeWatch.h"

#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr size_t MessageBytes = 2048;

int openRoutingWatch() {
    int watch = ::socket(PF_ROUTE, SOCK_RAW, AF_UNSPEC);
    if (watch < 0) return -1;
    if (::fcntl(watch, F_SETFD, FD_CLOEXEC) == 0 && ::fcntl(watch, F_SETFL, O_NONBLOCK) == 0) return watch;
    ::close(watch);
    return -1;
}

// The routing socket tells of every route too; only addresses and interfaces matter here.
bool concernsAddresses(const char* message, ssize_t length) {
    if (length < static_cast<ssize_t>(sizeof(rt_msghdr))) return false;
    unsigned char type = reinterpret_cast<const rt_msghdr*>(message)->rtm_type;
    return type == RTM_NEWADDR || type == RTM_DELADDR || type == RTM_IFINFO;
}

}  // namespace

struct AddressChangeWatch::System {
    int socket = -1;
};

AddressChangeWatch::AddressChangeWatch() : system_(std::make_unique<System>()) { system_->socket = openRoutingWatch(); }

AddressChangeWatch::~AddressChangeWatch() {
    if (system_->socket >= 0) ::close(system_->socket);
}

// One message a read; every one waiting is read. A queue that overflowed lost some, which counts as a change.
std::optional<bool> AddressChangeWatch::systemReportedChange() {
    if (system_->socket < 0) return std::nullopt;
    bool reported = false;
    char message[MessageBytes];
    for (;;) {
        ssize_t received = ::read(system_->socket, message, sizeof(message));
        if (received > 0) {
            reported = reported || concernsAddresses(message, received);
        } else if (received < 0 && errno == ENOBUFS) {
            reported = true;
        } else if (!(received < 0 && errno == EINTR)) {
            return reported;
        }
    }
}
