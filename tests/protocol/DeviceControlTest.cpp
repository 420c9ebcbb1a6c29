#include "protocol/DeviceControl.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvo {
namespace {

using DeviceControl::State;
using DeviceControl::Transition;

// Statuswords as drives send them: the state's bits with the voltage, remote, target reached
// and manufacturer bits around them, and bit 5 where CiA 402 ignores it.
TEST(DeviceControl, DecodesEveryStateIgnoringTheOtherBits) {
    struct Case {
        uint16_t word;
        State state;
    };
    const Case cases[] = {
        {0x0000, State::NotReadyToSwitchOn},
        {0x0020, State::NotReadyToSwitchOn},
        {0xFFB0, State::NotReadyToSwitchOn},
        {0x0040, State::SwitchOnDisabled},
        {0x0250, State::SwitchOnDisabled},
        {0x0060, State::SwitchOnDisabled},
        {0xFFF0, State::SwitchOnDisabled},
        {0x0021, State::ReadyToSwitchOn},
        {0x0231, State::ReadyToSwitchOn},
        {0xFF31, State::ReadyToSwitchOn},
        {0x0023, State::SwitchedOn},
        {0xFFB3, State::SwitchedOn},
        {0x0027, State::OperationEnabled},
        {0x1637, State::OperationEnabled},
        {0xFFB7, State::OperationEnabled},
        {0x0007, State::QuickStopActive},
        {0x0217, State::QuickStopActive},
        {0xFF97, State::QuickStopActive},
        {0x000F, State::FaultReactionActive},
        {0x002F, State::FaultReactionActive},
        {0xFFBF, State::FaultReactionActive},
        {0x0008, State::Fault},
        {0x0028, State::Fault},
        {0x0218, State::Fault},
        {0xFFB8, State::Fault},
        // No state: bits 0-3 and 6 in patterns CiA 402 does not define.
        {0x0001, State::Unknown},
        {0x0041, State::Unknown},
        {0x0067, State::Unknown},
        {0x0004, State::Unknown},
        {0x0003, State::Unknown},
        {0x0048, State::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceControl::Decode(c.word), c.state) << std::hex << "0x" << c.word;
    }
}

TEST(DeviceControl, ControlWordsOfTheTransitions) {
    EXPECT_EQ(DeviceControl::ControlWord(Transition::Shutdown), 0x0006);
    EXPECT_EQ(DeviceControl::ControlWord(Transition::SwitchOn), 0x0007);
    EXPECT_EQ(DeviceControl::ControlWord(Transition::EnableOperation), 0x000F);
    EXPECT_EQ(DeviceControl::ControlWord(Transition::DisableOperation), 0x0007);
    EXPECT_EQ(DeviceControl::ControlWord(Transition::DisableVoltage), 0x0000);
    EXPECT_EQ(DeviceControl::ControlWord(Transition::QuickStop), 0x0002);
    EXPECT_EQ(DeviceControl::ControlWord(Transition::FaultReset), 0x0080);
    EXPECT_EQ(DeviceControl::kFaultResetPrelude & 0x0080, 0);
}

// Which transition leaves which state, and where it leads. Columns: Shutdown, Switch on,
// Enable operation, Disable operation, Disable voltage, Quick stop, Fault reset.
TEST(DeviceControl, TransitionsLeaveOnlyTheirStates) {
    struct Row {
        State from;
        const char* leaves;
        State to[7];
    };
    constexpr State R = State::ReadyToSwitchOn, S = State::SwitchedOn, O = State::OperationEnabled,
                    D = State::SwitchOnDisabled, Q = State::QuickStopActive, X = State::Unknown;
    const Row rows[] = {
        {State::NotReadyToSwitchOn, "0000000", {X, X, X, X, X, X, X}},
        {State::SwitchOnDisabled, "1000000", {R, X, X, X, X, X, X}},
        {State::ReadyToSwitchOn, "0100110", {X, S, X, X, D, D, X}},
        {State::SwitchedOn, "1010110", {R, X, O, X, D, D, X}},
        {State::OperationEnabled, "1001110", {R, X, X, S, D, Q, X}},
        {State::QuickStopActive, "0010100", {X, X, O, X, D, X, X}},
        {State::FaultReactionActive, "0000000", {X, X, X, X, X, X, X}},
        {State::Fault, "0000001", {X, X, X, X, X, X, D}},
        {State::Unknown, "0000000", {X, X, X, X, X, X, X}},
    };
    for (const Row& row : rows) {
        for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
            auto transition = static_cast<Transition>(t);
            EXPECT_EQ(DeviceControl::Leaves(row.from, transition), row.leaves[t] == '1')
                << DeviceControl::StateName(row.from) << " / "
                << DeviceControl::TransitionName(transition);
            EXPECT_EQ(DeviceControl::Target(row.from, transition), row.to[t])
                << DeviceControl::StateName(row.from) << " / "
                << DeviceControl::TransitionName(transition);
        }
    }
}

