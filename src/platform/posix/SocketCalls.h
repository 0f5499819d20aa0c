// The socket calls whose form differs between Linux and the Mac, for Socket.cpp. Every descriptor they
// make closes on exec, so that a program the host starts never inherits a client's connection, and no send
// on it raises SIGPIPE in the simulator when the peer has gone. Implemented in src/platform/linux and
// src/platform/darwin.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include "platform/Socket.h"

// A stream socket of the system's address family (AF_INET, AF_INET6); -1 when the system refuses.
int openStreamSocket(int family);
// accept on listener; the new descriptor, or -1 with errno set as accept sets it.
int acceptStreamSocket(int listener, sockaddr* peer, socklen_t* length);
// send that reports a vanished peer as -1 (EPIPE) instead of raising SIGPIPE.
ssize_t sendWithoutSignal(int socket, const void* source, size_t count);
// Keep-alive probes with this timing, and the same deadline for data the peer never acknowledges; false
// when the system refused any of it.
bool setKeepAliveTiming(int socket, const KeepAliveTiming& timing);
