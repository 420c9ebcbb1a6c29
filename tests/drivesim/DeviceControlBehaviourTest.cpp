#include <gtest/gtest.h>

#include <cstdlib>

#include "protocol/DeviceControl.h"
#include "tests/drivesim/TestDrive.h"

namespace tarvo::sim::test {
namespace {

using DeviceControl::State;
using DeviceControl::Transition;

constexpr uint32_t kControlword = 0x604000;
constexpr uint32_t kStatusword = 0x604100;
constexpr uint32_t kMode = 0x606000;
constexpr uint32_t kTargetVelocity = 0x60FF00;
constexpr uint32_t kQuickStopOption = 0x605A00;

State Shown(TestDrive& drive) {
    return DeviceControl::Decode(static_cast<uint16_t>(drive.Read(kStatusword)));
}

void Command(TestDrive& drive, Transition transition) {
    drive.Write(kControlword, DeviceControl::ControlWord(transition), 2);
    drive.Wait(1000);
}

// Brings a fresh drive into `state` by its controlwords (a running motor for Quick stop
// active, which the drive leaves once the motor stands still).
void Into(TestDrive& drive, State state) {
    if (state == State::Fault) {
        drive.model->InjectError(1, false);
        drive.Wait(20000);
        return;
    }
    if (state == State::SwitchOnDisabled) {
        return;
    }
    Command(drive, Transition::Shutdown);
    if (state == State::ReadyToSwitchOn) {
        return;
    }
    Command(drive, Transition::SwitchOn);
    if (state == State::SwitchedOn) {
        return;
    }
    Command(drive, Transition::EnableOperation);
    if (state == State::QuickStopActive) {
        drive.Write(kMode, 3, 1);
        drive.Write(kTargetVelocity, 5120, 4);
        drive.Wait(500000);
        Command(drive, Transition::QuickStop);
    }
}

// Every transition of the table, commanded by its controlword, leads where CiA 402 says;
// the others leave the state as it is.
TEST(DeviceControlBehaviour, EveryControlwordActsAsTheStateMachineSays) {
    const State states[] = {State::SwitchOnDisabled, State::ReadyToSwitchOn, State::SwitchedOn,
                            State::OperationEnabled, State::QuickStopActive, State::Fault};
    for (State from : states) {
        for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
            auto transition = static_cast<Transition>(t);
            TestDrive drive(FamilySource());
            Into(drive, from);
            ASSERT_EQ(Shown(drive), from) << DeviceControl::StateName(from);
            if (transition == Transition::FaultReset && from == State::Fault) {
                drive.Write(kControlword, DeviceControl::kFaultResetPrelude, 2);
            }
            Command(drive, transition);
            // The drive knows words, not transitions: 0x0007 is Switch on from Ready to
            // switch on and Disable operation from Operation enabled.
            const uint16_t word = DeviceControl::ControlWord(transition);
            State expected = from;
            for (int u = 0; u < DeviceControl::kTransitionCount; ++u) {
                auto other = static_cast<Transition>(u);
                if (DeviceControl::ControlWord(other) == word &&
                    DeviceControl::Leaves(from, other)) {
                    expected = DeviceControl::Target(from, other);
                }
            }
            if (from == State::ReadyToSwitchOn && transition == Transition::EnableOperation) {
                expected = State::OperationEnabled;  // switch on and enable: 3 then 4
            }
            if (from == State::QuickStopActive && transition == Transition::EnableOperation) {
                expected = State::QuickStopActive;  // option code 2 passes on, never back
            }
            if (from == State::OperationEnabled && transition == Transition::QuickStop) {
                expected = State::SwitchOnDisabled;  // a motor at rest ends the stop at once
            }
            EXPECT_EQ(Shown(drive), expected) << DeviceControl::StateName(from) << " / "
                                              << DeviceControl::TransitionName(transition);
        }
    }
}

TEST(DeviceControlBehaviour, QuickStopOptionCodeDecidesWhereTheStopEnds) {
    struct Case {
        int option;
        State settled;
    };
    for (Case c : {Case{2, State::SwitchOnDisabled}, Case{6, State::QuickStopActive},
                   Case{0, State::SwitchOnDisabled}}) {
        TestDrive drive(FamilySource());
        drive.Write(kQuickStopOption, static_cast<uint32_t>(c.option), 2);
        Into(drive, State::QuickStopActive);
        if (c.option != 0) {
            EXPECT_EQ(Shown(drive), State::QuickStopActive) << c.option << ": braking";
            EXPECT_EQ(drive.Read(kStatusword) & 0x20, 0u) << "quick stop bit low";
        }
        drive.Wait(3000000);
        EXPECT_EQ(Shown(drive), c.settled) << c.option;
        EXPECT_LT(std::abs(static_cast<int32_t>(drive.Read(0x606C00))), 100) << c.option;
        if (c.settled == State::QuickStopActive) {
            drive.Write(kTargetVelocity, 0, 4);
            Command(drive, Transition::EnableOperation);
            EXPECT_EQ(Shown(drive), State::OperationEnabled) << "transition 16";
        }
    }
}

TEST(DeviceControlBehaviour, TargetReachedWaitsForThePositionWindowTimeAndTheHalt) {
    TestDrive drive(FamilySource());
    Into(drive, State::OperationEnabled);
    drive.Write(0x606800, 200, 2);  // position window time, ms
    drive.Wait(100000);
    drive.Write(kControlword, 0x1F, 2);  // a set-point at the present position
    drive.Wait(100000);
    EXPECT_EQ(drive.Read(kStatusword) & 0x0400, 0u) << "in the window for 100 ms of 200";
    drive.Wait(150000);
    EXPECT_NE(drive.Read(kStatusword) & 0x0400, 0u);

    // Halt in profile velocity mode: target reached once the motor stands.
    drive.Write(kMode, 3, 1);
    drive.Write(kTargetVelocity, 5120, 4);
    drive.Write(kControlword, 0x0F, 2);
    drive.Wait(1000000);
    drive.Write(kControlword, 0x010F, 2);
    drive.Wait(5000);
    EXPECT_EQ(drive.Read(kStatusword) & 0x0400, 0u) << "still braking";
    drive.Wait(2000000);
    EXPECT_NE(drive.Read(kStatusword) & 0x0400, 0u) << "halted";
}

TEST(DeviceControlBehaviour, FollowingErrorShowsInBitThirteenAndFaults) {
    TestDrive drive(FamilySource());
    drive.Write(0x201101, 150, 2);  // a soft position loop lags far behind
    drive.Write(0x606500, 50, 4);   // following error window, counts
    Into(drive, State::OperationEnabled);
    drive.Write(0x607A00, 400000, 4);
    drive.Write(kControlword, 0x1F, 2);
    bool bitSeen = false;
    for (int ms = 0; ms < 2000 && Shown(drive) == State::OperationEnabled; ++ms) {
        drive.Wait(1000);
        bitSeen = bitSeen || (drive.Read(kStatusword) & 0x2000) != 0;
    }
    EXPECT_TRUE(bitSeen);
    drive.Wait(3000000);
    EXPECT_EQ(Shown(drive), State::Fault);
    EXPECT_EQ(drive.Read(0x603F00), 0x8611u);
}

}  // namespace
}  // namespace tarvo::sim::test
