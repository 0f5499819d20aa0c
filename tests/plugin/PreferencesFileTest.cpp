#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "plugin/PreferencesFile.h"

// The pilot's own lines, notes included, survive the plug-in's saves; only the saved key's line changes.
TEST(PreferencesFile, ASaveChangesItsOwnLineAndKeepsThePilotsLines) {
    ScratchDirectory scratch;
    std::string path = scratch.path(PreferencesFile::FileName);
    scratch.write(PreferencesFile::FileName, "# the hangar's seat 3\naccept_apps_from_anywhere 1\nstart_automatically 0\n");
    EXPECT_EQ(PreferencesFile::write(path, PreferencesFile::StartAutomaticallyKey, "1"), "");
    EXPECT_EQ(scratch.read(PreferencesFile::FileName),
              "# the hangar's seat 3\naccept_apps_from_anywhere 1\nstart_automatically 1\n");
    Preferences read = PreferencesFile::read(path);
    EXPECT_TRUE(read.startAutomatically);
    EXPECT_TRUE(read.acceptAppsFromAnywhere);
    EXPECT_TRUE(read.failure.empty());
    EXPECT_TRUE(read.ignoredLines.empty());
}

TEST(PreferencesFile, AMissingFileReadsAsDefaultsAndASaveMakesItWithTheOneLine) {
    ScratchDirectory scratch;
    std::string path = scratch.path(PreferencesFile::FileName);
    Preferences read = PreferencesFile::read(path);
    EXPECT_FALSE(read.startAutomatically);
    EXPECT_FALSE(read.acceptAppsFromAnywhere);
    EXPECT_TRUE(read.failure.empty());
    EXPECT_EQ(PreferencesFile::write(path, PreferencesFile::StartAutomaticallyKey, "1"), "");
    EXPECT_EQ(scratch.read(PreferencesFile::FileName), "start_automatically 1\n");
}

// A line not understood counts for nothing, and says which it was; the lines around it still count.
TEST(PreferencesFile, LinesNotUnderstoodAreIgnoredOneByOne) {
    ScratchDirectory scratch;
    std::string path = scratch.path(PreferencesFile::FileName);
    scratch.write(PreferencesFile::FileName,
                  "accept_apps_from_anywhere yes\r\n\r\n  start_automatically 1  \r\naccept_app_from_anywhere 1\r\n");
    Preferences read = PreferencesFile::read(path);
    EXPECT_TRUE(read.startAutomatically);
    EXPECT_FALSE(read.acceptAppsFromAnywhere);
    EXPECT_EQ(read.ignoredLines, (std::vector<std::string>{"line 1", "line 4"}));
}

// A name that cannot be a DNS-SD service name is not used, and says why; a good one is taken as written.
TEST(PreferencesFile, AServiceNameIsTakenAsWrittenOrRefusedWithTheReason) {
    ScratchDirectory scratch;
    std::string path = scratch.path(PreferencesFile::FileName);
    auto nameFrom = [&](const std::string& line) {
        scratch.write(PreferencesFile::FileName, line + "\n");
        return PreferencesFile::read(path);
    };
    EXPECT_EQ(nameFrom("service_name   Seat 3 \r").serviceName, "Seat 3");
    EXPECT_EQ(nameFrom("service_name Cockpit \xc3\xa9""cole").serviceName, "Cockpit \xc3\xa9""cole");
    std::string longest(PreferencesFile::LongestServiceName, 'x');
    EXPECT_EQ(nameFrom("service_name " + longest).serviceName, longest);
    for (const std::string& bad : {std::string("service_name"), "service_name " + longest + "y",
                                   std::string("service_name Seat \xff"), std::string("service_name Seat\x01")}) {
        Preferences read = nameFrom(bad);
        EXPECT_EQ(read.serviceName, "") << bad;
        EXPECT_FALSE(read.serviceNameProblem.empty()) << bad;
        EXPECT_TRUE(read.ignoredLines.empty()) << bad;
    }
}
