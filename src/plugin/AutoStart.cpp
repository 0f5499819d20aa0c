#include "plugin/AutoStart.h"

#include <string>

#include "base/PilotLog.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/PilotLogWriter.h"
#include "plugin/PluginMenu.h"
#include "plugin/PluginPreferences.h"

namespace {

// Touched on the main thread only.
bool choiceOn = false;

std::string choiceText(bool on) { return on ? "on" : "off"; }

}  // namespace

void AutoStart::load() {
    PluginPreferences::locate();
    choiceOn = PluginPreferences::read().startAutomatically;
    PluginMenu::showAutoStart(choiceOn);
    PilotLogWriter::writeWaitingLines();
}

void AutoStart::toggle() {
    bool wanted = !choiceOn;
    std::string failure = PluginPreferences::save(PreferencesFile::StartAutomaticallyKey, wanted ? "1" : "0");
    if (failure.empty()) {
        choiceOn = wanted;
        PilotLog::write(wanted ? "the bridge will start by itself when X-Plane starts"
                               : "the bridge will no longer start by itself");
    } else {
        const std::string& file = PluginPreferences::path();
        std::string where = file.empty() ? "" : " in " + file;
        PilotLog::write("could not save the choice" + where + " (" + failure + "); starting by itself stays " +
                        choiceText(choiceOn));
    }
    PluginMenu::showAutoStart(choiceOn);
    PilotLogWriter::writeWaitingLines();
}

void AutoStart::startIfChosen() {
    if (choiceOn) BridgeSwitch::start();
}
