#include "platform/posix/StatTimes.h"

// Linux keeps no creation time in struct stat: the status-change time stands for it.
StatTimes statTimesOf(const struct stat& info) {
    return StatTimes{info.st_atim.tv_sec, info.st_mtim.tv_sec, info.st_ctim.tv_sec};
}
