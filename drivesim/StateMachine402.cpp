#include "drivesim/StateMachine402.h"

#include "protocol/DriveObjects.h"

namespace tarvo::sim {

namespace {

enum class Command { None, Shutdown, SwitchOn, EnableOperation, DisableVoltage, QuickStop };

Command Decode(uint16_t word) {
    if ((word & DriveObject::kFaultResetBit) != 0) {
        return Command::None;  // fault reset, handled on its rising edge
    }
    if ((word & 0x02) == 0) {
        return Command::DisableVoltage;
    }
    if ((word & 0x06) == 0x02) {
        return Command::QuickStop;
    }
    if ((word & 0x07) == 0x06) {
        return Command::Shutdown;
    }
    if ((word & 0x0F) == 0x07) {
        return Command::SwitchOn;  // also "disable operation" from operation enabled
    }
    return Command::EnableOperation;  // xxxx 1111
}

}  // namespace

void StateMachine402::Reset(bool enableAtPowerOn) {
    state_ = enableAtPowerOn ? State::OperationEnabled : State::SwitchOnDisabled;
    controlword_ = enableAtPowerOn ? 0x0F : 0;
}

bool StateMachine402::FaultResetRequested(uint16_t controlword) const {
    return (controlword & DriveObject::kFaultResetBit) != 0 &&
           (controlword_ & DriveObject::kFaultResetBit) == 0;
}

void StateMachine402::ApplyControlword(uint16_t controlword, bool errorPresent) {
    bool faultReset = FaultResetRequested(controlword);
    controlword_ = controlword;
    if (state_ == State::Fault) {
        if (faultReset && !errorPresent) {
            state_ = State::SwitchOnDisabled;
        }
        return;
    }
    if (state_ == State::FaultReactionActive || state_ == State::NotReadyToSwitchOn) {
        return;
    }
    switch (Decode(controlword)) {
        case Command::DisableVoltage:
            state_ = State::SwitchOnDisabled;
            break;
        case Command::QuickStop:
            state_ = state_ == State::OperationEnabled || state_ == State::QuickStopActive
                         ? State::QuickStopActive
                         : State::SwitchOnDisabled;
            break;
        case Command::Shutdown:
            if (state_ != State::QuickStopActive) {
                state_ = State::ReadyToSwitchOn;
            }
            break;
        case Command::SwitchOn:
            if (state_ == State::ReadyToSwitchOn || state_ == State::OperationEnabled) {
                state_ = State::SwitchedOn;
            }
            break;
        case Command::EnableOperation:
            if (state_ == State::ReadyToSwitchOn || state_ == State::SwitchedOn ||
                (state_ == State::QuickStopActive && quickStopOption_ >= 5)) {
                state_ = State::OperationEnabled;
            }
            break;
        case Command::None:
            break;
    }
    if (errorPresent) {
        Step(true, false);
    }
}

void StateMachine402::ResetFault(bool errorPresent) {
    if (state_ == State::Fault && !errorPresent) {
        state_ = State::SwitchOnDisabled;
    }
}

void StateMachine402::QuickStop() {
    if (state_ == State::OperationEnabled) {
        state_ = State::QuickStopActive;
    } else if (state_ == State::ReadyToSwitchOn || state_ == State::SwitchedOn) {
        state_ = State::SwitchOnDisabled;
    }
}

void StateMachine402::Step(bool errorPresent, bool standstill) {
    if (errorPresent && state_ != State::Fault && state_ != State::FaultReactionActive) {
        state_ = PowerStageOn() ? State::FaultReactionActive : State::Fault;
    }
    if (state_ == State::FaultReactionActive && standstill) {
        state_ = State::Fault;
    }
    if (state_ == State::QuickStopActive && quickStopOption_ <= 4 &&
        (standstill || quickStopOption_ == 0)) {
        state_ = State::SwitchOnDisabled;
    }
}

bool StateMachine402::PowerStageOn() const {
    return state_ == State::OperationEnabled || state_ == State::QuickStopActive ||
           state_ == State::FaultReactionActive;
}

uint16_t StateMachine402::StatusBits(bool errorPresent) const {
    uint16_t bits = 0x0010 | 0x0200;  // voltage enabled, remote
    switch (state_) {
        case State::NotReadyToSwitchOn:
            break;
        case State::SwitchOnDisabled:
            bits |= 0x0040;
            break;
        case State::ReadyToSwitchOn:
            bits |= 0x0021;
            break;
        case State::SwitchedOn:
            bits |= 0x0023;
            break;
        case State::OperationEnabled:
            bits |= 0x0027;
            break;
        case State::QuickStopActive:
            bits |= 0x0007;
            break;
        case State::FaultReactionActive:
            bits |= 0x000F;
            break;
        case State::Fault:
            bits |= 0x0008;
            break;
    }
    if (errorPresent) {
        bits |= 0x0008;
    }
    return bits;
}

}  // namespace tarvo::sim
