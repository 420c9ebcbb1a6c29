#pragma once

#include <cstdint>

#include "drivesim/ObjectTable.h"

namespace tarvo::sim {

// What the motion commands of the present operation mode ask for, step by step: the
// position and velocity demand of the position and velocity modes, the torque command of
// the torque mode. Positions are in encoder counts, velocities in counts per second.
class TrajectoryGenerator {
public:
    struct Input {
        double dt = 0;              // seconds since the last step
        bool enabled = false;       // operation enabled: the motion commands act
        bool stopping = false;      // quick stop or fault reaction: brake to standstill
        bool slowDownRamp = false;  // brake with the profile deceleration, not the quick stop's
        uint16_t controlword = 0;   // bit 4 new set-point / start homing, 6 relative, 8 halt
        double actualPosition = 0;
        double actualVelocity = 0;
        double countsPerRev = 4000;
        uint32_t inputFunctions = 0;  // active input function bits (velocity select ...)
    };
    struct Output {
        double position = 0;
        double velocity = 0;
        bool torqueMode = false;
        double torquePerMille = 0;  // torque command of the torque mode
        bool positionControl = true;
        bool targetReached = false;
        bool setPointAcknowledged = false;
        bool homingAttained = false;
        bool rehome = false;  // the actual position is to be set to homePosition
        double homePosition = 0;
    };

    explicit TrajectoryGenerator(ObjectTable& table);

    void Reset();
    Output Step(const Input& input);
    int Mode() const { return mode_; }

private:
    // Moves the demand toward `target` within the velocity and acceleration limits;
    // true once it is there and at rest.
    bool Approach(double target, double maxVelocity, double acceleration, double deceleration,
                  double dt);
    void Ramp(double targetVelocity, double acceleration, double deceleration, double dt);
    double Velocity(const SimObject* object, double countsPerRev) const;
    void ProfilePosition(const Input& input, Output& output);
    void Homing(const Input& input, Output& output);
    void AutoReverse(const Input& input, Output& output);
    void ClockSwing(const Input& input, Output& output);

    ObjectTable& table_;
    SimObject* modeOfOperation_;
    SimObject* positionWindow_;
    SimObject* positionWindowTime_;
    SimObject* modeDisplay_;
    SimObject* targetPosition_;
    SimObject* profileVelocity_;
    SimObject* profileAcceleration_;
    SimObject* profileDeceleration_;
    SimObject* quickStopDeceleration_;
    SimObject* targetVelocity_;
    SimObject* targetTorque_;
    SimObject* torqueSlope_;
    SimObject* maxMotorSpeed_;
    SimObject* homeOffset_;
    SimObject* homingSpeed_;
    SimObject* homingAcceleration_;
    SimObject* homingState_;
    SimObject* velocitySteps_[8];
    SimObject* multiAcceleration_;
    SimObject* multiDeceleration_;
    SimObject* activeVelocityStep_;
    SimObject* reverseEnable_;
    SimObject* reverseDistance_;
    SimObject* reverseVelocity_;
    SimObject* reverseAcceleration_;
    SimObject* reverseDwell_;
    SimObject* reverseCycles_;
    SimObject* reverseDone_;
    SimObject* swingEnable_;
    SimObject* swingAmplitude_;
    SimObject* swingFrequency_;
    SimObject* swingCount_;
    SimObject* swingState_;

    int mode_ = 0;
    double position_ = 0;
    double velocity_ = 0;
    double torque_ = 0;
    bool previousNewSetPoint_ = false;
    bool risingSetPoint_ = false;  // bit 4 of the controlword rose in this step
    bool moving_ = false;
    double target_ = 0;
    double inWindowSeconds_ = 0;  // how long the position has stayed within its window
    bool homing_ = false;
    bool homed_ = false;
    // auto reverse: 0 idle, 1 outward stroke, 2 dwell before return, 3 return stroke,
    // 4 dwell before the next cycle
    int reversePhase_ = 0;
    double reverseStart_ = 0;
    double dwellLeft_ = 0;
    // clock swing
    bool swinging_ = false;
    bool returning_ = false;  // back to the centre after the swinging ended
    double swingCentre_ = 0;
    double swingTime_ = 0;
    bool previousReverseEnable_ = false;
    bool previousSwingEnable_ = false;
    int64_t cyclesDone_ = 0;
};

}  // namespace tarvo::sim
