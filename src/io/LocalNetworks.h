// LocalNetworks: which peers the bridge serves unless the pilot allows any: those on this computer's own
// networks. A peer is local when its address is loopback, link-local, private IPv4 (10/8, 172.16/12,
// 192.168/16), shared IPv4 (100.64/10, which VPN meshes use), unique-local IPv6 (fc00::/7), or inside the
// prefix of one of this computer's interfaces. An IPv4 peer that reached an IPv6 socket (::ffff:a.b.c.d) is
// judged by its IPv4 address.
//
// The interfaces' prefixes are looked up at the first peer judged, again whenever the system says the
// computer's addresses changed, and, before a peer is refused, when the last look is older than
// RefusalLookupInterval (for the changes a system does not report). Only the thread that judges peers, the
// listening socket's accept thread, uses an instance; it is never the simulator's thread.
#pragma once

#include <chrono>
#include <vector>

#include "platform/AddressChangeWatch.h"
#include "platform/NetworkInterfaces.h"
#include "platform/Socket.h"

class LocalNetworks {
public:
    static constexpr std::chrono::seconds RefusalLookupInterval{2};

    // The rule itself, against the prefixes given.
    static bool isLocal(const IPAddress& peer, const std::vector<NetworkPrefix>& prefixes);

    // The rule against this computer's prefixes, looked up as said above. A peer of no known family is not
    // local.
    bool isLocal(const SocketAddress& peer);

private:
    using Clock = std::chrono::steady_clock;

    void lookUp();

    AddressChangeWatch watch_;
    std::vector<NetworkPrefix> prefixes_;
    Clock::time_point lookedUp_{};
};
