// AdvertisingBackend: one way of registering a service with the local DNS-SD daemon: Avahi's DNS-SD
// compatibility library or Bonjour's dnssd.dll, Avahi's own client library, Windows' own DNS-SD. Every
// library is looked up at run time; none is linked. ServiceAdvertisement tries them in the platform's order
// on a thread of its own and serves the registration there until it stops: publish, serve and withdraw may
// block until the daemon answers (or the library gives up), so none is ever called on the simulator's thread.
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

    // What a registration tells while it is served, on the thread that serves it.
    class Events {
    public:
        virtual ~Events() = default;
        // The network knows the service by another name now: the name was taken by another computer.
        virtual void renamed(const std::string& name) = 0;
    };

    virtual ~AdvertisingBackend() = default;

    // How the pilot's log names it.
    virtual std::string name() const = 0;
    // Registers the service. When its name is taken on the network, the backend registers it under its next
    // free name ("X-Plane (2)" with the DNS-SD library, "X-Plane #2" with Avahi's own) and says which.
    virtual Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) = 0;
    // Follows what publish registered, for as long as it lasts: renames the network forces on it go to
    // events. True once cancel came; false when the registration was lost (the daemon went away), with why
    // in detail: it is then to be withdrawn and made anew.
    virtual bool serve(Events& events, std::string* detail) = 0;
    // Withdraws what publish registered, and frees what it made; nothing after a publish that failed.
    virtual void withdraw() = 0;
    // Any thread: a publish still waiting for the daemon's answer stops waiting (and fails), and serve
    // returns. For good: the backend is being let go.
    virtual void cancel() = 0;
};

// The platform's backends, in the order they are tried.
std::vector<std::unique_ptr<AdvertisingBackend>> makeAdvertisingBackends();
