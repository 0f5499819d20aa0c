#include "platform/AddressChangeWatch.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Interfaces coming and going, and addresses of either family added or removed.
constexpr unsigned int WatchedGroups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
constexpr size_t MessageBytes = 8192;

int openNetlinkWatch() {
    int watch = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (watch < 0) return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = WatchedGroups;
    if (::bind(watch, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0) return watch;
    ::close(watch);
    return -1;
}

}  // namespace

struct AddressChangeWatch::System {
    int socket = -1;
};

AddressChangeWatch::AddressChangeWatch() : system_(std::make_unique<System>()) { system_->socket = openNetlinkWatch(); }

AddressChangeWatch::~AddressChangeWatch() {
    if (system_->socket >= 0) ::close(system_->socket);
}

// Every message waiting is read; a queue that overflowed lost some, which counts as a change too.
std::optional<bool> AddressChangeWatch::systemReportedChange() {
    if (system_->socket < 0) return std::nullopt;
    bool reported = false;
    char message[MessageBytes];
    for (;;) {
        ssize_t received = ::recv(system_->socket, message, sizeof(message), 0);
        if (received > 0 || (received < 0 && errno == ENOBUFS)) {
            reported = true;
        } else if (received < 0 && errno == EINTR) {
            continue;
        } else {
            return reported;
        }
    }
}
