#include "drivesim/TrajectoryGenerator.h"

#include <algorithm>
#include <cmath>
#include "protocol/DriveObjects.h"

namespace tarvo::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Sign(double value) {
    return value < 0 ? -1.0 : 1.0;
}

}  // namespace

TrajectoryGenerator::TrajectoryGenerator(ObjectTable& table) : table_(table) {
    modeOfOperation_ = table.Find(DriveObject::kModesOfOperation);
    modeDisplay_ = table.Find(DriveObject::kModesOfOperationDisplay);
    positionWindow_ = table.Find(ObjectAddressOf(0x6067, 0));
    positionWindowTime_ = table.Find(ObjectAddressOf(0x6068, 0));
    targetPosition_ = table.Find(DriveObject::kTargetPosition);
    profileVelocity_ = table.Find(ObjectAddressOf(0x6081, 0));
    profileAcceleration_ = table.Find(ObjectAddressOf(0x6083, 0));
    profileDeceleration_ = table.Find(ObjectAddressOf(0x6084, 0));
    quickStopDeceleration_ = table.Find(ObjectAddressOf(0x6085, 0));
    targetVelocity_ = table.Find(DriveObject::kTargetVelocity);
    targetTorque_ = table.Find(ObjectAddressOf(0x6071, 0));
    torqueSlope_ = table.Find(ObjectAddressOf(0x6087, 0));
    maxMotorSpeed_ = table.Find(ObjectAddressOf(0x2000, 0x0A));
    homeOffset_ = table.Find(ObjectAddressOf(0x607C, 0));
    homingSpeed_ = table.Find(ObjectAddressOf(0x6099, 1));
    homingAcceleration_ = table.Find(ObjectAddressOf(0x609A, 0));
    homingState_ = table.Find(ObjectAddressOf(0x2060, 4));
    for (uint32_t i = 0; i < 8; ++i) {
        velocitySteps_[i] = table.Find(ObjectAddressOf(0x2040, i + 1));
    }
    multiAcceleration_ = table.Find(ObjectAddressOf(0x2040, 0x09));
    multiDeceleration_ = table.Find(ObjectAddressOf(0x2040, 0x0A));
    activeVelocityStep_ = table.Find(ObjectAddressOf(0x2040, 0x0B));
    reverseEnable_ = table.Find(ObjectAddressOf(0x2070, 1));
    reverseDistance_ = table.Find(ObjectAddressOf(0x2070, 2));
    reverseVelocity_ = table.Find(ObjectAddressOf(0x2070, 3));
    reverseAcceleration_ = table.Find(ObjectAddressOf(0x2070, 4));
    reverseDwell_ = table.Find(ObjectAddressOf(0x2070, 5));
    reverseCycles_ = table.Find(ObjectAddressOf(0x2070, 6));
    reverseDone_ = table.Find(ObjectAddressOf(0x2070, 7));
    swingEnable_ = table.Find(ObjectAddressOf(0x2080, 1));
    swingAmplitude_ = table.Find(ObjectAddressOf(0x2080, 2));
    swingFrequency_ = table.Find(ObjectAddressOf(0x2080, 3));
    swingCount_ = table.Find(ObjectAddressOf(0x2080, 5));
    swingState_ = table.Find(ObjectAddressOf(0x2080, 7));
}

void TrajectoryGenerator::Reset() {
    position_ = velocity_ = torque_ = 0;
    previousNewSetPoint_ = moving_ = homing_ = homed_ = swinging_ = false;
    previousReverseEnable_ = previousSwingEnable_ = returning_ = false;
    target_ = 0;
    inWindowSeconds_ = 0;
    reversePhase_ = 0;
    cyclesDone_ = 0;
}

double TrajectoryGenerator::Velocity(const SimObject* object, double countsPerRev) const {
    return static_cast<double>(ObjectTable::Value(object)) * countsPerRev / 512.0;
}

bool TrajectoryGenerator::Approach(double target, double maxVelocity, double acceleration,
                                   double deceleration, double dt) {
    acceleration = std::max(acceleration, 1.0);
    deceleration = std::max(deceleration, 1.0);
    maxVelocity = std::max(maxVelocity, 1.0);
    double distance = target - position_;
    if (std::fabs(distance) < 0.5 && std::fabs(velocity_) <= deceleration * dt * 2) {
        position_ = target;
        velocity_ = 0;
        return true;
    }
    double desired =
        Sign(distance) * std::min(maxVelocity, std::sqrt(2 * deceleration * std::fabs(distance)));
    bool speedingUp = std::fabs(desired) > std::fabs(velocity_) && desired * velocity_ >= 0;
    double step = (speedingUp ? acceleration : deceleration) * dt;
    velocity_ += std::clamp(desired - velocity_, -step, step);
    position_ += velocity_ * dt;
    if ((distance > 0 && position_ >= target) || (distance < 0 && position_ <= target)) {
        position_ = target;
        velocity_ = 0;
        return true;
    }
    return false;
}

