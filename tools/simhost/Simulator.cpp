#include "Simulator.h"

void Simulator::runFrame(double seconds) {
    ++frames_;
    flightLoops.runFrame();
    time_ += seconds;
    model.advance(seconds);
    windows.drawVisible();
}

std::vector<std::string> Simulator::leftBehind(PluginTag plugin) const {
    std::vector<std::string> lines = menus.leftBehind(plugin);
    std::vector<std::string> ownWindows = windows.leftBehind(plugin);
    lines.insert(lines.end(), ownWindows.begin(), ownWindows.end());
    std::vector<std::string> loops = flightLoops.leftBehind(plugin);
    lines.insert(lines.end(), loops.begin(), loops.end());
    return lines;
}

void Simulator::forgetPlugin(PluginTag plugin) {
    menus.forget(plugin);
    windows.forget(plugin);
    flightLoops.forget(plugin);
    features.forget(plugin);
    plugins.forget(plugin);
}

Simulator& simulator() {
    static Simulator instance;
    return instance;
}
