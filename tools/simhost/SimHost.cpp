#include "SimHost.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "ConsoleCommands.h"
#include "HostOutput.h"
#include "IdleThreads.h"
#include "Simulator.h"
#include "XPLMPlugin.h"
#include "platform/InterruptSignal.h"
#include "platform/MappedFiles.h"
#include "platform/TcpConnections.h"

namespace {

using Clock = std::chrono::steady_clock;

// " (0.38 ms)": how long a call into a plug-in held the main thread.
std::string durationText(double milliseconds) {
    char text[32];
    std::snprintf(text, sizeof(text), " (%.2f ms)", milliseconds);
    return text;
}

std::string durationSince(Clock::time_point started) {
    return durationText(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
}

constexpr const char* LatitudeDataref = "sim/flightmodel/position/latitude";
constexpr const char* LongitudeDataref = "sim/flightmodel/position/longitude";
constexpr const char* ElevationDataref = "sim/flightmodel/position/elevation";
constexpr const char* SpeedDataref = "sim/flightmodel/position/groundspeed";
constexpr const char* CourseDataref = "sim/flightmodel/position/hpath";
// The bridge's port, whose established connections the status line counts as clients.
constexpr uint16_t BridgePort = 21777;
constexpr const char* LogFile = "Log.txt";
// The plane messages' parameter: the user's aircraft, as the pointer's value.
void* const UserAircraft = nullptr;
// The parameter of the messages that ignore it.
void* const NoParameter = nullptr;

}  // namespace

SimHost::SimHost(HostOptions options) : options_(std::move(options)) {}

// Log.txt starts afresh with each run, as X-Plane's does; its lines are echoed as they come.
void SimHost::openLog() {
    if (!simulator().log.openFile(LogFile)) hostComplain(std::string("cannot write ") + LogFile);
    simulator().log.setEcho([](const std::string& line) { hostSay(std::string(LogFile) + ": " + line); });
}

// The folder is made when missing and handed to the plug-ins as a full path, "/" between folders, as X-Plane's
// native paths are.
bool SimHost::preparePreferences() {
    std::string given = options_.preferencesFolder;
    if (given.empty()) given = PreferencesFolder::DefaultFolder;
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(std::u8string(given.begin(), given.end()), error);
    if (!error) std::filesystem::create_directories(folder, error);
    if (error) {
        hostComplain("cannot make the preferences folder \"" + given + "\": " + error.message());
        return false;
    }
    std::u8string native = folder.lexically_normal().generic_u8string();
    while (native.size() > 1 && native.back() == u8'/') native.pop_back();
    simulator().preferences.setFolder(std::string(native.begin(), native.end()));
    return true;
}

int SimHost::run() {
    IdleThreads idleThreads;
    InterruptSignal::catchSignals();
    openLog();
    simulator().threadGuard.bindToCurrentThread();
    simulator().threadGuard.setStrict(options_.strict);
    simulator().rules.setStrict(options_.strict);
    if (!preparePreferences() || !loadPlugins(false)) {
        shutDown();
        return 1;
    }
    startPlugins();
    if (options_.start) click(StartItem);
    hostSay("ready");
    runFrames();
    if (InterruptSignal::received()) {
        hostSay("interrupted");
        click(StopItem);
    }
    shutDown();
    hostSay("exit");
    return 0;
}

bool SimHost::loadPlugins(bool leaveOut) {
    for (const std::string& path : options_.plugins) {
        std::string error;
        std::unique_ptr<PluginModule> plugin = PluginModule::load(path, &error);
        if (!plugin) {
            hostComplain(error);
            if (!leaveOut) return false;
            continue;
        }
        plugins_.push_back(std::move(plugin));
    }
    return true;
}

// X-Plane's order: every plug-in is started, then every one is enabled, then the flight starts. A plug-in
// whose start fails is unloaded at once, without XPluginStop.
void SimHost::startPlugins() {
    for (auto plugin = plugins_.begin(); plugin != plugins_.end();) {
        int result = (*plugin)->start();
        hostSay("plugin name: " + (*plugin)->name());
        hostSay("plugin signature: " + (*plugin)->signature());
        hostSay("plugin description: " + (*plugin)->description());
        hostSay((*plugin)->name() + ": XPluginStart returned " + std::to_string(result));
        if (result == 1) {
            ++plugin;
            continue;
        }
        std::unique_ptr<PluginModule> failed = std::move(*plugin);
        plugin = plugins_.erase(plugin);
        unload(std::move(failed));
    }
    for (const auto& plugin : plugins_) {
        hostSay(plugin->name() + ": XPluginEnable returned " + std::to_string(plugin->enable()));
    }
    sendFlightStart();
}

void SimHost::sendFlightStart() {
    broadcast(XPLM_MSG_PLANE_LOADED, "XPLM_MSG_PLANE_LOADED", UserAircraft);
    broadcast(XPLM_MSG_AIRPORT_LOADED, "XPLM_MSG_AIRPORT_LOADED", NoParameter);
    broadcast(XPLM_MSG_SCENERY_LOADED, "XPLM_MSG_SCENERY_LOADED", NoParameter);
}

void SimHost::changePlane() {
    broadcast(XPLM_MSG_PLANE_UNLOADED, "XPLM_MSG_PLANE_UNLOADED", UserAircraft);
    broadcast(XPLM_MSG_PLANE_LOADED, "XPLM_MSG_PLANE_LOADED", UserAircraft);
}

// To every enabled plug-in, in the order they were loaded.
void SimHost::broadcast(int message, const char* name, void* parameter) {
    int receivers = 0;
    for (const auto& plugin : plugins_) {
        if (plugin->receiveMessage(XPLM_PLUGIN_XPLANE, message, parameter)) ++receivers;
    }
    hostSay(std::string("sent ") + name + " (" + std::to_string(message) + ") to " + std::to_string(receivers) +
            (receivers == 1 ? " plug-in" : " plug-ins"));
}

void SimHost::reload() {
    while (!plugins_.empty()) unloadLast();
    loadPlugins(true);
    startPlugins();
}

void SimHost::runFrames() {
    const double period = 1.0 / options_.framesPerSecond;
    const auto framePeriod = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(period));
    Clock::time_point nextFrame = Clock::now();
    while (!quitRequested_ && !InterruptSignal::received()) {
        runConsoleCommands();
        if (quitRequested_) break;
        reloadOncePerFrame();
        double previousTime = simulator().time();
        simulator().runFrame(period);
        sayStatusEachSecond(previousTime);
        if (options_.duration && simulator().time() >= *options_.duration - period / 2) {
            hostSay("duration reached");
            break;
        }
        nextFrame += framePeriod;
        Clock::time_point now = Clock::now();
        // A host that fell behind (a slow plug-in, a stopped terminal) goes on from now instead of racing.
        if (nextFrame < now) nextFrame = now;
        std::this_thread::sleep_until(nextFrame);
    }
}

