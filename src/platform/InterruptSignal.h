// InterruptSignal: turns the interrupt signal (Ctrl-C) and the termination request into a flag that a
// program's main loop polls, so that it can shut down in order instead of dying mid-frame.
#pragma once

class InterruptSignal {
public:
    // Installs the handlers; from then on the signals only raise the flag. False when that fails.
    static bool catchSignals();
    // True once either signal has arrived.
    static bool received();
};
