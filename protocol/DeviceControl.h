#pragma once

#include <cstdint>
#include <optional>

namespace tarvo {

// The drive profile's device control (CiA 402): the states the statusword (6041h) reports,
// the transitions the controlword (6040h) commands, and which transition leaves which state.
// The program's Drive Control view and `tarvoctl` both decide with these tables.
namespace DeviceControl {

enum class State {
    NotReadyToSwitchOn,
    SwitchOnDisabled,
    ReadyToSwitchOn,
    SwitchedOn,
    OperationEnabled,
    QuickStopActive,
    FaultReactionActive,
    Fault,
    Unknown,  // a statusword that matches no state (bits 0-3, 5 and 6 in no valid pattern)
};
constexpr int kStateCount = 8;  // the states without Unknown

enum class Transition {
    Shutdown,
    SwitchOn,
    EnableOperation,
    DisableOperation,
    DisableVoltage,
    QuickStop,
    FaultReset,
};
constexpr int kTransitionCount = 7;

// Statusword bits beside the state.
namespace StatusBit {
constexpr uint16_t kVoltageEnabled = 0x0010;
constexpr uint16_t kWarning = 0x0080;
constexpr uint16_t kRemote = 0x0200;
constexpr uint16_t kTargetReached = 0x0400;
constexpr uint16_t kInternalLimitActive = 0x0800;
constexpr uint16_t kSetPointAcknowledge = 0x1000;  // profile position mode
constexpr uint16_t kFollowingError = 0x2000;       // profile position mode
}  // namespace StatusBit

// Controlword bits of the operation modes.
namespace ControlBit {
constexpr uint16_t kNewSetPoint = 0x0010;
constexpr uint16_t kChangeImmediately = 0x0020;
constexpr uint16_t kRelative = 0x0040;
constexpr uint16_t kFaultReset = 0x0080;
constexpr uint16_t kHalt = 0x0100;
}  // namespace ControlBit

// The operation modes of 6060h and 6061h that device control knows by name.
namespace Mode {
constexpr int8_t kProfilePosition = 1;
constexpr int8_t kProfileVelocity = 3;
}  // namespace Mode

// Only bits 0-3, 5 and 6 tell the state; the others are ignored.
State Decode(uint16_t statusword);

// The controlword that commands the transition. A fault reset acts on the rising edge of
// bit 7: write the word with bit 7 clear before it (FaultResetPrelude).
constexpr uint16_t ControlWord(Transition transition) {
    switch (transition) {
        case Transition::Shutdown:
            return 0x0006;
        case Transition::SwitchOn:
        case Transition::DisableOperation:
            return 0x0007;
        case Transition::EnableOperation:
            return 0x000F;
        case Transition::DisableVoltage:
            return 0x0000;
        case Transition::QuickStop:
            return 0x0002;
        case Transition::FaultReset:
            return ControlBit::kFaultReset;
    }
    return 0x0000;
}
constexpr uint16_t kFaultResetPrelude = 0x0000;

// True when the transition leaves `from` (Quick stop from the states of transitions 7, 10
// and 11, Enable operation also from Quick stop active, transition 16).
bool Leaves(State from, Transition transition);
// The state the transition leads to from `from`; Unknown when it does not leave it.
State Target(State from, Transition transition);
// The next transition on the way from `from` to `goal` (one of Switch on disabled,
// Ready to switch on, Switched on, Operation enabled); none where the way needs something
// else first (a fault reset) or the drive moves on by itself (the fault reaction).
std::optional<Transition> NextToward(State from, State goal);
// The drive changes state by itself from here: Not ready to switch on, Fault reaction
// active and Quick stop active end without a command.
bool Passing(State state);

// The state's name as CiA 402 writes it ("Operation enabled").
const char* StateName(State state);
// The transition's name ("Enable operation").
const char* TransitionName(Transition transition);

// The class of an error code (603Fh), as CiA 301 groups the emergency codes.
enum class ErrorClass {
    None,
    Generic,
    Current,
    Voltage,
    Temperature,
    Hardware,
    Software,
    AdditionalModules,
    Monitoring,
    Positioning,  // 86xxh: following error and the other positioning controller errors
    External,
    DeviceSpecific,
    Unknown,
};
ErrorClass ClassOf(uint16_t code);
// "Current", "Voltage"...; "No error" for 0.
const char* ErrorClassName(ErrorClass errorClass);

// Supported drive modes (6502h): whether bit of the mode is set. Modes 1-10 take bits 0-9;
// manufacturer modes -1 to -7 take bits 16-22.
bool ModeSupported(uint32_t supportedModes, int8_t mode);

}  // namespace DeviceControl
}  // namespace tarvo
