// AddressChangeWatch: tells whether this computer's interface addresses may have changed since it last said
// so, without waiting and without any call from the system into the plug-in's code (which could come after
// the plug-in was unloaded): Linux reads a netlink socket, the Mac a routing socket, Windows looks at an
// IPv4 address-change notification. Where the system gives no such report, it says "may have changed" once
// every FallbackInterval. One thread at a time uses an instance.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

class AddressChangeWatch {
public:
    static constexpr std::chrono::seconds FallbackInterval{10};

    AddressChangeWatch();
    ~AddressChangeWatch();
    AddressChangeWatch(const AddressChangeWatch&) = delete;
    AddressChangeWatch& operator=(const AddressChangeWatch&) = delete;

    // True at the first call, and then whenever the addresses may have changed since the last true.
    bool changed();

private:
    using Clock = std::chrono::steady_clock;
    struct System;  // the platform's part

    // Whether the system reported a change since the last call (the reports are consumed); nothing when the
    // system gives no reports.
    std::optional<bool> systemReportedChange();

    std::unique_ptr<System> system_;
    bool first_ = true;
    Clock::time_point lastSaid_{};
};
