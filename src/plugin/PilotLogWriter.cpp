#include "plugin/PilotLogWriter.h"

#include <string>

#include "XPLMUtilities.h"
#include "base/PilotLog.h"
#include "plugin/StatusWindow.h"

// Every line tells of a change, which the status window shows at once.
void PilotLogWriter::writeWaitingLines() {
    std::vector<std::string> lines = PilotLog::take();
    for (const std::string& line : lines) writeLine(line);
    if (!lines.empty()) StatusWindow::refreshIfVisible();
}

void PilotLogWriter::writeLine(const std::string& line) { XPLMDebugString((LinePrefix + line + "\n").c_str()); }
