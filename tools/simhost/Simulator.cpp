#include "Simulator.h"

void Simulator::runFrame(double seconds) {
    ++frames_;
    flightLoops.runFrame();
    time_ += seconds;
    model.advance(seconds);
}

void Simulator::forgetPlugin(PluginTag plugin) {
    menus.forget(plugin);
    flightLoops.forget(plugin);
    features.forget(plugin);
}

Simulator& simulator() {
    static Simulator instance;
    return instance;
}
