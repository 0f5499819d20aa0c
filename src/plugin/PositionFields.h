// The ten values of a position report: the key each is sent under, the simulator dataref it comes from and
// how it is read (with the getter of the dataref's type: X-Plane answers a getter of another type with 0), in
// the order in which they are read and inserted into the report.
#pragma once

#include <array>
#include <cstddef>

#include "base/StringLiteral.h"

enum class DatarefReading { Double, Float };

struct PositionField {
    StringLiteral key;
    const char* dataref;
    DatarefReading reading;
    // An earlier name of the dataref, or null. It is looked up first and read where the simulator has it, so
    // that such a simulator is read as before; X-Plane has only the dataref's own name.
    const char* earlierDataref;
};

inline constexpr std::array<PositionField, 10> PositionFields = {{
    {"latitude"_lit, "sim/flightmodel/position/latitude", DatarefReading::Double, nullptr},
    {"longitude"_lit, "sim/flightmodel/position/longitude", DatarefReading::Double, nullptr},
    {"altitude"_lit, "sim/flightmodel/position/elevation", DatarefReading::Double, nullptr},
    {"speed"_lit, "sim/flightmodel/position/groundspeed", DatarefReading::Float, nullptr},
    {"course"_lit, "sim/flightmodel/position/hpath", DatarefReading::Float, nullptr},
    {"pitch"_lit, "sim/flightmodel/position/theta", DatarefReading::Float, nullptr},
    {"roll"_lit, "sim/flightmodel/position/phi", DatarefReading::Float, nullptr},
    {"yaw"_lit, "sim/flightmodel/position/psi", DatarefReading::Float, nullptr},
    {"slip"_lit, "sim/flightmodel/misc/slip", DatarefReading::Float, nullptr},
    {"accelerationZ"_lit, "sim/flightmodel/position/local_az", DatarefReading::Float,
     "sim/flightmodel/position/local az"},
}};

inline constexpr std::size_t PositionFieldCount = PositionFields.size();
