// SimHost: the stand-in simulator's run from start to exit. It starts its idle threads, makes the preferences
// folder, loads the plug-ins, starts and enables them and tells them a flight has started, runs the frame loop
// (flight loops, flight model, console commands, reloads, a status line once a second) until quit, the
// duration or Ctrl-C, then disables, stops and unloads them. It owns the loaded plug-ins.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "HostOptions.h"
#include "MenuRegistry.h"
#include "PluginModule.h"
#include "platform/ConsoleInput.h"

class SimHost {
public:
    // The menu items simhost chooses by itself: at launch with --start, and on Ctrl-C.
    static constexpr const char* StartItem = "Start Zephrane bridge";
    static constexpr const char* StopItem = "Stop Zephrane bridge";

    explicit SimHost(HostOptions options);
    // The process exit status.
    int run();

    const std::vector<std::unique_ptr<PluginModule>>& plugins() const { return plugins_; }
    // Chooses a menu item by its text and says so; false (with an error line) when there is none, and false
    // with a line saying so when its plug-in is disabled.
    bool click(const std::string& text);
    // Says what a menu choice did not do: nothing found is the caller's to say.
    void sayDisabledChoice(const MenuRegistry::Click& click, const std::string& what) const;
    // Unloads every plug-in and loads, starts and enables the configured ones again.
    void reload();
    // The user's aircraft unloaded and loaded again, as the plug-ins hear it.
    void changePlane();
    void requestQuit() { quitRequested_ = true; }
    // Time, position, the connections on the bridge's port and whether the bridge runs (it registers its
    // flight loop exactly while it runs).
    std::string statusLine() const;

private:
    void openLog();
    bool preparePreferences();
    // Loads each configured plug-in; false at the first that cannot be loaded, unless leaveOut is set (then
    // it is left out and the others load).
    bool loadPlugins(bool leaveOut);
    void startPlugins();
    void sendFlightStart();
    void broadcast(int message, const char* name, void* parameter);
    void runFrames();
    void reloadOncePerFrame();
    void runConsoleCommands();
    void sayStatusEachSecond(double previousTime);
    // Disables, stops and unloads the last plug-in loaded.
    void unloadLast();
    void unload(std::unique_ptr<PluginModule> plugin);
    std::string nameOf(PluginTag plugin) const;
    void shutDown();

    HostOptions options_;
    std::vector<std::unique_ptr<PluginModule>> plugins_;
    ConsoleInput console_;
    bool quitRequested_ = false;
    int reloadsDone_ = 0;
};
