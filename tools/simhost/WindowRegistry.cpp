#include "WindowRegistry.h"

#include <algorithm>

#include "FontMetrics.h"

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool isOutside(const WindowRegistry::Text& text, const WindowRegistry::Bounds& bounds) {
    FontMetrics::Size character = FontMetrics::size(text.font);
    int right = text.x + character.width * static_cast<int>(text.text.size());
    int top = text.y + character.height;
    return text.x < bounds.left || text.y < bounds.bottom || right > bounds.right || top > bounds.top;
}

// Top to bottom, then left to right; strings drawn at the same place keep the order they were drawn in.
void sortForReading(std::vector<WindowRegistry::Text>& strings) {
    std::stable_sort(strings.begin(), strings.end(), [](const auto& first, const auto& second) {
        return first.y != second.y ? first.y > second.y : first.x < second.x;
    });
}

}  // namespace

WindowRegistry::WindowRegistry(const PluginStates& plugins) : plugins_(plugins) {}

WindowRegistry::Bounds WindowRegistry::screen() { return {ScreenLeft, ScreenTop, ScreenRight, ScreenBottom}; }

XPLMWindowID WindowRegistry::idForIndex(size_t index) {
    return reinterpret_cast<XPLMWindowID>(FirstWindowNumber + index);
}

WindowRegistry::Bounds WindowRegistry::placed(const Bounds& bounds, XPLMWindowPositioningMode mode) {
    if (mode == xplm_WindowFullScreenOnMonitor || mode == xplm_WindowFullScreenOnAllMonitors) return screen();
    if (mode != xplm_WindowCenterOnMonitor) return bounds;
    int width = bounds.right - bounds.left;
    int height = bounds.top - bounds.bottom;
    int left = ScreenLeft + (ScreenRight - ScreenLeft - width) / 2;
    int bottom = ScreenBottom + (ScreenTop - ScreenBottom - height) / 2;
    return {left, bottom + height, left + width, bottom};
}

XPLMWindowID WindowRegistry::create(const XPLMCreateWindow_t& parameters, PluginTag owner) {
    std::lock_guard<std::mutex> guard(mutex_);
    Window window;
    window.draw = parameters.drawWindowFunc;
    window.refcon = parameters.refcon;
    window.owner = owner;
    window.bounds = {parameters.left, parameters.top, parameters.right, parameters.bottom};
    window.visible = parameters.visible != 0;
    windows_.push_back(window);
    return idForIndex(windows_.size() - 1);
}

// Any window ever made, destroyed or not, whoever's it is; null for any other identifier. Called with the lock
// held.
const WindowRegistry::Window* WindowRegistry::entryAt(XPLMWindowID window) const {
    auto number = reinterpret_cast<uintptr_t>(window);
    if (number < FirstWindowNumber || number - FirstWindowNumber >= windows_.size()) return nullptr;
    return &windows_[number - FirstWindowNumber];
}

WindowRegistry::Access WindowRegistry::access(XPLMWindowID window, PluginTag caller) const {
    if (!window) return Access::Null;
    std::lock_guard<std::mutex> guard(mutex_);
    const Window* found = entryAt(window);
    if (!found) return Access::Unknown;
    if (found->removed) return Access::Destroyed;
    return found->owner == caller ? Access::Granted : Access::Foreign;
}

// Called with the lock held.
const WindowRegistry::Window* WindowRegistry::windowFor(XPLMWindowID window, PluginTag caller) const {
    const Window* found = entryAt(window);
    return found && !found->removed && found->owner == caller ? found : nullptr;
}

WindowRegistry::Window* WindowRegistry::windowFor(XPLMWindowID window, PluginTag caller) {
    return const_cast<Window*>(static_cast<const WindowRegistry*>(this)->windowFor(window, caller));
}

void WindowRegistry::destroy(XPLMWindowID window, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (Window* doomed = windowFor(window, caller)) doomed->removed = true;
}

WindowRegistry::Bounds WindowRegistry::bounds(XPLMWindowID window, PluginTag caller) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const Window* found = windowFor(window, caller);
    return found ? found->bounds : Bounds{};
}

void WindowRegistry::setBounds(XPLMWindowID window, const Bounds& bounds, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (Window* found = windowFor(window, caller)) found->bounds = placed(bounds, found->mode);
}

bool WindowRegistry::isVisible(XPLMWindowID window, PluginTag caller) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const Window* found = windowFor(window, caller);
    return found && found->visible;
}

void WindowRegistry::setVisible(XPLMWindowID window, bool visible, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (Window* found = windowFor(window, caller)) found->visible = visible;
}

void WindowRegistry::setPositioningMode(XPLMWindowID window, XPLMWindowPositioningMode mode, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Window* found = windowFor(window, caller);
    if (!found) return;
    found->mode = mode;
    found->bounds = placed(found->bounds, mode);
}

void WindowRegistry::setTitle(XPLMWindowID window, const std::string& title, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (Window* found = windowFor(window, caller)) found->title = title;
}

bool WindowRegistry::isDrawing() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return drawing_;
}

bool WindowRegistry::record(const Text& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!drawing_) return false;
    recorded_.push_back(text);
    return true;
}

// Windows made by a draw callback wait for the next drawing.
std::vector<WindowRegistry::Drawing> WindowRegistry::drawVisible() {
    size_t count;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        count = windows_.size();
    }
    std::vector<Drawing> drawings;
    for (size_t i = 0; i < count; ++i) {
        Drawing drawing;
        if (!prepare(i, drawing)) continue;
        if (drawing.drawn) draw(i, drawing);
        drawings.push_back(std::move(drawing));
    }
    return drawings;
}

bool WindowRegistry::prepare(size_t index, Drawing& drawing) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const Window& window = windows_[index];
    if (window.removed || !window.visible) return false;
    drawing.id = idForIndex(index);
    drawing.title = window.title;
    drawing.bounds = window.bounds;
    drawing.owner = window.owner;
    drawing.drawn = !plugins_.isDisabled(window.owner);
    return true;
}

void WindowRegistry::draw(size_t index, Drawing& drawing) {
    XPLMDrawWindow_f callback;
    void* refcon;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        callback = windows_[index].draw;
        refcon = windows_[index].refcon;
        drawing_ = true;
        recorded_.clear();
    }
    {
        PluginContext context(drawing.owner);
        callback(drawing.id, refcon);
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        drawing_ = false;
        drawing.strings.swap(recorded_);
        recorded_.clear();
    }
    for (Text& text : drawing.strings) text.outside = isOutside(text, drawing.bounds);
    sortForReading(drawing.strings);
}

std::vector<std::string> WindowRegistry::leftBehind(PluginTag owner) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> lines;
    for (const Window& window : windows_) {
        if (!window.removed && window.owner == owner) lines.push_back("window " + quoted(window.title));
    }
    return lines;
}

void WindowRegistry::forget(PluginTag owner) {
    if (owner == NoPlugin) return;
    std::lock_guard<std::mutex> guard(mutex_);
    for (Window& window : windows_) {
        if (window.owner == owner) window.removed = true;
    }
}
