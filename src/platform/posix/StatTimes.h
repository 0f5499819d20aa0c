// The three times of a status query, read from the fields in which the system keeps them (Linux st_atim,
// the Mac st_atimespec and its creation time st_birthtimespec). Implemented in src/platform/linux and
// src/platform/darwin.
#pragma once

#include <sys/stat.h>

#include <cstdint>

struct StatTimes {
    int64_t access;
    int64_t modification;
    int64_t creation;  // the creation time where the system keeps it, else the status-change time
};

StatTimes statTimesOf(const struct stat& info);
