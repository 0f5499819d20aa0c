#include "FlightLoopScheduler.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using Seconds = std::chrono::duration<double>;

float secondsBetween(FlightLoopScheduler::Clock::time_point from, FlightLoopScheduler::Clock::time_point to) {
    return static_cast<float>(Seconds(to - from).count());
}

std::string address(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof(text), "%p", pointer);
    return text;
}

}  // namespace

FlightLoopScheduler::FlightLoopScheduler(const PluginStates& plugins) : plugins_(plugins) {}

void FlightLoopScheduler::registerCallback(XPLMFlightLoop_f callback, float interval, void* refcon,
                                           PluginTag owner) {
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(mutex_);
    for (Registration& registration : registrations_) {
        if (registration.callback == callback && registration.refcon == refcon && !registration.removed) {
            schedule(registration, interval, now);
            return;
        }
    }
    Registration registration{callback, refcon, owner, now};
    schedule(registration, interval, now);
    registrations_.push_back(registration);
}

void FlightLoopScheduler::unregisterCallback(XPLMFlightLoop_f callback, void* refcon) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (Registration& registration : registrations_) {
        if (registration.callback == callback && registration.refcon == refcon) registration.removed = true;
    }
}

bool FlightLoopScheduler::isRunning(XPLMFlightLoop_f callback, void* refcon) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return runningCallback_ && runningCallback_ == callback && runningRefcon_ == refcon;
}

std::vector<std::string> FlightLoopScheduler::leftBehind(PluginTag owner) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> lines;
    for (const Registration& registration : registrations_) {
        if (registration.removed || registration.owner != owner) continue;
        lines.push_back("flight loop " + address(reinterpret_cast<const void*>(registration.callback)) +
                        " with refcon " + address(registration.refcon));
    }
    return lines;
}

void FlightLoopScheduler::forget(PluginTag owner) {
    if (owner == NoPlugin) return;
    std::lock_guard<std::mutex> guard(mutex_);
    for (Registration& registration : registrations_) {
        if (registration.owner == owner) registration.removed = true;
    }
}

size_t FlightLoopScheduler::count() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<size_t>(std::count_if(registrations_.begin(), registrations_.end(),
                                             [](const Registration& r) { return !r.removed; }));
}

// Frame intervals count from the frame being run; second intervals from the given moment.
void FlightLoopScheduler::schedule(Registration& registration, float interval, Clock::time_point from) {
    registration.scheduled = interval != 0.0f && std::isfinite(interval);
    registration.dueFrame = 0;
    if (interval < 0.0f) registration.dueFrame = frame_ + std::max<int64_t>(1, std::llround(-interval));
    if (interval > 0.0f && registration.scheduled) {
        registration.dueTime = from + std::chrono::duration_cast<Clock::duration>(Seconds(interval));
    }
}

bool FlightLoopScheduler::isDue(const Registration& registration, Clock::time_point now) const {
    if (registration.removed || !registration.scheduled) return false;
    if (plugins_.isDisabled(registration.owner)) return false;
    return registration.dueFrame > 0 ? frame_ >= registration.dueFrame : now >= registration.dueTime;
}

void FlightLoopScheduler::runFrame() {
    size_t existing;
    Clock::time_point now = Clock::now();
    Clock::time_point previousFrame;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++frame_;
        existing = registrations_.size();
        previousFrame = lastFrameTime_;
    }
    // Callbacks registered during this frame wait for the next one.
    for (size_t i = 0; i < existing; ++i) {
        Registration due{};
        if (!takeDue(i, now, due)) continue;
        PluginContext context(due.owner);
        float next = due.callback(secondsBetween(due.lastCall, now), secondsBetween(previousFrame, now),
                                  static_cast<int>(frame_), due.refcon);
        finishCall(due, next, now);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    std::erase_if(registrations_, [](const Registration& r) { return r.removed; });
    lastFrameTime_ = now;
}

bool FlightLoopScheduler::takeDue(size_t index, Clock::time_point now, Registration& due) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!isDue(registrations_[index], now)) return false;
    due = registrations_[index];
    runningCallback_ = due.callback;
    runningRefcon_ = due.refcon;
    return true;
}

// Reschedules the callback by its result, unless it unregistered itself during the call.
void FlightLoopScheduler::finishCall(const Registration& called, float next, Clock::time_point now) {
    std::lock_guard<std::mutex> guard(mutex_);
    runningCallback_ = nullptr;
    runningRefcon_ = nullptr;
    for (Registration& registration : registrations_) {
        bool same = registration.callback == called.callback && registration.refcon == called.refcon;
        if (registration.removed || !same) continue;
        registration.lastCall = now;
        schedule(registration, next, now);
        return;
    }
}
