// ConsoleCommands: what simhost does with one line typed on its console. Every command answers with a
// line on standard output; an unknown command or a bad value gets a one-line error on standard error and
// changes nothing.
//   menu                         list the menus and their items
//   click <item text>            choose the menu item with this text
//   handler <menu title> <ref>   call a menu's handler with any item reference, as a stray item would
//   enable | disable             enable or disable every plug-in
//   reload                       unload every plug-in, then load, start and enable them again
//   plane                        tell the plug-ins the user's aircraft was unloaded and loaded again
//   set <dataref> <value>        freeze the flight model and set a dataref (the value is the last word)
//   datarefs                     list the datarefs and their values
//   windows                      draw each visible window once and print the text it drew, top to bottom
//   freeze | fly                 stop or resume the flight model
//   status                       print the status line now
//   resources                    print simhost's threads and open descriptors (-1 where the system hides them)
//   help                         list the commands
//   quit                         disable, stop and unload the plug-ins, then exit
#pragma once

#include <string>

class SimHost;

class ConsoleCommands {
public:
    explicit ConsoleCommands(SimHost& host) : host_(host) {}
    void execute(const std::string& line);

private:
    void listMenus();
    void click(const std::string& text);
    void callHandler(const std::string& arguments);
    void enablePlugins();
    void disablePlugins();
    void reload();
    void plane();
    void setDataref(const std::string& arguments);
    void listDatarefs();
    void showWindows();
    void freeze();
    void fly();
    void status();
    void resources();
    void help();
    void quit();

    SimHost& host_;
};
