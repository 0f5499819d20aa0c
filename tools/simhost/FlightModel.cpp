#include "FlightModel.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double StartLatitude = 47.4490;
constexpr double StartLongitude = -122.3093;
constexpr double StartCourse = 90.0;
constexpr double CircuitElevation = 600.0;
constexpr double ElevationSwing = 120.0;
constexpr double ElevationPeriod = 180.0;
constexpr double CruiseSpeed = 60.0;
constexpr double SpeedSwing = 0.8;
constexpr double SpeedPeriod = 23.0;
constexpr double TurnBank = 25.0;
constexpr double StraightSeconds = 40.0;
constexpr double RollTimeConstant = 1.5;
constexpr double TurbulenceRoll = 1.5;
constexpr double TurbulencePeriod = 7.0;
constexpr double SlipSwing = 0.6;
constexpr double SlipPeriod = 11.0;
constexpr double CrabSwing = 2.0;
constexpr double CrabPeriod = 97.0;
constexpr double CruisePitch = 2.5;
constexpr double Gravity = 9.80665;
constexpr double EarthRadius = 6371000.0;

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }
double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double wave(double swing, double period, double time) {
    return swing * std::sin(2.0 * std::numbers::pi * time / period);
}
double waveRate(double swing, double period, double time) {
    double omega = 2.0 * std::numbers::pi / period;
    return swing * omega * std::cos(omega * time);
}
double normalizedDegrees(double angle) {
    angle = std::fmod(angle, 360.0);
    return angle < 0.0 ? angle + 360.0 : angle;
}

// The velocity of flight along course at groundSpeed, climbing at climb.
LocalVector localVelocity(double groundSpeed, double course, double climb) {
    double north = groundSpeed * std::cos(radians(course));
    double east = groundSpeed * std::sin(radians(course));
    return {east, climb, -north};
}

// The mean acceleration that takes before to after in seconds.
LocalVector acceleration(const LocalVector& before, const LocalVector& after, double seconds) {
    return {(after.x - before.x) / seconds, (after.y - before.y) / seconds, (after.z - before.z) / seconds};
}

// How long a turn at the circuit's bank and speed takes to reverse the course.
double turnSeconds() { return std::numbers::pi * CruiseSpeed / (Gravity * std::tan(radians(TurnBank))); }

}  // namespace

FlightModel::FlightModel(DatarefTable& datarefs) : datarefs_(datarefs) { reset(); }

void FlightModel::reset() {
    time_ = 0.0;
    frozen_ = false;
    state_ = AircraftState{StartLatitude, StartLongitude, CircuitElevation, CruiseSpeed, StartCourse,
                           CruisePitch, 0.0, StartCourse, 0.0, LocalVector{}};
    velocity_ = localVelocity(CruiseSpeed, StartCourse, waveRate(ElevationSwing, ElevationPeriod, time_));
    writeDatarefs();
}

void FlightModel::advance(double seconds) {
    if (frozen_ || seconds <= 0.0) return;
    time_ += seconds;
    steer(seconds);
    move(seconds);
    writeDatarefs();
}

// Straight, turn, straight, turn: the bank the pilot aims for at this point of the circuit.
double FlightModel::targetRoll() const {
    double leg = StraightSeconds + turnSeconds();
    double phase = std::fmod(time_, leg);
    return phase < StraightSeconds ? 0.0 : TurnBank;
}

void FlightModel::steer(double seconds) {
    double aimed = targetRoll() + wave(TurbulenceRoll, TurbulencePeriod, time_);
    state_.roll += (aimed - state_.roll) * (1.0 - std::exp(-seconds / RollTimeConstant));
    state_.groundSpeed = CruiseSpeed + wave(SpeedSwing, SpeedPeriod, time_);
    double turnRate = Gravity * std::tan(radians(state_.roll)) / state_.groundSpeed;
    state_.course = normalizedDegrees(state_.course + degrees(turnRate * seconds));
    state_.heading = normalizedDegrees(state_.course + wave(CrabSwing, CrabPeriod, time_));
    state_.slip = wave(SlipSwing, SlipPeriod, time_);
}

void FlightModel::move(double seconds) {
    double climb = waveRate(ElevationSwing, ElevationPeriod, time_);
    LocalVector velocity = localVelocity(state_.groundSpeed, state_.course, climb);
    double north = -velocity.z;
    state_.latitude += degrees(north * seconds / EarthRadius);
    state_.longitude += degrees(velocity.x * seconds / (EarthRadius * std::cos(radians(state_.latitude))));
    state_.elevation = CircuitElevation + wave(ElevationSwing, ElevationPeriod, time_);
    state_.pitch = CruisePitch + degrees(std::atan2(climb, state_.groundSpeed));
    state_.acceleration = acceleration(velocity_, velocity, seconds);
    velocity_ = velocity;
}

void FlightModel::writeDatarefs() const {
    datarefs_.set("sim/flightmodel/position/latitude", state_.latitude);
    datarefs_.set("sim/flightmodel/position/longitude", state_.longitude);
    datarefs_.set("sim/flightmodel/position/elevation", state_.elevation);
    datarefs_.set("sim/flightmodel/position/groundspeed", state_.groundSpeed);
    datarefs_.set("sim/flightmodel/position/hpath", state_.course);
    datarefs_.set("sim/flightmodel/position/theta", state_.pitch);
    datarefs_.set("sim/flightmodel/position/phi", state_.roll);
    datarefs_.set("sim/flightmodel/position/psi", state_.heading);
    datarefs_.set("sim/flightmodel/misc/slip", state_.slip);
    datarefs_.set("sim/flightmodel/position/local_ax", state_.acceleration.x);
    datarefs_.set("sim/flightmodel/position/local_ay", state_.acceleration.y);
    datarefs_.set("sim/flightmodel/position/local_az", state_.acceleration.z);
}
