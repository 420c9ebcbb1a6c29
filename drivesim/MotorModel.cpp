#include "drivesim/MotorModel.h"

#include <algorithm>
#include <cmath>
#include "protocol/DriveObjects.h"

namespace tarvo::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Velocity loop gain unit: amperes per revolution per second for each unit of 2012h:01h.
constexpr double kVelocityGainScale = 0.0118;
// Current loop gain units: volts per ampere, and volts per ampere-second.
constexpr double kCurrentGainScale = 0.01;
constexpr double kCurrentIntegralScale = 10.0;
constexpr double kViscousFriction = 1e-3;   // Nm per rad/s
constexpr double kCoulombFriction = 0.02;   // Nm
constexpr double kVoltageLimit = 100.0;     // bounds the current loop's output
constexpr double kSourceResistance = 0.05;  // ohm, makes the DC bus sag under load

double Positive(const SimObject* object, double fallback) {
    double value = static_cast<double>(ObjectTable::Value(object, static_cast<int64_t>(fallback)));
    return value > 0 ? value : fallback;
}

}  // namespace

MotorModel::MotorModel(ObjectTable& table, uint32_t seed)
    : table_(table), seed_(seed == 0 ? 0x2545F491u : seed), random_(seed_) {
    ratedCurrent_ = table.Find(ObjectAddressOf(0x2000, 0x03));
    peakCurrent_ = table.Find(ObjectAddressOf(0x2000, 0x04));
    countsPerRevolution_ = table.Find(ObjectAddressOf(0x2000, 0x05));
    resistance_ = table.Find(ObjectAddressOf(0x2000, 0x06));
    inductance_ = table.Find(ObjectAddressOf(0x2000, 0x07));
    torqueConstant_ = table.Find(ObjectAddressOf(0x2000, 0x08));
    rotorInertia_ = table.Find(ObjectAddressOf(0x2000, 0x09));
    maxSpeed_ = table.Find(ObjectAddressOf(0x2000, 0x0A));
    polePairs_ = table.Find(ObjectAddressOf(0x2000, 0x02));
    inertiaRatio_ = table.Find(ObjectAddressOf(0x2012, 0x06));
    positionGain_ = table.Find(ObjectAddressOf(0x2011, 0x01));
    velocityFeedForward_ = table.Find(ObjectAddressOf(0x2011, 0x03));
    velocityGain_ = table.Find(ObjectAddressOf(0x2012, 0x01));
    velocityIntegralGain_ = table.Find(ObjectAddressOf(0x2012, 0x02));
    velocityFilter_ = table.Find(ObjectAddressOf(0x2012, 0x03));
    currentGain_ = table.Find(ObjectAddressOf(0x2013, 0x01));
    currentIntegralGain_ = table.Find(ObjectAddressOf(0x2013, 0x02));
    maxCurrent_ = table.Find(ObjectAddressOf(0x6073, 0));
    maxTorque_ = table.Find(ObjectAddressOf(0x6072, 0));
    followingWindow_ = table.Find(ObjectAddressOf(0x6065, 0));
    followingTimeout_ = table.Find(ObjectAddressOf(0x6066, 0));
    overVoltageLevel_ = table.Find(ObjectAddressOf(0x2001, 0x04));
    lowVoltageLevel_ = table.Find(ObjectAddressOf(0x2001, 0x05));

    positionDemand_ = table.Find(ObjectAddressOf(0x6062, 0));
    positionInternal_ = table.Find(ObjectAddressOf(0x6063, 0));
    positionActual_ = table.Find(DriveObject::kPositionActualValue);
    velocityDemand_ = table.Find(ObjectAddressOf(0x606B, 0));
    velocityActual_ = table.Find(DriveObject::kVelocityActualValue);
    followingErrorActual_ = table.Find(ObjectAddressOf(0x60F4, 0));
    torqueDemand_ = table.Find(ObjectAddressOf(0x6074, 0));
    torqueActual_ = table.Find(ObjectAddressOf(0x6077, 0));
    currentActual_ = table.Find(ObjectAddressOf(0x6078, 0));
    phaseA_ = table.Find(ObjectAddressOf(0x2013, 0x05));
    phaseB_ = table.Find(ObjectAddressOf(0x2013, 0x06));
    quadratureActual_ = table.Find(ObjectAddressOf(0x2013, 0x07));
    quadratureDemand_ = table.Find(ObjectAddressOf(0x2013, 0x08));
    directActual_ = table.Find(ObjectAddressOf(0x2013, 0x09));
    motorLoad_ = table.Find(ObjectAddressOf(0x2013, 0x0A));
    dcLink_ = table.Find(ObjectAddressOf(0x6079, 0));
    busVoltage_ = table.Find(ObjectAddressOf(0x2001, 0x0A));
    temperature_ = table.Find(ObjectAddressOf(0x2001, 0x0B));
    Reset();
}

