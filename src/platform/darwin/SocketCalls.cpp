#include "platform/posix/SocketCalls.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

namespace {

// The Mac has neither SOCK_CLOEXEC nor MSG_NOSIGNAL: the descriptor is marked after it is made, and the
// socket itself is told never to raise SIGPIPE (SO_NOSIGPIPE), which covers every send made on it.
int prepared(int socket) {
    if (socket < 0) return socket;
    int one = 1;
    if (::fcntl(socket, F_SETFD, FD_CLOEXEC) != 0 ||
        ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof(one)) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

}  // namespace

int openStreamSocket(int family) { return prepared(::socket(family, SOCK_STREAM, 0)); }

int acceptStreamSocket(int listener, sockaddr* peer, socklen_t* length) {
    return prepared(::accept(listener, peer, length));
}

ssize_t sendWithoutSignal(int socket, const void* source, size_t count) { return ::send(socket, source, count, 0); }

// Probes only start on an idle connection (TCP_KEEPALIVE is the Mac's idle time); the retransmission drop
// time gives up as soon on data that stays unacknowledged, so a peer that vanished with a report in flight
// is found as quickly.
bool setKeepAliveTiming(int socket, const KeepAliveTiming& timing) {
    int one = 1;
    int giveUpSeconds = timing.idleSeconds + timing.intervalSeconds * timing.probes;
    return setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof(one)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_KEEPALIVE, &timing.idleSeconds, sizeof(int)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &timing.intervalSeconds, sizeof(int)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &timing.probes, sizeof(int)) == 0 &&
           setsockopt(socket, IPPROTO_TCP, TCP_RXT_CONNDROPTIME, &giveUpSeconds, sizeof(int)) == 0;
}
