#include "plugin/PilotLogWriter.h"

#include <string>

#include "XPLMUtilities.h"
#include "base/PilotLog.h"

void PilotLogWriter::writeWaitingLines() {
    for (const std::string& line : PilotLog::take()) writeLine(line);
}

void PilotLogWriter::writeLine(const std::string& line) { XPLMDebugString((LinePrefix + line + "\n").c_str()); }