void MotorModel::Reset() {
    random_ = seed_;
    angle_ = speed_ = position_ = positionOffset_ = 0;
    filteredVelocity_ = current_ = currentErrorIntegral_ = velocityErrorIntegral_ = 0;
    load_ = 0;
    followingTime_ = 0;
    nominalBus_ = dcLink_ != nullptr && dcLink_->defaultValue > 0
                      ? static_cast<double>(dcLink_->defaultValue) / 1000.0
                      : 24.0;
    temperatureC_ =
        temperature_ != nullptr ? static_cast<double>(temperature_->defaultValue) / 10.0 : 35.0;
    conditions_ = Conditions();
}

double MotorModel::Noise(double amplitude) {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return amplitude * (static_cast<double>(random_) / 4294967295.0 * 2.0 - 1.0);
}

bool MotorModel::Standstill() const {
    return std::fabs(filteredVelocity_) < countsPerRev_ * 0.01 && std::fabs(speed_) < 0.1;
}

void MotorModel::Step(double dt, bool powerOn, const TrajectoryGenerator::Output& demand) {
    countsPerRev_ = Positive(countsPerRevolution_, 4000);
    double rated = Positive(ratedCurrent_, 1000) / 1000.0;
    double peak = Positive(peakCurrent_, rated * 1500) / 1000.0;
    double torqueConstant = Positive(torqueConstant_, 100) / 1000.0;
    double inertia = Positive(rotorInertia_, 100) * 1e-6 *
                     (1.0 + static_cast<double>(ObjectTable::Value(inertiaRatio_)) / 100.0);
    double resistance = Positive(resistance_, 1000) / 1000.0;
    double inductance = Positive(inductance_, 1000) * 1e-6;
    double maxSpeed = Positive(maxSpeed_, 3000) / 60.0 * countsPerRev_;

    double limit = std::min(peak, Positive(maxCurrent_, 1000) / 1000.0 * rated);
    limit = std::min(limit, Positive(maxTorque_, 1000) / 1000.0 * rated);

    double currentCommand = 0;
    if (powerOn) {
        double position = Position();
        double velocityCommand = 0;
        if (demand.torqueMode) {
            currentCommand = demand.torquePerMille / 1000.0 * rated;
            if (std::fabs(filteredVelocity_) > maxSpeed) {
                currentCommand = 0;
            }
        } else {
            velocityCommand = demand.velocity;
            if (demand.positionControl) {
                double gain = static_cast<double>(ObjectTable::Value(positionGain_)) / 10.0;
                double feedForward =
                    static_cast<double>(ObjectTable::Value(velocityFeedForward_)) / 1000.0;
                velocityCommand =
                    feedForward * demand.velocity + gain * (demand.position - position);
            }
            velocityCommand = std::clamp(velocityCommand, -maxSpeed, maxSpeed);
            double error = (velocityCommand - filteredVelocity_) / countsPerRev_;
            double gain =
                static_cast<double>(ObjectTable::Value(velocityGain_)) * kVelocityGainScale;
            double integralGain = static_cast<double>(ObjectTable::Value(velocityIntegralGain_));
            velocityErrorIntegral_ += error * dt;
            if (gain * integralGain > 0) {
                double bound = limit / (gain * integralGain);
                velocityErrorIntegral_ = std::clamp(velocityErrorIntegral_, -bound, bound);
            } else {
                velocityErrorIntegral_ = 0;
            }
            currentCommand = gain * (error + integralGain * velocityErrorIntegral_);
        }
        currentCommand = std::clamp(currentCommand, -limit, limit);
        double currentError = currentCommand - current_;
        currentErrorIntegral_ += currentError * dt;
        double voltage = static_cast<double>(ObjectTable::Value(currentGain_)) * kCurrentGainScale *
                             currentError +
                         static_cast<double>(ObjectTable::Value(currentIntegralGain_)) *
                             kCurrentIntegralScale * currentErrorIntegral_;
        voltage = std::clamp(voltage, -kVoltageLimit, kVoltageLimit);
        // Semi-implicit step of L di/dt = u - R i keeps a stiff winding stable.
        current_ = (current_ + dt / inductance * voltage) / (1.0 + dt * resistance / inductance);
        current_ = std::clamp(current_, -3 * peak, 3 * peak);
    } else {
        current_ = 0;
        currentErrorIntegral_ = velocityErrorIntegral_ = 0;
    }

    double friction = kViscousFriction * speed_ + kCoulombFriction * std::tanh(speed_ / 0.5);
    speed_ += (torqueConstant * current_ - friction) / inertia * dt;
    angle_ += speed_ * dt;
    if (demand.rehome) {
        positionOffset_ = demand.homePosition - position_;
    }
    position_ = angle_ / (2 * kPi) * countsPerRev_;
    // The encoder's velocity estimate: the shaft speed with a little noise, through the
    // velocity feedback filter.
    double rawVelocity = speed_ / (2 * kPi) * countsPerRev_ + Noise(countsPerRev_ * 0.002);
    double cutoff = 2 * kPi * Positive(velocityFilter_, 1000) * dt;
    filteredVelocity_ += (rawVelocity - filteredVelocity_) * cutoff / (1.0 + cutoff);

    double milliamps = current_ * 1000.0;
    load_ += (milliamps * milliamps - load_) * std::min(1.0, dt);
    temperatureC_ += (current_ * current_ * 0.05 - (temperatureC_ - 35.0) * 0.01) * dt;

    // Conditions for the error control: a following error must last its time out.
    conditions_.overCurrent = std::fabs(current_) > 1.5 * peak;
    conditions_.overSpeed = std::fabs(filteredVelocity_) > 1.2 * maxSpeed;
    conditions_.overload = load_ > rated * rated * 1e6;
    conditions_.overTemperature = temperatureC_ > 85.0;
    if (powerOn && demand.positionControl && !demand.torqueMode && followingWindow_ != nullptr &&
        followingWindow_->raw != 0xFFFFFFFFu &&
        std::fabs(demand.position - Position()) > static_cast<double>(followingWindow_->raw)) {
        followingTime_ += dt;
    } else {
        followingTime_ = 0;
    }
    conditions_.followingError =
        followingTime_ * 1000.0 > static_cast<double>(ObjectTable::Value(followingTimeout_, 10));
    Publish(demand, currentCommand);
}

