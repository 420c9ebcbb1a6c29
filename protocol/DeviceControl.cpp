#include "protocol/DeviceControl.h"

namespace tarvo::DeviceControl {

namespace {

struct Pattern {
    uint16_t mask;
    uint16_t value;
    State state;
};

// CiA 402's statusword table: bits 0-3 and 6, and bit 5 where it tells two states apart.
constexpr Pattern kPatterns[] = {
    {0x004F, 0x0000, State::NotReadyToSwitchOn},  {0x004F, 0x0040, State::SwitchOnDisabled},
    {0x006F, 0x0021, State::ReadyToSwitchOn},     {0x006F, 0x0023, State::SwitchedOn},
    {0x006F, 0x0027, State::OperationEnabled},    {0x006F, 0x0007, State::QuickStopActive},
    {0x004F, 0x000F, State::FaultReactionActive}, {0x004F, 0x0008, State::Fault},
};

struct Edge {
    State from;
    Transition transition;
    State to;
};

// The transitions a controlword commands, numbered as CiA 402 numbers them.
constexpr Edge kEdges[] = {
    {State::SwitchOnDisabled, Transition::Shutdown, State::ReadyToSwitchOn},         // 2
    {State::ReadyToSwitchOn, Transition::SwitchOn, State::SwitchedOn},               // 3
    {State::SwitchedOn, Transition::EnableOperation, State::OperationEnabled},       // 4
    {State::OperationEnabled, Transition::DisableOperation, State::SwitchedOn},      // 5
    {State::SwitchedOn, Transition::Shutdown, State::ReadyToSwitchOn},               // 6
    {State::ReadyToSwitchOn, Transition::DisableVoltage, State::SwitchOnDisabled},   // 7
    {State::ReadyToSwitchOn, Transition::QuickStop, State::SwitchOnDisabled},        // 7
    {State::OperationEnabled, Transition::Shutdown, State::ReadyToSwitchOn},         // 8
    {State::OperationEnabled, Transition::DisableVoltage, State::SwitchOnDisabled},  // 9
    {State::SwitchedOn, Transition::DisableVoltage, State::SwitchOnDisabled},        // 10
    {State::SwitchedOn, Transition::QuickStop, State::SwitchOnDisabled},             // 10
    {State::OperationEnabled, Transition::QuickStop, State::QuickStopActive},        // 11
    {State::QuickStopActive, Transition::DisableVoltage, State::SwitchOnDisabled},   // 12
    {State::Fault, Transition::FaultReset, State::SwitchOnDisabled},                 // 15
    {State::QuickStopActive, Transition::EnableOperation, State::OperationEnabled},  // 16
};

}  // namespace

State Decode(uint16_t statusword) {
    for (const Pattern& pattern : kPatterns) {
        if ((statusword & pattern.mask) == pattern.value) {
            return pattern.state;
        }
    }
    return State::Unknown;
}

bool Leaves(State from, Transition transition) {
    return Target(from, transition) != State::Unknown;
}

State Target(State from, Transition transition) {
    for (const Edge& edge : kEdges) {
        if (edge.from == from && edge.transition == transition) {
            return edge.to;
        }
    }
    return State::Unknown;
}

std::optional<Transition> NextToward(State from, State goal) {
    if (from == goal) {
        return std::nullopt;
    }
    // The states of the power-up path, in order; the way down is one step.
    constexpr State kPath[] = {State::SwitchOnDisabled, State::ReadyToSwitchOn, State::SwitchedOn,
                               State::OperationEnabled};
    int fromStep = -1;
    int goalStep = -1;
    for (int i = 0; i < 4; ++i) {
        fromStep = kPath[i] == from ? i : fromStep;
        goalStep = kPath[i] == goal ? i : goalStep;
    }
    if (goalStep < 0) {
        return std::nullopt;
    }
    if (from == State::QuickStopActive) {
        // Leaving a quick stop for anything but Operation enabled takes the voltage off.
        return goal == State::OperationEnabled ? std::nullopt
                                               : std::optional(Transition::DisableVoltage);
    }
    if (fromStep < 0) {
        return std::nullopt;
    }
    if (goalStep > fromStep) {
        constexpr Transition kUp[] = {Transition::Shutdown, Transition::SwitchOn,
                                      Transition::EnableOperation};
        return kUp[fromStep];
    }
    switch (goal) {
        case State::SwitchOnDisabled:
            return Transition::DisableVoltage;
        case State::ReadyToSwitchOn:
            return Transition::Shutdown;
        default:
            return Transition::DisableOperation;
    }
}

bool Passing(State state) {
    return state == State::NotReadyToSwitchOn || state == State::FaultReactionActive ||
           state == State::QuickStopActive;
}

const char* StateName(State state) {
    switch (state) {
        case State::NotReadyToSwitchOn:
            return "Not ready to switch on";
        case State::SwitchOnDisabled:
            return "Switch on disabled";
        case State::ReadyToSwitchOn:
            return "Ready to switch on";
        case State::SwitchedOn:
            return "Switched on";
        case State::OperationEnabled:
            return "Operation enabled";
        case State::QuickStopActive:
            return "Quick stop active";
        case State::FaultReactionActive:
            return "Fault reaction active";
        case State::Fault:
            return "Fault";
        case State::Unknown:
            break;
    }
    return "Unknown state";
}

const char* TransitionName(Transition transition) {
    switch (transition) {
        case Transition::Shutdown:
            return "Shutdown";
        case Transition::SwitchOn:
            return "Switch on";
        case Transition::EnableOperation:
            return "Enable operation";
        case Transition::DisableOperation:
            return "Disable operation";
        case Transition::DisableVoltage:
            return "Disable voltage";
        case Transition::QuickStop:
            return "Quick stop";
        case Transition::FaultReset:
            return "Fault reset";
    }
    return "";
}

ErrorClass ClassOf(uint16_t code) {
    if (code == 0) {
        return ErrorClass::None;
    }
    if ((code & 0xFF00) == 0xFF00) {
        return ErrorClass::DeviceSpecific;
    }
    if ((code & 0xFF00) == 0x8600) {
        return ErrorClass::Positioning;
    }
    constexpr ErrorClass kByFirstDigit[16] = {
        ErrorClass::Unknown,  ErrorClass::Generic,           ErrorClass::Current,
        ErrorClass::Voltage,  ErrorClass::Temperature,       ErrorClass::Hardware,
        ErrorClass::Software, ErrorClass::AdditionalModules, ErrorClass::Monitoring,
        ErrorClass::External, ErrorClass::Unknown,           ErrorClass::Unknown,
        ErrorClass::Unknown,  ErrorClass::Unknown,           ErrorClass::Unknown,
        ErrorClass::Unknown,
    };
    return kByFirstDigit[code >> 12];
}

const char* ErrorClassName(ErrorClass errorClass) {
    switch (errorClass) {
        case ErrorClass::None:
            return "No error";
        case ErrorClass::Generic:
            return "Generic error";
        case ErrorClass::Current:
            return "Current";
        case ErrorClass::Voltage:
            return "Voltage";
        case ErrorClass::Temperature:
            return "Temperature";
        case ErrorClass::Hardware:
            return "Device hardware";
        case ErrorClass::Software:
            return "Device software";
        case ErrorClass::AdditionalModules:
            return "Additional modules";
        case ErrorClass::Monitoring:
            return "Monitoring";
        case ErrorClass::Positioning:
            return "Positioning controller";
        case ErrorClass::External:
            return "External error";
        case ErrorClass::DeviceSpecific:
            return "Device specific";
        case ErrorClass::Unknown:
            break;
    }
    return "Unknown error";
}

bool ModeSupported(uint32_t supportedModes, int8_t mode) {
    if (mode >= 1 && mode <= 10) {
        return (supportedModes >> (mode - 1) & 1u) != 0;
    }
    if (mode >= -7 && mode <= -1) {
        return (supportedModes >> (15 - mode) & 1u) != 0;
    }
    return false;
}

}  // namespace tarvo::DeviceControl