void TrajectoryGenerator::Ramp(double targetVelocity, double acceleration, double deceleration,
                               double dt) {
    bool speedingUp =
        std::fabs(targetVelocity) > std::fabs(velocity_) && targetVelocity * velocity_ >= 0;
    double step = std::max(speedingUp ? acceleration : deceleration, 1.0) * dt;
    velocity_ += std::clamp(targetVelocity - velocity_, -step, step);
    position_ += velocity_ * dt;
}

TrajectoryGenerator::Output TrajectoryGenerator::Step(const Input& input) {
    mode_ = static_cast<int>(ObjectTable::Value(modeOfOperation_, 1));
    ObjectTable::Put(modeDisplay_, mode_);
    double cpr = input.countsPerRev;
    bool newSetPoint = (input.controlword & 0x10) != 0;
    risingSetPoint_ = newSetPoint && !previousNewSetPoint_;
    previousNewSetPoint_ = newSetPoint;
    double maxSpeed = static_cast<double>(ObjectTable::Value(maxMotorSpeed_, 3000)) / 60.0 * cpr;
    Output output;

    if (!input.enabled && !input.stopping) {
        // The power stage is off: the demand follows the motor so that enabling never jumps.
        position_ = input.actualPosition;
        velocity_ = input.actualVelocity;
        target_ = position_;
        torque_ = 0;
        moving_ = homing_ = swinging_ = returning_ = false;
        reversePhase_ = 0;
    } else if (input.stopping || ((input.controlword & 0x100) != 0 && mode_ != 4)) {
        const SimObject* deceleration =
            input.stopping && !input.slowDownRamp ? quickStopDeceleration_ : profileDeceleration_;
        double rate = Velocity(deceleration, cpr);
        Ramp(0, rate, rate, input.dt);
        moving_ = homing_ = false;
        torque_ = 0;
        // A halted axis reports the target reached once it stands still.
        output.targetReached = !input.stopping && velocity_ == 0;
        inWindowSeconds_ = 0;
    } else {
        switch (mode_) {
            case 1:
                ProfilePosition(input, output);
                break;
            case 3:
                Ramp(std::clamp(Velocity(targetVelocity_, cpr), -maxSpeed, maxSpeed),
                     Velocity(profileAcceleration_, cpr), Velocity(profileDeceleration_, cpr),
                     input.dt);
                output.positionControl = false;
                output.targetReached =
                    velocity_ == std::clamp(Velocity(targetVelocity_, cpr), -maxSpeed, maxSpeed);
                break;
            case 4: {
                double target = static_cast<double>(ObjectTable::Value(targetTorque_));
                double step =
                    std::max(1.0, static_cast<double>(ObjectTable::Value(torqueSlope_, 1000))) *
                    input.dt;
                torque_ += std::clamp(target - torque_, -step, step);
                position_ = input.actualPosition;
                velocity_ = input.actualVelocity;
                output.torqueMode = true;
                output.positionControl = false;
                output.targetReached = torque_ == target;
                break;
            }
            case 6:
                Homing(input, output);
                break;
            case -4: {
                uint32_t step = (input.inputFunctions >> 8) & 7;
                Ramp(std::clamp(Velocity(velocitySteps_[step], cpr), -maxSpeed, maxSpeed),
                     Velocity(multiAcceleration_, cpr), Velocity(multiDeceleration_, cpr),
                     input.dt);
                ObjectTable::Put(activeVelocityStep_, step + 1);
                output.positionControl = false;
                break;
            }
            case -6:
                AutoReverse(input, output);
                break;
            case -7:
                ClockSwing(input, output);
                break;
            default:
                // Modes fed by a master or by the pulse and analog inputs hold still here.
                Ramp(0, Velocity(profileDeceleration_, cpr), Velocity(profileDeceleration_, cpr),
                     input.dt);
                break;
        }
    }
    if (mode_ != -4) {
        ObjectTable::Put(activeVelocityStep_, 0);
    }
    output.position = position_;
    output.velocity = velocity_;
    output.torquePerMille = torque_;
    output.setPointAcknowledged = newSetPoint && (mode_ == 1 || mode_ == 6);
    return output;
}

void TrajectoryGenerator::ProfilePosition(const Input& input, Output& output) {
    double cpr = input.countsPerRev;
    if (risingSetPoint_) {
        double target = static_cast<double>(ObjectTable::Value(targetPosition_));
        target_ = (input.controlword & 0x40) != 0 ? target_ + target : target;
        moving_ = true;
        inWindowSeconds_ = 0;  // a new set-point is reached anew
    }
    if (moving_ &&
        Approach(target_, Velocity(profileVelocity_, cpr), Velocity(profileAcceleration_, cpr),
                 Velocity(profileDeceleration_, cpr), input.dt)) {
        moving_ = false;
    }
    // In position: the position error has stayed within the window for the window time.
    bool inWindow = !moving_ && std::fabs(input.actualPosition - target_) <=
                                    static_cast<double>(ObjectTable::Value(positionWindow_, 20));
    inWindowSeconds_ = inWindow ? inWindowSeconds_ + input.dt : 0;
    output.targetReached =
        inWindow && inWindowSeconds_ * 1000.0 + 1e-9 >=
                        static_cast<double>(ObjectTable::Value(positionWindowTime_, 0));
}

