#pragma once

#include <cstdint>

namespace tarvo::sim {

// The drive profile's device control: the controlword (6040h) moves the drive between its
// states, the statusword (6041h) reports them. Bit 3 of the statusword follows the error
// state; an error takes the drive through the fault reaction into the fault state.
class StateMachine402 {
public:
    enum class State {
        NotReadyToSwitchOn,
        SwitchOnDisabled,
        ReadyToSwitchOn,
        SwitchedOn,
        OperationEnabled,
        QuickStopActive,
        FaultReactionActive,
        Fault,
    };

    // The state after power-on: switch on disabled, or operation enabled when the drive is
    // set to enable itself at power-on.
    void Reset(bool enableAtPowerOn);

    // True when the controlword asks for a fault reset (a rising edge of bit 7); the caller
    // clears the errors that have gone before it calls ApplyControlword.
    bool FaultResetRequested(uint16_t controlword) const;
    void ApplyControlword(uint16_t controlword, bool errorPresent);

    // A fault reset from an input: leaves the fault state when no error is left.
    void ResetFault(bool errorPresent);
    // A quick stop from an input.
    void QuickStop();
    // The quick stop option code (605Ah): 0 coasts and disables at once, 1-4 brake and then
    // disable, 5-8 brake and stay in Quick stop active, from where Enable operation returns.
    void SetQuickStopOption(int option) { quickStopOption_ = option; }

    // Runs the timed transitions: an error starts the fault reaction; the fault reaction and
    // the quick stop end once the motor stands still.
    void Step(bool errorPresent, bool standstill);

    State Current() const { return state_; }
    uint16_t Controlword() const { return controlword_; }
    // Bits 0-6 and 9 of the statusword; the motion bits are the caller's.
    uint16_t StatusBits(bool errorPresent) const;
    bool PowerStageOn() const;
    bool Braking() const {
        return state_ == State::QuickStopActive || state_ == State::FaultReactionActive;
    }

private:
    State state_ = State::SwitchOnDisabled;
    uint16_t controlword_ = 0;
    int quickStopOption_ = 2;
};

}  // namespace tarvo::sim
