// PilotLogWriter: writes the pilot's log lines (PilotLog) into X-Plane's Log.txt through XPLMDebugString,
// each as "Zephrane: <line>" with its newline. Main thread only: it runs after each menu command and on
// every frame while the bridge runs, so lines that other threads add appear within a frame; the status
// window is refreshed whenever lines were written.
#pragma once

#include <string>

class PilotLogWriter {
public:
    static constexpr const char* LinePrefix = "Zephrane: ";

    static void writeWaitingLines();
    // Writes one line at once, before any line still waiting.
    static void writeLine(const std::string& line);
};
