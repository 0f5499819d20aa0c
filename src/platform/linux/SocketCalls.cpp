#include "platform/posix/SocketCalls.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

int openStreamSocket(int family) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0); }

int acceptStreamSocket(int listener, sockaddr* peer, socklen_t* length) {
    return ::accept4(listener, peer, length, SOCK_CLOEXEC);
}

ssize_t sendWithoutSignal(int socket, const void* source, size_t count) {
    return ::send(socket, source, count, MSG_NOSIGNAL);
}

// Probes only start on an idle connection; the user time-out gives up as soon on data that stays
// unacknowledged, so a peer that vanished with a report in flight is found as quickly.
bool setKeepAliveTiming(int socket, const KeepAliveTiming& timing) {
    int one = 1;
    unsigned int giveUpMs =
        static_cast<unsigned int>(timing.idleSeconds + timing.intervalSeconds * timing.probes) * 1000u;
    return setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof(one)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &timing.idleSeconds, sizeof(int)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &timing.intervalSeconds, sizeof(int)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &timing.probes, sizeof(int)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, &giveUpMs, sizeof(giveUpMs)) == 0;
}
