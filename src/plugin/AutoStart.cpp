#include "plugin/AutoStart.h"

#include <string>

#include "XPLMUtilities.h"
#include "base/PilotLog.h"
#include "base/SharedObjectsLock.h"
#include "plugin/AutoStartFile.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/PilotLogWriter.h"
#include "plugin/PluginMenu.h"

namespace {

// The SDK asks for at least 512 bytes; more leaves room for a long installation path.
constexpr size_t PrefsPathCapacity = 4096;
constexpr const char* FolderSeparators = "/\\";

// Touched on the main thread only. An empty path: the preferences folder is unknown. The path is released
// with the module's other shared objects at XPluginStop.
bool choiceOn = false;
SharedInstance<std::string> preferencesFile;

std::string& filePath() { return *preferencesFile.get(); }

// The simulator names a file inside its preferences folder; the plug-in's own file goes beside it.
std::string autoStartFilePath() {
    char prefsPath[PrefsPathCapacity] = {};
    XPLMGetPrefsPath(prefsPath);
    prefsPath[PrefsPathCapacity - 1] = '\0';
    std::string simulatorFile = prefsPath;
    size_t separator = simulatorFile.find_last_of(FolderSeparators);
    if (separator == std::string::npos) return {};
    return simulatorFile.substr(0, separator + 1) + AutoStartFile::FileName;
}

std::string choiceText(bool on) { return on ? "on" : "off"; }

// Empty when saved, else why not.
std::string save(bool on) {
    if (filePath().empty()) return "X-Plane's preferences folder is unknown";
    return AutoStartFile::write(filePath(), on);
}

}  // namespace

void AutoStart::load() {
    filePath() = autoStartFilePath();
    choiceOn = false;
    if (filePath().empty()) {
        PilotLog::write("could not find X-Plane's preferences folder; the bridge will not start by itself");
    } else {
        AutoStartReading reading = AutoStartFile::read(filePath());
        choiceOn = reading.on;
        if (!reading.failure.empty()) {
            PilotLog::write("could not read " + filePath() + " (" + reading.failure +
                            "); the bridge will not start by itself");
        }
    }
    PluginMenu::showAutoStart(choiceOn);
    PilotLogWriter::writeWaitingLines();
}

void AutoStart::toggle() {
    bool wanted = !choiceOn;
    std::string failure = save(wanted);
    if (failure.empty()) {
        choiceOn = wanted;
        PilotLog::write(wanted ? "the bridge will start by itself when X-Plane starts"
                               : "the bridge will no longer start by itself");
    } else {
        std::string where = filePath().empty() ? "" : " in " + filePath();
        PilotLog::write("could not save the choice" + where + " (" + failure +
                        "); starting by itself stays " + choiceText(choiceOn));
    }
    PluginMenu::showAutoStart(choiceOn);
    PilotLogWriter::writeWaitingLines();
}

void AutoStart::startIfChosen() {
    if (choiceOn) BridgeSwitch::start();
}
