#pragma once

#include <cstdint>

#include "drivesim/ObjectTable.h"

namespace tarvo::sim {

// The eight digital inputs and five digital outputs (2010h). An input's real state is its
// pin level under its polarity bit; its virtual state, which the drive acts on, is the
// simulated level (2010h:0Dh) while its simulate bit is set. Outputs show their function
// states, or their simulated levels (2010h:15h), under their polarity bits.
class IoPorts {
public:
    // Input function bits (2010h:03h-0Ah) the drive acts on.
    enum InputFunction : uint32_t {
        kFaultReset = 1u << 1,
        kPositiveLimit = 1u << 2,
        kNegativeLimit = 1u << 3,
        kHomeSwitch = 1u << 4,
        kQuickStop = 1u << 5,
        kHalt = 1u << 6,
        kEmergencyStop = 1u << 24,
    };
    // Output function bits (2010h:10h-14h), the drive's signals.
    enum OutputSignal : uint32_t {
        kReady = 1u << 0,
        kFault = 1u << 1,
        kOperationEnabled = 1u << 2,
        kBrakeRelease = 1u << 3,
        kInPosition = 1u << 4,
        kHomingDone = 1u << 5,
        kZeroSpeed = 1u << 6,
        kVelocityReached = 1u << 7,
        kLimitActive = 1u << 12,
        kCommandRunning = 1u << 13,
    };

    explicit IoPorts(ObjectTable& table);

    // Without changing inputs every pin stays at its set level; with them DIN7 follows a
    // 1 Hz square wave and DIN8 is high for one second in four, as sensors on a machine.
    void Reset(bool changingInputs);
    // Holds pin n (1..8) at a level; a negative level gives the pin back to its pattern.
    void SetPin(int n, int level);
    void Step(double seconds, uint32_t outputSignals);

    // Function bits of all inputs whose virtual state is active.
    uint32_t ActiveFunctions() const { return activeFunctions_; }

private:
    SimObject* Object(uint32_t subIndex) const { return io_[subIndex]; }

    SimObject* io_[0x19] = {};
    bool changingInputs_ = true;
    uint32_t heldMask_ = 0;  // pins held at a level instead of their pattern
    uint32_t heldLevels_ = 0;
    uint32_t activeFunctions_ = 0;
    SimObject* digitalInputs_;
};

}  // namespace tarvo::sim
