// What the plug-in's last step does with its shared objects, and the one line it writes for the pilot.
#include <gtest/gtest.h>

#include <string>

#include "plugin/ModuleExit.h"

namespace {

bool says(const std::string& line, const char* words) { return line.find(words) != std::string::npos; }

}  // namespace

// A thread that may still run keeps the objects whether or not the pin worked; a pin keeps them even with
// every thread ended (the system may still call in); only then are they given back, silently.
TEST(ModuleExit, KeepsTheSharedObjectsWhileAnythingOfOursMayStillRun) {
    ModuleExit::Plan unpinned = ModuleExit::plan(false, nullptr, "access is denied");
    EXPECT_FALSE(unpinned.releaseObjects);
    EXPECT_TRUE(says(unpinned.logLine, "access is denied") && says(unpinned.logLine, "kept")) << unpinned.logLine;

    ModuleExit::Plan pinned = ModuleExit::plan(true, "Windows' own DNS-SD may still call into the plug-in", "");
    EXPECT_FALSE(pinned.releaseObjects);
    EXPECT_TRUE(says(pinned.logLine, "stays in memory") && says(pinned.logLine, "Windows' own")) << pinned.logLine;

    ModuleExit::Plan ended = ModuleExit::plan(true, nullptr, "");
    EXPECT_TRUE(ended.releaseObjects);
    EXPECT_EQ(ended.logLine, "");
}
