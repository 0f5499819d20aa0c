// PlainSocket and PlainListener: loopback TCP sockets with nothing of the bridge's own I/O in them (only the
// platform layer's bare calls, one system call each), for the benchmark's clients and for the raw ping-pong
// that shows what loopback itself costs. Blocking, default socket options, one send per message. Each object
// owns its socket and closes it when destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Socket.h"

class PlainSocket {
public:
    explicit PlainSocket(SocketHandle socket = InvalidSocket) : socket_(socket) {}
    ~PlainSocket();
    PlainSocket(PlainSocket&& other) noexcept;
    PlainSocket& operator=(PlainSocket&& other) noexcept;
    PlainSocket(const PlainSocket&) = delete;
    PlainSocket& operator=(const PlainSocket&) = delete;

    static PlainSocket connectLoopback(uint16_t port);

    bool isOpen() const { return socket_ != InvalidSocket; }
    SocketHandle handle() const { return socket_; }
    bool sendAll(const uint8_t* bytes, size_t count);
    // False when the peer closed before count bytes arrived.
    bool receiveExactly(uint8_t* bytes, size_t count);
    // Everything that arrives until nothing more has come for quietMs.
    std::vector<uint8_t> receiveUntilQuiet(int quietMs);
    void close();

private:
    SocketHandle socket_;
};

class PlainListener {
public:
    // Listens on an ephemeral loopback port.
    PlainListener();
    ~PlainListener();
    PlainListener(const PlainListener&) = delete;
    PlainListener& operator=(const PlainListener&) = delete;

    uint16_t port() const { return port_; }
    PlainSocket accept();

private:
    SocketHandle socket_ = InvalidSocket;
    uint16_t port_ = 0;
};