TEST(DeviceControl, TheWayToAStateGoesOneTransitionAtATime) {
    struct Case {
        State from;
        State goal;
        std::optional<Transition> next;
    };
    const Case cases[] = {
        {State::SwitchOnDisabled, State::OperationEnabled, Transition::Shutdown},
        {State::ReadyToSwitchOn, State::OperationEnabled, Transition::SwitchOn},
        {State::SwitchedOn, State::OperationEnabled, Transition::EnableOperation},
        {State::OperationEnabled, State::OperationEnabled, std::nullopt},
        {State::OperationEnabled, State::SwitchOnDisabled, Transition::DisableVoltage},
        {State::OperationEnabled, State::SwitchedOn, Transition::DisableOperation},
        {State::OperationEnabled, State::ReadyToSwitchOn, Transition::Shutdown},
        {State::SwitchedOn, State::SwitchOnDisabled, Transition::DisableVoltage},
        {State::SwitchOnDisabled, State::SwitchedOn, Transition::Shutdown},
        {State::QuickStopActive, State::SwitchOnDisabled, Transition::DisableVoltage},
        // A fault needs its reset, the passing states end by themselves.
        {State::Fault, State::OperationEnabled, std::nullopt},
        {State::Fault, State::SwitchOnDisabled, std::nullopt},
        {State::FaultReactionActive, State::SwitchOnDisabled, std::nullopt},
        {State::NotReadyToSwitchOn, State::OperationEnabled, std::nullopt},
        {State::QuickStopActive, State::OperationEnabled, std::nullopt},
        {State::Unknown, State::OperationEnabled, std::nullopt},
        {State::SwitchOnDisabled, State::Fault, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceControl::NextToward(c.from, c.goal), c.next)
            << DeviceControl::StateName(c.from) << " -> " << DeviceControl::StateName(c.goal);
    }
    // Each step leads where the table says, so walking always ends at the goal.
    for (int from = 0; from < DeviceControl::kStateCount; ++from) {
        State state = static_cast<State>(from);
        for (int hops = 0; hops < 4; ++hops) {
            auto next = DeviceControl::NextToward(state, State::OperationEnabled);
            if (!next) {
                break;
            }
            state = DeviceControl::Target(state, *next);
        }
        if (!DeviceControl::Passing(static_cast<State>(from)) &&
            static_cast<State>(from) != State::Fault) {
            EXPECT_EQ(state, State::OperationEnabled) << from;
        }
    }
}

TEST(DeviceControl, SupportedModesAndErrorClasses) {
    const uint32_t family = 0x007F03ED;  // 6502h of the drive family
    for (int mode : {1, 3, 4, 6, 7, 8, 9, 10, -1, -4, -7}) {
        EXPECT_TRUE(DeviceControl::ModeSupported(family, static_cast<int8_t>(mode))) << mode;
    }
    for (int mode : {2, 5, 0, 11, -8}) {
        EXPECT_FALSE(DeviceControl::ModeSupported(family, static_cast<int8_t>(mode))) << mode;
    }
    EXPECT_TRUE(DeviceControl::ModeSupported(0x00010000, -1));
    EXPECT_FALSE(DeviceControl::ModeSupported(0x00010000, 1));
    EXPECT_FALSE(DeviceControl::ModeSupported(0x00000001, -1));

    using DeviceControl::ErrorClass;
    struct Case {
        uint16_t code;
        ErrorClass errorClass;
    };
    const Case cases[] = {
        {0x0000, ErrorClass::None},        {0x1000, ErrorClass::Generic},
        {0x2310, ErrorClass::Current},     {0x3210, ErrorClass::Voltage},
        {0x4310, ErrorClass::Temperature}, {0x5530, ErrorClass::Hardware},
        {0x6100, ErrorClass::Software},    {0x7305, ErrorClass::AdditionalModules},
        {0x8400, ErrorClass::Monitoring},  {0x8611, ErrorClass::Positioning},
        {0x9000, ErrorClass::External},    {0xFF0D, ErrorClass::DeviceSpecific},
        {0xFE00, ErrorClass::Unknown},     {0x0001, ErrorClass::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceControl::ClassOf(c.code), c.errorClass) << std::hex << c.code;
    }
    EXPECT_STREQ(DeviceControl::ErrorClassName(ErrorClass::Positioning), "Positioning controller");
}

}  // namespace
}  // namespace tarvo
