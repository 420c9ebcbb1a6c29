#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "cli/DriveConnection.h"
#include "protocol/DeviceControl.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

// The drive profile's device control over one tarvoctl connection: reads the state, walks
// the transitions toward a state and waits until the statusword shows it. Every int result
// is a process exit code; what went wrong has been said on standard error.
class DeviceControlClient {
public:
    using State = DeviceControl::State;
    using Clock = std::chrono::steady_clock;

    // `stop` (may be null) ends a wait early when set, as a signal handler sets it.
    DeviceControlClient(DriveConnection& drive, const std::atomic<int>* stop)
        : drive_(drive), stop_(stop) {}

    int ReadStatusword(uint16_t& word);
    int ReadValue(uint32_t key, uint32_t& value);
    // Writes and reports a refusal with its meaning (it is not repeated).
    int Write(SdoCommand command, uint32_t key, uint32_t value);
    int WriteControlword(uint16_t word) {
        return Write(SdoCommand::Write16, DriveObject::kControlWord, word);
    }

    // Walks toward `goal` (Switch on disabled to Operation enabled) until the statusword
    // shows it; NotReached when the drive is in Fault, stays in a state or time runs out.
    int Reach(State goal, std::chrono::milliseconds limit);
    // Resets a fault (bit 7 rising) and waits for Switch on disabled; Done at once when the
    // drive is in no fault.
    int ResetFault(std::chrono::milliseconds limit);
    // Sends the quick stop and waits until the drive is out of Operation enabled.
    int QuickStop(std::chrono::milliseconds limit);

    // The raw value of `text` in the first unit the dictionary gives the entry `key` (rpm
    // for the velocities); false with a message on standard error.
    bool ParseInUnit(const std::string& programFolder, uint32_t key, const std::string& text,
                     uint32_t& raw, std::string& unit);
    // Refuses with a message unless the drive is in Operation enabled, read now.
    int RequireEnabled(const char* command);
    // Writes the mode of operation unless the drive already runs in it.
    int EnsureMode(int8_t mode);

    // "Fault (error code 0x8611, Positioning controller)".
    std::string Describe(State state);

    bool Stopped() const { return stop_ != nullptr && stop_->load() != 0; }
    // A short pause between two reads of the statusword.
    static void Pause();

private:
    DriveConnection& drive_;
    const std::atomic<int>* stop_;
};

}  // namespace tarvo
