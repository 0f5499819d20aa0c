#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Eventually.h"
#include "base/PilotLog.h"

// Hostile peers cannot flood Log.txt: beyond five a second their lines are only counted, and the count is
// told in one line once the second is over. The bridge's own lines are never held back.
TEST(PilotLog, PeerLinesBeyondFiveASecondAreSummedUpInOneLine) {
    PilotLog::take();
    for (int i = 0; i < 12; ++i) PilotLog::writeForPeer("app " + std::to_string(i) + " left");
    PilotLog::write("stopped");
    std::vector<std::string> lines = PilotLog::take();
    std::vector<std::string> expected{"app 0 left", "app 1 left", "app 2 left", "app 3 left",
                                      "app 4 left", "stopped"};
    EXPECT_EQ(lines, expected);

    std::vector<std::string> later;
    EXPECT_TRUE(eventually([&] {
        for (const std::string& line : PilotLog::take()) later.push_back(line);
        return !later.empty();
    }, std::chrono::seconds(5)));
    EXPECT_EQ(later, std::vector<std::string>{"7 more app events not shown"});
}
