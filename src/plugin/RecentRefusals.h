// RecentRefusals: the last few logins the bridge refused, for the status window. Login threads add to it;
// the main thread copies it once a second. It keeps at most Kept of them, newest last, under a lock held only
// to copy a few short strings.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/Mutex.h"

// Why a peer was refused, in the pilot's words, with the code the app was sent in brackets: "not the
// Zephrane app, or an outdated one (code 2)". A peer refused for being off this computer's networks was
// sent nothing; its text says how to let such apps in.
std::string refusalText(int32_t code);

class RecentRefusals {
public:
    static constexpr size_t Kept = 4;

    struct Refusal {
        std::chrono::system_clock::time_point at;
        std::string peer;
        int32_t code;
    };

    // Any thread.
    void add(std::string peer, int32_t code) EXCLUDES(mutex_);
    // Any thread: a copy, oldest first.
    std::vector<Refusal> latest() const EXCLUDES(mutex_);

private:
    mutable Mutex mutex_;
    std::deque<Refusal> refusals_ GUARDED_BY(mutex_);
};
