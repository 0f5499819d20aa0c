#include "ConsoleCommands.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "HostOutput.h"
#include "SimHost.h"
#include "Simulator.h"
#include "platform/ProcessCounts.h"

namespace {

constexpr const char* Blanks = " \t";

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(Blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

// Splits "words ... last" at its last blank: the leading part may itself hold blanks.
bool splitLastWord(const std::string& text, std::string& head, std::string& last) {
    size_t blank = text.find_last_of(Blanks);
    if (blank == std::string::npos) return false;
    head = trimmed(text.substr(0, blank));
    last = text.substr(blank + 1);
    return !head.empty() && !last.empty();
}

bool parseReference(const std::string& text, intptr_t& reference) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, reference);
    return error == std::errc() && stop == end;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// What a window drew may hold anything; its control characters would break the console's lines.
std::string printable(std::string text) {
    for (char& character : text) {
        if (static_cast<unsigned char>(character) < ' ' || character == '\x7f') character = '?';
    }
    return text;
}

// window "Zephrane bridge" at 20,780 to 520,600 (Zephrane): the title, the top left and bottom right corners
// and the owner.
std::string windowHeading(const WindowRegistry::Drawing& drawing, const std::string& owner) {
    const WindowRegistry::Bounds& bounds = drawing.bounds;
    return "window " + quoted(printable(drawing.title)) + " at " + std::to_string(bounds.left) + "," +
           std::to_string(bounds.top) + " to " + std::to_string(bounds.right) + "," + std::to_string(bounds.bottom) +
           " (" + owner + ")";
}

constexpr const char* OutsideMark = "   [outside the window]";

}  // namespace

void ConsoleCommands::execute(const std::string& line) {
    std::string text = trimmed(line);
    if (text.empty()) return;
    size_t blank = text.find_first_of(Blanks);
    std::string word = text.substr(0, blank);
    std::string rest = blank == std::string::npos ? std::string() : trimmed(text.substr(blank));
    bool bare = rest.empty();
    if (word == "menu" && bare) return listMenus();
    if (word == "click" && !bare) return click(rest);
    if (word == "handler" && !bare) return callHandler(rest);
    if (word == "enable" && bare) return enablePlugins();
    if (word == "disable" && bare) return disablePlugins();
    if (word == "reload" && bare) return reload();
    if (word == "plane" && bare) return plane();
    if (word == "set" && !bare) return setDataref(rest);
    if (word == "datarefs" && bare) return listDatarefs();
    if (word == "windows" && bare) return showWindows();
    if (word == "freeze" && bare) return freeze();
    if (word == "fly" && bare) return fly();
    if (word == "status" && bare) return status();
    if (word == "resources" && bare) return resources();
    if (word == "help" && bare) return help();
    if (word == "quit" && bare) return quit();
    hostComplain("cannot understand " + quoted(text) + "; type help for the commands");
}

void ConsoleCommands::listMenus() {
    for (const std::string& line : simulator().menus.listing()) hostSay(line);
}

void ConsoleCommands::click(const std::string& text) { host_.click(text); }

void ConsoleCommands::callHandler(const std::string& arguments) {
    std::string title, referenceText;
    intptr_t reference = 0;
    if (!splitLastWord(arguments, title, referenceText) || !parseReference(referenceText, reference)) {
        hostComplain("handler needs a menu title and a whole-number item reference");
        return;
    }
    MenuRegistry::Click call = simulator().menus.callHandler(title, reinterpret_cast<void*>(reference));
    if (call.outcome == MenuRegistry::Outcome::NotFound) {
        hostComplain("no menu " + quoted(title) + " with a handler");
        return;
    }
    if (call.outcome == MenuRegistry::Outcome::OwnerDisabled) {
        host_.sayDisabledChoice(call, "the handler of " + quoted(title));
        return;
    }
    hostSay("called the handler of " + quoted(title) + " with item reference " + std::to_string(reference));
}

void ConsoleCommands::enablePlugins() {
    for (const auto& plugin : host_.plugins()) {
        if (plugin->enabled()) {
            hostComplain(plugin->name() + " is already enabled");
            continue;
        }
        hostSay(plugin->name() + ": XPluginEnable returned " + std::to_string(plugin->enable()));
    }
}

void ConsoleCommands::disablePlugins() {
    for (const auto& plugin : host_.plugins()) {
        if (!plugin->enabled()) {
            hostComplain(plugin->name() + " is already disabled");
            continue;
        }
        plugin->disable();
        hostSay(plugin->name() + ": XPluginDisable done");
    }
}

void ConsoleCommands::reload() {
    hostSay("reloading the plug-ins");
    host_.reload();
    hostSay("plug-ins reloaded");
}

void ConsoleCommands::plane() { host_.changePlane(); }

void ConsoleCommands::setDataref(const std::string& arguments) {
    std::string name, value;
    if (!splitLastWord(arguments, name, value)) {
        hostComplain("set needs a dataref name and a value");
        return;
    }
    switch (simulator().datarefs.setFromText(name, value)) {
    case DatarefTable::SetResult::UnknownName:
        hostComplain("no dataref " + quoted(name));
        return;
    case DatarefTable::SetResult::BadValue:
        hostComplain(quoted(value) + " is not a number " + quoted(name) + " can hold");
        return;
    case DatarefTable::SetResult::Done:
        break;
    }
    simulator().model.freeze();
    hostSay("set " + name + " = " + value + " (flight model frozen)");
}

void ConsoleCommands::listDatarefs() {
    for (const std::string& name : simulator().datarefs.names()) {
        char value[64];
        std::snprintf(value, sizeof(value), "%.17g", simulator().datarefs.value(name));
        hostSay("dataref " + name + " = " + value);
    }
}

// Each visible window in the order they were made, its text indented below it in reading order; a disabled
// plug-in's window is not drawn.
void ConsoleCommands::showWindows() {
    std::vector<WindowRegistry::Drawing> drawings = simulator().windows.drawVisible();
    if (drawings.empty()) hostSay("no window is visible");
    for (const WindowRegistry::Drawing& drawing : drawings) {
        std::string owner = host_.nameOf(drawing.owner);
        std::string heading = windowHeading(drawing, owner);
        if (!drawing.drawn) {
            hostSay(heading + " is not drawn: " + owner + " is disabled");
            continue;
        }
        hostSay(heading + (drawing.strings.empty() ? ": no text" : ":"));
        for (const WindowRegistry::Text& text : drawing.strings) {
            hostSay("  " + printable(text.text) + (text.outside ? OutsideMark : ""));
        }
    }
}

void ConsoleCommands::freeze() {
    simulator().model.freeze();
    hostSay("flight model frozen");
}

void ConsoleCommands::fly() {
    simulator().model.fly();
    hostSay("flight model flying");
}

void ConsoleCommands::status() { hostSay(host_.statusLine()); }

void ConsoleCommands::resources() {
    hostSay("resources threads=" + std::to_string(processThreadCount()) +
            " descriptors=" + std::to_string(processDescriptorCount()));
}

void ConsoleCommands::help() {
    hostSay("commands: menu | click <item text> | handler <menu title> <reference> | enable | disable |");
    hostSay("          reload | plane | set <dataref> <value> | datarefs | windows | freeze | fly | status |");
    hostSay("          resources | help | quit");
}

void ConsoleCommands::quit() {
    hostSay("quitting");
    host_.requestQuit();
}
