#include "plugin/PilotLogWriter.h"

#include <string>

#include "XPLMUtilities.h"
#include "base/PilotLog.h"

void PilotLogWriter::writeWaitingLines() {
    for (const std::string& line : PilotLog::take()) XPLMDebugString((LinePrefix + line + "\n").c_str());
}
