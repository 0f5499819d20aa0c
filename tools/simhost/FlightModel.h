// FlightModel: the scripted aircraft simhost flies. It flies a racetrack circuit: straight legs and
// 180-degree banked turns at a nearly constant ground speed, with a slow climb and descent, a slight
// crab and slip and light turbulence, so that every one of the ten position values keeps moving. Each
// step writes the new values into the dataref table, with the aircraft's acceleration in X-Plane's local
// frame: its change of velocity over the step, gravity not included. Frozen, it leaves the datarefs as they
// are, so that values set by hand stay; flying again continues from the model's own state.
#pragma once

#include "DatarefTable.h"

// A vector in X-Plane's local OpenGL frame: x points east, y up and z south.
struct LocalVector {
    double x;
    double y;
    double z;
};

struct AircraftState {
    double latitude;       // degrees
    double longitude;      // degrees
    double elevation;      // metres above sea level
    double groundSpeed;    // metres per second
    double course;         // degrees true, the direction of flight
    double pitch;          // degrees
    double roll;           // degrees, right wing down positive
    double heading;        // degrees true, where the nose points
    double slip;           // degrees
    LocalVector acceleration;  // metres per second squared
};

class FlightModel {
public:
    explicit FlightModel(DatarefTable& datarefs);

    // Advances the aircraft by seconds and writes the datarefs; does nothing while frozen.
    void advance(double seconds);
    void freeze() { frozen_ = true; }
    void fly() { frozen_ = false; }
    bool frozen() const { return frozen_; }
    const AircraftState& state() const { return state_; }
    // Back to the start of the circuit, flying, with the datarefs written.
    void reset();

private:
    double targetRoll() const;
    void steer(double seconds);
    void move(double seconds);
    void writeDatarefs() const;

    DatarefTable& datarefs_;
    AircraftState state_{};
    double time_ = 0.0;
    LocalVector velocity_{};  // metres per second, at the end of the last step
    bool frozen_ = false;
};
