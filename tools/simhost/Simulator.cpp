#include "Simulator.h"

void Simulator::runFrame(double seconds) {
    time_ += seconds;
    ++frames_;
    model.advance(seconds);
    flightLoops.runFrame(time_);
}

Simulator& simulator() {
    static Simulator instance;
    return instance;
}