void TrajectoryGenerator::Homing(const Input& input, Output& output) {
    double cpr = input.countsPerRev;
    if (risingSetPoint_) {
        homing_ = true;
        homed_ = false;
        ObjectTable::Put(homingState_, 1);
    }
    if (homing_) {
        double acceleration = Velocity(homingAcceleration_, cpr);
        if (Approach(0, Velocity(homingSpeed_, cpr), acceleration, acceleration, input.dt)) {
            homing_ = false;
            homed_ = true;
            output.rehome = true;
            output.homePosition = static_cast<double>(ObjectTable::Value(homeOffset_));
            position_ = output.homePosition;
            target_ = position_;
            ObjectTable::Put(homingState_, 2);
        }
    }
    output.homingAttained = homed_;
    output.targetReached = !homing_;
}

void TrajectoryGenerator::AutoReverse(const Input& input, Output& output) {
    double cpr = input.countsPerRev;
    bool enable = ObjectTable::Value(reverseEnable_) != 0;
    bool started = enable && !previousReverseEnable_;
    previousReverseEnable_ = enable;
    double velocity = Velocity(reverseVelocity_, cpr);
    double acceleration = Velocity(reverseAcceleration_, cpr);
    if (!enable) {
        reversePhase_ = 0;
        Ramp(0, acceleration, acceleration, input.dt);
        return;
    }
    if (started || reversePhase_ == 0) {
        reverseStart_ = position_;
        reversePhase_ = 1;
        cyclesDone_ = 0;
        ObjectTable::Put(reverseDone_, 0);
    }
    double distance = static_cast<double>(ObjectTable::Value(reverseDistance_));
    double dwell = static_cast<double>(ObjectTable::Value(reverseDwell_)) / 1000.0;
    switch (reversePhase_) {
        case 1:
            if (Approach(reverseStart_ + distance, velocity, acceleration, acceleration,
                         input.dt)) {
                reversePhase_ = 2;
                dwellLeft_ = dwell;
            }
            break;
        case 2:
        case 4:
            dwellLeft_ -= input.dt;
            if (dwellLeft_ <= 0) {
                reversePhase_ = reversePhase_ == 2 ? 3 : 1;
            }
            break;
        case 3:
            if (Approach(reverseStart_, velocity, acceleration, acceleration, input.dt)) {
                ++cyclesDone_;
                ObjectTable::Put(reverseDone_, cyclesDone_);
                int64_t cycles = ObjectTable::Value(reverseCycles_);
                reversePhase_ = cycles != 0 && cyclesDone_ >= cycles ? 5 : 4;
                dwellLeft_ = dwell;
            }
            break;
        default:
            break;
    }
    output.targetReached = reversePhase_ == 5;
}

void TrajectoryGenerator::ClockSwing(const Input& input, Output& output) {
    double cpr = input.countsPerRev;
    bool enable = ObjectTable::Value(swingEnable_) != 0;
    bool started = enable && !previousSwingEnable_;
    previousSwingEnable_ = enable;
    if (swinging_ && !enable) {
        swinging_ = false;
        returning_ = true;
    }
    if (started) {
        swinging_ = true;
        swingCentre_ = position_;
        swingTime_ = 0;
    }
    if (swinging_) {
        double amplitude = static_cast<double>(ObjectTable::Value(swingAmplitude_));
        double frequency =
            std::max(0.1, static_cast<double>(ObjectTable::Value(swingFrequency_, 10)) / 10.0);
        int64_t count = ObjectTable::Value(swingCount_);
        swingTime_ += input.dt;
        if (count != 0 && swingTime_ * frequency >= static_cast<double>(count)) {
            swinging_ = false;
            returning_ = true;
        } else {
            double phase = 2 * kPi * frequency * swingTime_;
            double previous = position_;
            position_ = swingCentre_ + amplitude * std::sin(phase);
            velocity_ = input.dt > 0 ? (position_ - previous) / input.dt : 0;
            ObjectTable::Put(swingState_, 1);
            return;
        }
    }
    if (!swinging_ && returning_) {
        double speed = std::max(Velocity(profileVelocity_, cpr), cpr);
        double acceleration = Velocity(profileAcceleration_, cpr);
        returning_ = !Approach(swingCentre_, speed, acceleration, acceleration, input.dt);
    } else if (!swinging_) {
        Ramp(0, cpr, cpr, input.dt);
    }
    ObjectTable::Put(swingState_, returning_ ? 2 : 0);
    output.targetReached = !swinging_;
}

}  // namespace tarvo::sim
