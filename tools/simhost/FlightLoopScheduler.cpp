#include "FlightLoopScheduler.h"

#include <algorithm>
#include <cmath>

void FlightLoopScheduler::registerCallback(XPLMFlightLoop_f callback, float interval, void* refcon,
                                           PluginTag owner) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (Registration& registration : registrations_) {
        if (registration.callback == callback && registration.refcon == refcon && !registration.removed) {
            schedule(registration, interval);
            return;
        }
    }
    Registration registration{callback, refcon, owner, now_};
    schedule(registration, interval);
    registrations_.push_back(registration);
}

void FlightLoopScheduler::unregisterCallback(XPLMFlightLoop_f callback, void* refcon) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (Registration& registration : registrations_) {
        if (registration.callback == callback && registration.refcon == refcon) registration.removed = true;
    }
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

// Frame intervals count from the frame being run; second intervals from the simulated time.
void FlightLoopScheduler::schedule(Registration& registration, float interval) {
    registration.scheduled = interval != 0.0f && std::isfinite(interval);
    registration.dueFrame = 0;
    if (interval < 0.0f) registration.dueFrame = frame_ + std::max<int64_t>(1, std::llround(-interval));
    if (interval > 0.0f) registration.dueTime = now_ + interval;
}

bool FlightLoopScheduler::isDue(const Registration& registration, double now) const {
    if (registration.removed || !registration.scheduled) return false;
    return registration.dueFrame > 0 ? frame_ >= registration.dueFrame : now >= registration.dueTime;
}

void FlightLoopScheduler::runFrame(double now) {
    size_t existing;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++frame_;
        now_ = now;
        existing = registrations_.size();
    }
    // Callbacks registered during this frame wait for the next one.
    for (size_t i = 0; i < existing; ++i) {
        Registration due{};
        if (!takeDue(i, now, due)) continue;
        PluginContext context(due.owner);
        float next = due.callback(static_cast<float>(now - due.lastCall), static_cast<float>(now - lastFrameTime_),
                                  static_cast<int>(frame_), due.refcon);
        finishCall(due, next, now);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    std::erase_if(registrations_, [](const Registration& r) { return r.removed; });
    lastFrameTime_ = now;
}

bool FlightLoopScheduler::takeDue(size_t index, double now, Registration& due) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!isDue(registrations_[index], now)) return false;
    due = registrations_[index];
    return true;
}

// Reschedules the callback by its result, unless it unregistered itself during the call.
void FlightLoopScheduler::finishCall(const Registration& called, float next, double now) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (Registration& registration : registrations_) {
        bool same = registration.callback == called.callback && registration.refcon == called.refcon;
        if (registration.removed || !same) continue;
        registration.lastCall = now;
        schedule(registration, next);
        return;
    }
}
