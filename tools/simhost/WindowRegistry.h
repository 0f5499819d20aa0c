// WindowRegistry: the windows plug-ins make with XPLMCreateWindowEx on simhost's desktop (one monitor), and the
// text their draw callbacks draw in them. A window belongs to the plug-in that made it: only that plug-in
// reaches it, its draw callback runs in that plug-in's context and never while the plug-in is disabled, and
// it lasts until XPLMDestroyWindow names it or its plug-in is forgotten. Window identifiers are numbers from
// FirstWindowNumber on, never reused and far from the small numbers of menus and datarefs, so that a
// destroyed, foreign or mistaken identifier is recognised. The registry owns the windows' records; the
// callbacks and refcons stay the plug-ins'. A draw callback runs without any lock held, so it may make,
// change and destroy windows; the text it draws meanwhile is recorded for its window. Guarded by a mutex,
// because a plug-in that breaks the thread rule reaches it from its own threads.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "PluginContext.h"
#include "PluginStates.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"

class WindowRegistry {
public:
    // The desktop, in boxels: one monitor with its lower left at the origin.
    static constexpr int ScreenLeft = 0;
    static constexpr int ScreenBottom = 0;
    static constexpr int ScreenRight = 1920;
    static constexpr int ScreenTop = 1080;
    static constexpr uintptr_t FirstWindowNumber = 0x10000;

    // Whether a caller may use a window identifier, and why not.
    enum class Access { Granted, Null, Unknown, Destroyed, Foreign };

    struct Bounds {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };
    // One string XPLMDrawString drew (one line of it, when it wrapped), with its lower left.
    struct Text {
        int x = 0;
        int y = 0;
        std::array<float, 3> colour{};
        XPLMFontID font = xplmFont_Basic;
        std::string text;
        // True when some of the text lies outside its window's bounds.
        bool outside = false;
    };
    // A visible window as one run of its draw callback left it.
    struct Drawing {
        XPLMWindowID id = nullptr;
        std::string title;
        Bounds bounds;
        PluginTag owner = NoPlugin;
        // False when the owner is disabled: the draw callback was not called.
        bool drawn = false;
        // In reading order: top to bottom (y descending), then left to right (x ascending).
        std::vector<Text> strings;
    };

    explicit WindowRegistry(const PluginStates& plugins);

    static Bounds screen();
    // A window with the parameters' bounds, visibility, draw callback and refcon, and no title; the caller has
    // checked the parameters' size and callbacks.
    XPLMWindowID create(const XPLMCreateWindow_t& parameters, PluginTag owner);
    Access access(XPLMWindowID window, PluginTag caller) const;
    // Each of these acts only on a window the caller has access to, and does nothing to any other identifier.
    void destroy(XPLMWindowID window, PluginTag caller);
    // Zero bounds for an identifier the caller has no access to.
    Bounds bounds(XPLMWindowID window, PluginTag caller) const;
    void setBounds(XPLMWindowID window, const Bounds& bounds, PluginTag caller);
    bool isVisible(XPLMWindowID window, PluginTag caller) const;
    void setVisible(XPLMWindowID window, bool visible, PluginTag caller);
    // Free, pop-out and VR windows keep their bounds; a centred one is centred on the monitor, keeping its
    // size; a full-screen one takes the monitor's bounds. Bounds set later are placed the same way.
    void setPositioningMode(XPLMWindowID window, XPLMWindowPositioningMode mode, PluginTag caller);
    void setTitle(XPLMWindowID window, const std::string& title, PluginTag caller);

    // True while a draw callback runs.
    bool isDrawing() const;
    // Keeps text for the window whose draw callback runs; false (and nothing kept) when none runs.
    bool record(const Text& text);
    // Runs the draw callback of every visible window whose owner is enabled, in the order they were made.
    std::vector<Drawing> drawVisible();
    // One line for each window owner made and did not destroy: window "<title>".
    std::vector<std::string> leftBehind(PluginTag owner) const;
    // Destroys every window owner made.
    void forget(PluginTag owner);

private:
    struct Window {
        XPLMDrawWindow_f draw = nullptr;
        void* refcon = nullptr;
        PluginTag owner = NoPlugin;
        Bounds bounds;
        bool visible = false;
        XPLMWindowPositioningMode mode = xplm_WindowPositionFree;
        std::string title;
        bool removed = false;
    };

    const Window* entryAt(XPLMWindowID window) const;
    const Window* windowFor(XPLMWindowID window, PluginTag caller) const;
    Window* windowFor(XPLMWindowID window, PluginTag caller);
    static XPLMWindowID idForIndex(size_t index);
    static Bounds placed(const Bounds& bounds, XPLMWindowPositioningMode mode);
    // The window at index as it stands, and whether it is to be drawn now.
    bool prepare(size_t index, Drawing& drawing) const;
    void draw(size_t index, Drawing& drawing);

    const PluginStates& plugins_;
    mutable std::mutex mutex_;
    std::vector<Window> windows_;
    // The text recorded for the window whose draw callback runs; drawing_ says whether one runs.
    bool drawing_ = false;
    std::vector<Text> recorded_;
};
