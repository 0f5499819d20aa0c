#include "Simulator.h"

void Simulator::runFrame(double seconds) {
    time_ += seconds;
    ++frames_;
    model.advance(seconds);
    flightLoops.runFrame(time_);
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
