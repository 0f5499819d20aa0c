#include "plugin/RecentRefusals.h"

#include "distant/DistantObjectDelegate.h"
#include "distant/LoginManager.h"
#include "plugin/GPSBridge.h"

namespace {

const char* refusalWords(int32_t code) {
    switch (code) {
        case LoginBadUsername: return "asked for a user name the bridge does not know";
        case LoginBadPassword: return "not the Zephrane app, or an outdated one";
        case LoginBadUserAgent: return "not the Zephrane app";
        case LoginBadProtocolVersion: return "speaks a newer protocol than this bridge: update the plug-in";
        default: return "unknown reason";
    }
}

}  // namespace

std::string refusalText(int32_t code) {
    if (code == RefusedOffNetwork) {
        return "its address is not on this computer's networks (to serve apps from anywhere, add the line "
               "\"accept_apps_from_anywhere 1\" to Zephrane.prf)";
    }
    if (code == LoginRefused) {
        return "no room, " + std::to_string(GPSBridge::MostClients) + " apps are logged in (code " +
               std::to_string(code) + ")";
    }
    return std::string(refusalWords(code)) + " (code " + std::to_string(code) + ")";
}

void RecentRefusals::add(std::string peer, int32_t code) {
    Refusal refusal{std::chrono::system_clock::now(), std::move(peer), code};
    MutexLock guard(mutex_);
    if (refusals_.size() == Kept) refusals_.pop_front();
    refusals_.push_back(std::move(refusal));
}

std::vector<RecentRefusals::Refusal> RecentRefusals::latest() const {
    MutexLock guard(mutex_);
    return {refusals_.begin(), refusals_.end()};
}
