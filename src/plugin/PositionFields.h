// The ten values of a position report: the key each is sent under, the simulator dataref it comes from and
// how it is read, in the order in which they are read and inserted into the report.
#pragma once

#include <array>
#include <cstddef>

#include "base/StringLiteral.h"

enum class DatarefReading { Double, Float };

struct PositionField {
    StringLiteral key;
    const char* dataref;
    DatarefReading reading;
};

inline constexpr std::array<PositionField, 10> PositionFields = {{
    {"latitude"_lit, "sim/flightmodel/position/latitude", DatarefReading::Double},
    {"longitude"_lit, "sim/flightmodel/position/longitude", DatarefReading::Double},
    {"altitude"_lit, "sim/flightmodel/position/elevation", DatarefReading::Double},
    {"speed"_lit, "sim/flightmodel/position/groundspeed", DatarefReading::Float},
    {"course"_lit, "sim/flightmodel/position/hpath", DatarefReading::Float},
    {"pitch"_lit, "sim/flightmodel/position/theta", DatarefReading::Float},
    {"roll"_lit, "sim/flightmodel/position/phi", DatarefReading::Float},
    {"yaw"_lit, "sim/flightmodel/position/psi", DatarefReading::Float},
    {"slip"_lit, "sim/flightmodel/misc/slip", DatarefReading::Float},
    {"accelerationZ"_lit, "sim/flightmodel/position/local az", DatarefReading::Float},
}};

inline constexpr std::size_t PositionFieldCount = PositionFields.size();
