#include "platform/posix/StatTimes.h"

StatTimes statTimesOf(const struct stat& info) {
    return StatTimes{info.st_atimespec.tv_sec, info.st_mtimespec.tv_sec, info.st_birthtimespec.tv_sec};
}