void MotorModel::Publish(const TrajectoryGenerator::Output& demand, double currentCommand) {
    double rated = Positive(ratedCurrent_, 1000) / 1000.0;
    double position = std::floor(Position());
    ObjectTable::Put(positionDemand_, std::llround(demand.position));
    ObjectTable::Put(positionInternal_, static_cast<int64_t>(position));
    ObjectTable::Put(positionActual_, static_cast<int64_t>(position));
    ObjectTable::Put(velocityDemand_, std::llround(demand.velocity / countsPerRev_ * 512.0));
    ObjectTable::Put(velocityActual_, std::llround(filteredVelocity_ / countsPerRev_ * 512.0));
    ObjectTable::Put(followingErrorActual_, std::llround(demand.position - position));
    double measured = current_ + Noise(0.003 * rated);
    ObjectTable::Put(torqueDemand_, std::llround(currentCommand / rated * 1000.0));
    ObjectTable::Put(torqueActual_, std::llround(measured / rated * 1000.0));
    ObjectTable::Put(currentActual_, std::llround(measured / rated * 1000.0));
    double electrical = angle_ * Positive(polePairs_, 50);
    ObjectTable::Put(phaseA_, std::llround(-measured * 1000.0 * std::sin(electrical)));
    ObjectTable::Put(phaseB_,
                     std::llround(-measured * 1000.0 * std::sin(electrical - 2 * kPi / 3)));
    ObjectTable::Put(quadratureActual_, std::llround(measured * 1000.0));
    ObjectTable::Put(quadratureDemand_, std::llround(currentCommand * 1000.0));
    ObjectTable::Put(directActual_, std::llround(Noise(0.003 * rated) * 1000.0));
    ObjectTable::Put(motorLoad_, std::llround(std::min(load_, 4294967295.0)));
    double bus = nominalBus_ - std::fabs(current_) * kSourceResistance + Noise(0.02);
    ObjectTable::Put(dcLink_, std::llround(bus * 1000.0));
    ObjectTable::Put(busVoltage_, std::llround(bus * 10.0));
    ObjectTable::Put(temperature_, std::llround(temperatureC_ * 10.0));
    conditions_.lowVoltage =
        bus * 10.0 < static_cast<double>(ObjectTable::Value(lowVoltageLevel_, 0));
    conditions_.overVoltage =
        bus * 10.0 > static_cast<double>(ObjectTable::Value(overVoltageLevel_, 100000));
}

}  // namespace tarvo::sim