void SimHost::reloadOncePerFrame() {
    if (reloadsDone_ >= options_.reloadCycles) return;
    reload();
    ++reloadsDone_;
    hostSay("reload cycle " + std::to_string(reloadsDone_) + " of " + std::to_string(options_.reloadCycles) +
            " done");
}

void SimHost::runConsoleCommands() {
    std::vector<std::string> lines;
    console_.takeLines(lines);
    ConsoleCommands commands(*this);
    for (const std::string& line : lines) {
        commands.execute(line);
        if (quitRequested_) return;
    }
}

void SimHost::sayStatusEachSecond(double previousTime) {
    if (std::floor(simulator().time()) > std::floor(previousTime)) hostSay(statusLine());
}

std::string SimHost::statusLine() const {
    const DatarefTable& datarefs = simulator().datarefs;
    bool bridgeRunning = simulator().menus.checkOf(StartItem) == xplm_Menu_Checked;
    int clients = establishedTcpConnections(BridgePort);
    std::string clientCount = clients < 0 ? "" : " clients=" + std::to_string(clients);
    char line[256];
    std::snprintf(line, sizeof(line), "t=%.1fs lat=%.5f lon=%.5f alt=%.0fm speed=%.1fm/s course=%.0f%s bridge=%s",
                  simulator().time(), datarefs.value(LatitudeDataref), datarefs.value(LongitudeDataref),
                  datarefs.value(ElevationDataref), datarefs.value(SpeedDataref), datarefs.value(CourseDataref),
                  clientCount.c_str(), bridgeRunning ? "running" : "stopped");
    return line;
}

// The handler's own duration is printed: a handler that waits on the network freezes X-Plane's frame.
bool SimHost::click(const std::string& text) {
    Clock::time_point started = Clock::now();
    MenuRegistry::Click click = simulator().menus.click(text);
    double milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    if (click.outcome == MenuRegistry::Outcome::NotFound) {
        hostComplain("no menu item \"" + text + "\"");
        return false;
    }
    if (click.outcome == MenuRegistry::Outcome::OwnerDisabled) {
        sayDisabledChoice(click, "\"" + text + "\"");
        return false;
    }
    hostSay("clicked \"" + text + "\"" + durationText(milliseconds));
    return true;
}

void SimHost::sayDisabledChoice(const MenuRegistry::Click& click, const std::string& what) const {
    hostSay(what + " belongs to " + nameOf(click.owner) + ", which is disabled: nothing called");
}

std::string SimHost::nameOf(PluginTag plugin) const {
    for (const auto& loaded : plugins_) {
        if (loaded->tag() == plugin) return loaded->name().empty() ? loaded->path() : loaded->name();
    }
    return "plug-in " + std::to_string(plugin);
}

// X-Plane's order at exit: disable the enabled plug-ins, stop them, unload them, the last loaded first.
void SimHost::shutDown() {
    while (!plugins_.empty()) unloadLast();
}

void SimHost::unloadLast() {
    std::unique_ptr<PluginModule> plugin = std::move(plugins_.back());
    plugins_.pop_back();
    std::string name = plugin->name().empty() ? plugin->path() : plugin->name();
    if (plugin->enabled()) {
        Clock::time_point started = Clock::now();
        plugin->disable();
        hostSay(name + ": XPluginDisable done" + durationSince(started));
    }
    if (plugin->started()) {
        Clock::time_point started = Clock::now();
        plugin->stop();
        hostSay(name + ": XPluginStop done" + durationSince(started));
    }
    unload(std::move(plugin));
}

// What the plug-in still holds is listed before the module goes, while its callbacks' addresses still mean
// something; then the module is closed and simhost looks whether its file went with it.
void SimHost::unload(std::unique_ptr<PluginModule> plugin) {
    std::string name = plugin->name().empty() ? plugin->path() : plugin->name();
    std::string path = plugin->path();
    std::vector<std::string> leftBehind = simulator().leftBehind(plugin->tag());
    for (const std::string& thing : leftBehind) simulator().rules.report(name + " left behind " + thing);
    if (!leftBehind.empty()) simulator().rules.abortIfStrict();
    plugin.reset();
    if (fileMapping(path) == FileMapping::Mapped) {
        simulator().rules.report(name + ": module still mapped after unload");
    }
    hostSay(name + ": unloaded");
}
