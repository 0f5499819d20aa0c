// simhost: the stand-in simulator. See SimHost.h for what a run does and HostOptions.h for its options.
#include <cstdio>

#include "HostOptions.h"
#include "HostOutput.h"
#include "SimHost.h"

namespace {

constexpr int UsageError = 2;

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    std::optional<HostOptions> options = parseHostOptions(argc, argv, &error);
    if (!options) {
        hostComplain(error);
        std::fputs(hostUsage(), stderr);
        return UsageError;
    }
    if (options->help) {
        std::fputs(hostUsage(), stdout);
        return 0;
    }
    return SimHost(std::move(*options)).run();
}
