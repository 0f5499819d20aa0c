// The test programs' main: GoogleTest's, then what every host of the library does before it exits, as the
// plug-in does in XPluginStop: the threads of ours that ended by themselves (an announcement withdrawn in
// the background, a connection closed from its own thread) are joined, so that none is left unjoined.
#include <gtest/gtest.h>

#include <chrono>

#include "thread/BaseThread.h"

namespace {

// Threads still at work when the tests are over end within their own time-outs.
constexpr std::chrono::seconds ThreadsEndLimit{10};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    BaseThread::waitForAllThreadsToEnd(ThreadsEndLimit);
    return result;
}
