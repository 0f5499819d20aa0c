// AdvertisingBackend: one way of registering a service with the local DNS-SD daemon: Avahi's DNS-SD
// compatibility library or Bonjour's dnssd.dll, Avahi's own client library, Windows' own DNS-SD. Every
// library is looked up at run time; none is linked. ServiceAdvertisement tries them in the platform's order
// on a thread of its own: publish and withdraw may block until the daemon answers (or the library gives up),
// so neither is ever called on the simulator's thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "discovery/ServiceDescription.h"

class AdvertisingBackend {
public:
    enum class Outcome {
        Published,    // nameUsed holds the name registered (the daemon may have chosen another on a collision)
        Unavailable,  // the library is missing or lacks a call; detail says which
        Failed,       // the library is there, but the daemon refused or did not answer; detail says why
    };

    virtual ~AdvertisingBackend() = default;

    // How the pilot's log names it.
    virtual std::string name() const = 0;
    virtual Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) = 0;
    // Withdraws what publish registered, and frees what it made; nothing after a publish that failed.
    virtual void withdraw() = 0;
    // Any thread: a publish still waiting for the daemon's answer stops waiting (and fails).
    virtual void cancel() {}
};

// The platform's backends, in the order they are tried.
std::vector<std::unique_ptr<AdvertisingBackend>> makeAdvertisingBackends();
