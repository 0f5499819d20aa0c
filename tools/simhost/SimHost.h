// SimHost: the stand-in simulator's run from start to exit. It starts its idle threads, makes the preferences
// folder, loads the plug-ins, starts and enables them and tells them a flight has started, runs the frame loop
// (flight loops, flight model, console commands, reloads, a status line once a second) until quit, the
// duration or Ctrl-C, then disables, stops and unloads them. It owns the loaded plug-ins.
//
// Where the SDK's headers leave X-Plane's behaviour open, simhost does this:
// - Start-up: every plug-in is started, then every one is enabled, then each enabled plug-in gets, from
//   XPLM_PLUGIN_XPLANE, the messages of a flight's start: XPLM_MSG_PLANE_LOADED with 0 (the user's aircraft),
//   XPLM_MSG_AIRPORT_LOADED, XPLM_MSG_SCENERY_LOADED, each message to every plug-in before the next. The
//   order follows the messages' descriptions: the airport message speaks of the user's plane being
//   positioned, so the plane is there first, and scenery is loaded where it was positioned. The messages whose
//   parameter the SDK calls ignored get null. The console's plane command sends XPLM_MSG_PLANE_UNLOADED then
//   XPLM_MSG_PLANE_LOADED, both with 0. A plug-in whose XPluginStart does not answer 1 is unloaded at once,
//   without XPluginStop; one whose XPluginEnable does not answer 1 stays loaded and disabled.
// - A plug-in counts as enabled from the call of its XPluginEnable (and stays so if it answers 1) until its
//   XPluginDisable returns, so both may use the simulator fully; during XPluginStart and XPluginStop it is
//   disabled. A disabled plug-in gets no messages, no menu handler calls (a click says so on the console), no
//   flight loop calls (a due callback waits until the plug-in is enabled again) and no draw callback calls (its
//   windows are not drawn; the console's windows command says so), and reads 0 from every dataref: the SDK
//   says reads give 0 while the plug-in that provides a dataref is disabled, and simhost, whose datarefs are
//   the simulator's own, holds the reading plug-in to the same.
// - Unloading, at exit and for a reload, goes from the last plug-in loaded to the first: XPluginDisable if it
//   is enabled, XPluginStop if it started, then every menu, menu item, window and flight loop it still holds is
//   listed on standard error, one line each (in strict mode simhost aborts after the list), and dropped, and
//   the module is closed. The SDK does not say what X-Plane does with such leftovers; simhost holds a plug-in to
//   taking away what it made, since anything left would call into unmapped code. A flight loop that returned
//   0 is still registered (the SDK: it "will NOT be unregistered"). A menu goes only through XPLMDestroyMenu:
//   destroying its parent menu or removing the item it hangs on leaves it registered. On Linux simhost then
//   looks in /proc/self/maps and warns in one line when the module's file is still mapped; that is no fault
//   (a plug-in's own thread that outlives XPluginStop may pin it), and other systems do not say.
// - A reload (the console's reload, or --reload-cycles) does what XPLMReloadPlugins describes, between two
//   frames: every plug-in is unloaded as above, then the configured plug-ins are loaded again from their
//   paths and started as at start-up, messages included. Each load is a new plug-in with a tag of its own;
//   one that fails to load or start is left out and the others go on.
// - Menus are sandboxed and indexed per plug-in, as the SDK says. A stale or foreign menu identifier, and
//   XPLMDestroyMenu of the Plugins menu, are ignored without a report; the console's menu listing shows each
//   item with the index its own plug-in knows it by. A null or empty menu title is refused (null is returned,
//   as for a menu that cannot be created); the SDK forbids no item name, so an empty one is accepted.
// - Windows: the desktop is one monitor of WindowRegistry's 1920 by 1080 boxels with its lower left at 0,0,
//   and every monitor index names it. A window belongs to the plug-in that made it; simhost never reuses a
//   window identifier, and a null one, one it never handed out, a destroyed one and another plug-in's are
//   reported with the SDK's words for XPLMWindowID ("You use it to control your window."), and the call does
//   nothing (a getter gives 0). XPLMCreateWindowEx refuses (returns null) a structSize other than that of the
//   SDK 4 structure, which is the one simhost knows, and a null callback, any of the six: the function's
//   description forbids every null callback, although the structure's comments call null click handlers
//   ignored, and simhost holds to the stricter words. A pointer parameter the SDK does not mark "Can be NULL"
//   (the parameters, a window title, XPLMDrawString's colour and text) is reported when null, as are bounds
//   whose left is right of their right or whose bottom is above their top (they are kept) and a positioning
//   mode or font the SDK does not list; the deprecated fonts are reported with the SDK's words. A centred
//   window is centred on the monitor, keeping its size, a full-screen one takes the monitor's bounds, and
//   any other keeps the bounds it is given; a window keeps where its last mode put it. The title is kept
//   whatever the decoration.
// - Drawing: X-Plane draws every visible window each frame, so simhost calls the draw callback of each
//   visible window of an enabled plug-in once a frame, after the flight model, and keeps nothing of it; the
//   console's windows command runs them once more and prints the text. XPLMDrawString and
//   XPLMDrawTranslucentDarkBox belong inside a draw callback, where the SDK sets up the drawing context;
//   outside one they are reported. Text is recorded, never drawn: FontMetrics gives xplmFont_Basic 8 by 14
//   boxels and xplmFont_Proportional an average width of 7, and the SDK does not say how XPLMDrawString wraps,
//   so simhost breaks between words and puts each line one character height below the one before.
// - The features supported are the four the SDK 4.0 documents. An unsupported name is the error the SDK
//   states for XPLMIsFeatureEnabled, for XPLMEnableFeature as well.
// - A dataref read through a null handle gives 0 without complaint (the SDK checks for null); through any
//   other value simhost never handed out it is a junk handle; through the getter of the other type, 0.
// - Unregistering a flight loop from its own callback means the same function and refcon.
// - Flight loops run before the flight model in each frame, get the wall-clock seconds since their last call
//   (their registration, for the first) and since the previous frame's flight loops (the simulator's start,
//   for the first frame), and a positive interval is wall-clock seconds.
// - The SDK does not say how many threads X-Plane runs; simhost starts IdleThreads::Count idle ones at launch
//   so that no plug-in starts the process's first extra thread.
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
    // The loaded plug-in's name (its path when it gave none), or "plug-in <tag>" for one no longer loaded.
    std::string nameOf(PluginTag plugin) const;
    // Unloads every plug-in and loads, starts and enables the configured ones again.
    void reload();
    // The user's aircraft unloaded and loaded again, as the plug-ins hear it.
    void changePlane();
    void requestQuit() { quitRequested_ = true; }
    // Time, position, the connections on the bridge's port and whether the bridge runs (the bridge's plug-in
    // checks its start item exactly while it serves; its other flight loops say nothing about that).
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
    void shutDown();

    HostOptions options_;
    std::vector<std::unique_ptr<PluginModule>> plugins_;
    ConsoleInput console_;
    bool quitRequested_ = false;
    int reloadsDone_ = 0;
};
