#pragma once

#include <cstdint>

#include "drivesim/ObjectTable.h"
#include "drivesim/TrajectoryGenerator.h"

namespace tarvo::sim {

// The motor on the drive's shaft with its three control loops: position loop, velocity loop
// (PI) and current loop (PI on the winding), all driven by the loop gains of the dictionary,
// so that a gain change shows in live values and captures. Publishes the actual values.
class MotorModel {
public:
    // Conditions that the error control turns into error state bits.
    struct Conditions {
        bool overCurrent = false;
        bool overVoltage = false;
        bool lowVoltage = false;
        bool overTemperature = false;
        bool followingError = false;
        bool overload = false;
        bool overSpeed = false;
    };

    MotorModel(ObjectTable& table, uint32_t seed);

    // Standstill at position 0, as after power-on.
    void Reset();
    void Step(double dt, bool powerOn, const TrajectoryGenerator::Output& demand);

    double Position() const { return position_ + positionOffset_; }
    double Velocity() const { return filteredVelocity_; }
    double CountsPerRev() const { return countsPerRev_; }
    bool Standstill() const;
    const Conditions& Now() const { return conditions_; }

private:
    double Noise(double amplitude);
    void Publish(const TrajectoryGenerator::Output& demand, double currentCommand);

    ObjectTable& table_;
    uint32_t seed_;
    uint32_t random_;

    SimObject* ratedCurrent_;
    SimObject* peakCurrent_;
    SimObject* countsPerRevolution_;
    SimObject* resistance_;
    SimObject* inductance_;
    SimObject* torqueConstant_;
    SimObject* rotorInertia_;
    SimObject* maxSpeed_;
    SimObject* polePairs_;
    SimObject* inertiaRatio_;
    SimObject* positionGain_;
    SimObject* velocityFeedForward_;
    SimObject* velocityGain_;
    SimObject* velocityIntegralGain_;
    SimObject* velocityFilter_;
    SimObject* currentGain_;
    SimObject* currentIntegralGain_;
    SimObject* maxCurrent_;
    SimObject* maxTorque_;
    SimObject* followingWindow_;
    SimObject* followingTimeout_;
    SimObject* overVoltageLevel_;
    SimObject* lowVoltageLevel_;

    SimObject* positionDemand_;
    SimObject* positionInternal_;
    SimObject* positionActual_;
    SimObject* velocityDemand_;
    SimObject* velocityActual_;
    SimObject* followingErrorActual_;
    SimObject* torqueDemand_;
    SimObject* torqueActual_;
    SimObject* currentActual_;
    SimObject* phaseA_;
    SimObject* phaseB_;
    SimObject* quadratureActual_;
    SimObject* quadratureDemand_;
    SimObject* directActual_;
    SimObject* motorLoad_;
    SimObject* dcLink_;
    SimObject* busVoltage_;
    SimObject* temperature_;

    double countsPerRev_ = 4000;
    double nominalBus_ = 24.0;     // volts
    double angle_ = 0;             // shaft angle in radians
    double speed_ = 0;             // rad/s
    double position_ = 0;          // counts from the shaft angle
    double positionOffset_ = 0;    // set by homing
    double filteredVelocity_ = 0;  // counts/s
    double current_ = 0;           // q-axis current in amperes
    double currentErrorIntegral_ = 0;
    double velocityErrorIntegral_ = 0;
    double load_ = 0;  // moving mean of the squared current in mA^2
    double temperatureC_ = 35.0;
    double followingTime_ = 0;
    Conditions conditions_;
};

}  // namespace tarvo::sim
