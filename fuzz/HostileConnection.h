// HostileConnection: the fuzzer's side of one TCP connection to the bridge, on the benchmark's PlainSocket
// (the platform layer's bare calls), so that none of the streams or buffers under test stand between the
// fuzzer's bytes and the wire. It sends parts as they are and reads whatever comes back for a short,
// bounded while. It owns its socket; destruction closes it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PlainSocket.h"

class HostileConnection {
public:
    // The first reply byte is awaited this long after a send; then reading goes on while bytes keep
    // coming within QuietMilliseconds, up to MostDrainMilliseconds in all.
    static constexpr int FirstReplyMilliseconds = 3;
    static constexpr int QuietMilliseconds = 1;
    static constexpr int MostDrainMilliseconds = 20;

    explicit HostileConnection(uint16_t port) : socket_(PlainSocket::connectLoopback(port)) {}

    bool isOpen() const { return socket_.isOpen(); }
    // False when the bridge has closed the connection.
    bool sendAll(const uint8_t* bytes, size_t count) { return socket_.sendAll(bytes, count); }
    // Reads and drops whatever the bridge sends within the bounded wait.
    void drainReplies();

private:
    bool waitReadable(int milliseconds) const;

    PlainSocket socket_;
};
