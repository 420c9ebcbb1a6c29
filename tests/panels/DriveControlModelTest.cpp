#include "panels/drivecontrol/DriveControlModel.h"

#include <gtest/gtest.h>

#include "IoPanelTestLink.h"
#include "protocol/DriveObjects.h"

namespace tarvo {
namespace {

using test::IoRequest;
using Model = DriveControlModel;
using DeviceControl::Transition;

constexpr uint32_t kControl = DriveObject::kControlWord;
constexpr uint32_t kStatus = DriveObject::kStatusWord;
constexpr uint32_t kMode = DriveObject::kModesOfOperation;
constexpr uint32_t kModeDisplay = DriveObject::kModesOfOperationDisplay;
constexpr uint32_t kTargetVelocity = DriveObject::kTargetVelocity;

// Statuswords as the drive sends them (voltage enabled and remote set).
constexpr uint16_t kSwitchOnDisabled = 0x0250;
constexpr uint16_t kReady = 0x0231;
constexpr uint16_t kSwitchedOn = 0x0233;
constexpr uint16_t kEnabled = 0x0237;
constexpr uint16_t kEnabledReached = 0x0637;
constexpr uint16_t kQuickStop = 0x0217;
constexpr uint16_t kFaultReaction = 0x021F;
constexpr uint16_t kFault = 0x0218;

IoRequest W16(uint32_t key, uint32_t value) {
    return {SdoCommand::Write16, key, value};
}
IoRequest W32(uint32_t key, uint32_t value) {
    return {SdoCommand::Write32, key, value};
}
IoRequest W8(uint32_t key, uint32_t value) {
    return {SdoCommand::Write8, key, value};
}
IoRequest Read(uint32_t key) {
    return {SdoCommand::Read, key, 0};
}

class DriveControlModelTest : public ::testing::Test {
protected:
    DriveControlModelTest() : model(link.Link(), nullptr) { model.Show(); }

    void Value(uint32_t key, uint32_t value) {
        model.onMessage(WM_LINK_VALUE, value, static_cast<intptr_t>(key));
    }
    void Status(uint16_t word) { Value(kStatus, word); }
    void Abort(uint32_t key, uint32_t code) {
        model.onMessage(WM_LINK_ABORT, code, static_cast<intptr_t>(key));
    }
    // Acknowledges each write as the drive does (the value written comes back) and returns
    // the requests they were, up to `count` of them.
    std::vector<IoRequest> AckAll(int count = 20) {
        std::vector<IoRequest> all;
        for (int i = 0; i < count; ++i) {
            std::vector<IoRequest> sent = link.Take();
            if (sent.empty()) {
                break;
            }
            for (const IoRequest& request : sent) {
                all.push_back(request);
                if (request.command != SdoCommand::Read) {
                    Value(request.key, request.data);
                }
            }
        }
        return all;
    }
    static std::vector<IoRequest> Writes(const std::vector<IoRequest>& requests) {
        std::vector<IoRequest> writes;
        for (const IoRequest& request : requests) {
            if (request.command != SdoCommand::Read) {
                writes.push_back(request);
            }
        }
        return writes;
    }
    // Operation enabled, read, in the given mode.
    void Enabled(int8_t mode) {
        Value(kModeDisplay, static_cast<uint8_t>(mode));
        Status(kEnabled);
        link.Take();
    }
    void Close() { link.connectionState = ConnectionState::Closed; }

    test::IoPanelTestLink link;
    Model model;
};

TEST_F(DriveControlModelTest, OpeningReadsAndRegistersButWritesNothing) {
    std::vector<IoRequest> sent = link.Take();
    EXPECT_TRUE(Writes(sent).empty());
    EXPECT_NE(std::find(sent.begin(), sent.end(), Read(kStatus)), sent.end());
    EXPECT_EQ(link.monitors.size(), Model::MonitoredKeys().size());
    for (const test::IoMonitor& monitor : link.monitors) {
        EXPECT_EQ(monitor.monitorClass, MonitorClass::ReadOnly);
    }
    for (uint16_t word : {kSwitchOnDisabled, kEnabled, kFault, kEnabledReached}) {
        Status(word);
    }
    model.Hide();
    model.Show();
    EXPECT_TRUE(Writes(link.Take()).empty());
    EXPECT_EQ(link.monitors.size(), Model::MonitoredKeys().size()) << "registered once";
}

// Which buttons each state offers. Columns: Shutdown, Switch on, Enable operation, Disable
// operation, Disable voltage, Quick stop, Fault reset.
TEST_F(DriveControlModelTest, ButtonsFollowTheStateShown) {
    struct Row {
        uint16_t word;
        const char* enabled;
    };
    const Row rows[] = {
        {0x0000, "0000010"},         {kSwitchOnDisabled, "1000010"},
        {kReady, "0100110"},         {kSwitchedOn, "1010110"},
        {kEnabled, "1001110"},       {kQuickStop, "0010110"},
        {kFaultReaction, "0000010"}, {kFault, "0000011"},
        {0x0001, "0000010"},
    };
    for (const Row& row : rows) {
        Status(row.word);
        for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
            EXPECT_EQ(model.TransitionEnabled(static_cast<Transition>(t)), row.enabled[t] == '1')
                << std::hex << row.word << " transition " << t;
        }
    }
    Close();
    for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
        EXPECT_FALSE(model.TransitionEnabled(static_cast<Transition>(t))) << t;
    }
}

TEST_F(DriveControlModelTest, QuickStopIsOfferedBeforeAnyStateIsKnown) {
    EXPECT_FALSE(model.StateKnown());
    EXPECT_TRUE(model.TransitionEnabled(Transition::QuickStop));
    EXPECT_FALSE(model.TransitionEnabled(Transition::Shutdown));
    link.Take();
    model.RequestTransition(Transition::QuickStop);
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{W16(kControl, 0x0002)});
}

TEST_F(DriveControlModelTest, TransitionsWriteTheirControlWordsInTurn) {
    link.Take();
    Status(kSwitchOnDisabled);
    model.RequestTransition(Transition::Shutdown);
    EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W16(kControl, 0x0006)});
    // Only a transition that leaves the state shown is sent.
    model.RequestTransition(Transition::EnableOperation);
    EXPECT_TRUE(link.Take().empty());

    // A fault reset makes bit 7 rise: clear, then set, the second only after the first.
    Status(kFault);
    model.RequestTransition(Transition::FaultReset);
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{W16(kControl, 0x0000)});
    Value(kControl, 0x0000);
    EXPECT_EQ(Writes(link.Take()), std::vector<IoRequest>{W16(kControl, 0x0080)});
    Value(kControl, 0x0080);

    // Enabling in profile velocity mode clears the target velocity first, so that the motor
    // does not run off at the last jog's speed.
    Value(kModeDisplay, 3);
    Status(kSwitchedOn);
    link.Take();
    model.RequestTransition(Transition::EnableOperation);
    EXPECT_EQ(Writes(AckAll()),
              (std::vector<IoRequest>{W32(kTargetVelocity, 0), W16(kControl, 0x000F)}));
}

TEST_F(DriveControlModelTest, MotionWaitsForOperationEnabledReadAfterTheLastChange) {
    EXPECT_FALSE(model.MotionAllowed()) << "no state read yet";
    Status(kSwitchedOn);
    EXPECT_FALSE(model.MotionAllowed());
    model.RequestTransition(Transition::EnableOperation);
    // A statusword that was on its way before the controlword was acknowledged is old.
    Status(kEnabled);
    EXPECT_FALSE(model.StateFresh());
    EXPECT_FALSE(model.MotionAllowed());
    EXPECT_FALSE(model.JogPress(100));
    Value(kControl, 0x000F);
    EXPECT_FALSE(model.MotionAllowed()) << "acknowledged, not yet read";
    EXPECT_EQ(link.Take().back(), Read(kStatus));
    Status(kEnabled);
    EXPECT_TRUE(model.MotionAllowed());

    // A lost link makes the state old until it is read again.
    model.onMessage(WM_LINK_STATE, ToWParam(WindowState::LinkLost), 0);
    EXPECT_FALSE(model.MotionAllowed());
    Status(kEnabled);
    EXPECT_TRUE(model.MotionAllowed());
    Close();
    EXPECT_FALSE(model.MotionAllowed());
}

TEST_F(DriveControlModelTest, JogRunsWhileHeldAndStopsOnEveryWayOfLettingGo) {
    enum class Release { Button, FocusLost, Hidden, ConnectionChanged };
    for (Release release :
         {Release::Button, Release::FocusLost, Release::Hidden, Release::ConnectionChanged}) {
        model.Show();
        Enabled(1);
        ASSERT_TRUE(model.JogPress(-1234));
        // Mode, velocity and controlword, each after the one before was acknowledged.
        EXPECT_EQ(link.Take(), std::vector<IoRequest>{W8(kMode, 3)});
        Value(kMode, 3);
        EXPECT_EQ(link.Take(), std::vector<IoRequest>{W32(kTargetVelocity, uint32_t(-1234))});
        Value(kTargetVelocity, uint32_t(-1234));
        EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W16(kControl, 0x000F)});
        Status(kEnabled);
        EXPECT_EQ(model.motion(), Model::Motion::Jogging);
        switch (release) {
            case Release::Button:
                model.JogRelease();
                break;
            case Release::FocusLost:
                model.FocusLost();
                break;
            case Release::Hidden:
                model.Hide();
                break;
            case Release::ConnectionChanged:
                model.onMessage(WM_LINK_STATE, ToWParam(WindowState::ConnectionChanged), 0);
                break;
        }
        EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W32(kTargetVelocity, 0)})
            << static_cast<int>(release);
        EXPECT_EQ(model.motion(), Model::Motion::None);
    }
}

TEST_F(DriveControlModelTest, ReleasedBeforeTheJogStartedSendsNoVelocity) {
    Enabled(1);
    ASSERT_TRUE(model.JogPress(500));
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{W8(kMode, 3)});
    model.JogRelease();
    EXPECT_TRUE(link.Take().empty()) << "one write at a time";
    Value(kMode, 3);
    EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W32(kTargetVelocity, 0)});
}

TEST_F(DriveControlModelTest, LostLinkWhileJoggingIsShownAndNothingRestarts) {
    Enabled(3);
    ASSERT_TRUE(model.JogPress(800));
    AckAll();
    Close();
    model.onMessage(WM_LINK_STATE, ToWParam(WindowState::LinkLost), 0);
    EXPECT_TRUE(link.Take().empty()) << "nothing can go out";
    EXPECT_EQ(model.notice(), Model::Notice::LinkLostWhileMoving);
    EXPECT_EQ(model.motion(), Model::Motion::None);
    link.connectionState = ConnectionState::Open;
    model.onMessage(WM_LINK_STATE, ToWParam(WindowState::ConnectionChanged), 0);
    EXPECT_TRUE(Writes(link.Take()).empty());
    EXPECT_FALSE(model.MotionAllowed()) << "the state is read again first";
    Status(kEnabled);
    EXPECT_TRUE(model.MotionAllowed());
}

TEST_F(DriveControlModelTest, MoveWritesItsSetPointAndEndsWhenTheTargetIsReached) {
    Enabled(1);
    Model::MoveRequest move{10000, true, 5120, 51200};
    ASSERT_TRUE(model.MoveStart(move));
    EXPECT_FALSE(model.MoveStart(move)) << "one motion at a time";
    EXPECT_EQ(Writes(AckAll()),
              (std::vector<IoRequest>{W32(DriveObject::kTargetPosition, 10000), W32(0x608100, 5120),
                                      W32(0x608300, 51200), W32(0x608400, 51200),
                                      W16(kControl, 0x000F), W16(kControl, 0x007F)}));
    // The target reached of the last move does not end this one.
    Status(kEnabledReached);
    EXPECT_EQ(model.motion(), Model::Motion::Moving);
    Status(kEnabled);
    Value(DriveObject::kPositionActualValue, 4000);
    EXPECT_EQ(model.PositionActual(), 4000);
    EXPECT_EQ(model.motion(), Model::Motion::Moving);
    Status(kEnabledReached);
    EXPECT_EQ(model.motion(), Model::Motion::None);
    EXPECT_TRUE(Writes(link.Take()).empty());

    // Stop sets the halt bit.
    ASSERT_TRUE(model.MoveStart({-5, false, 100, 100}));
    AckAll();
    model.MoveStop();
    EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W16(kControl, 0x010F)});
}

TEST_F(DriveControlModelTest, FaultWhileMovingIsShownAndOffersOnlyTheReset) {
    Enabled(1);
    ASSERT_TRUE(model.MoveStart({10000, false, 5120, 51200}));
    AckAll();
    Status(kEnabled);
    Status(kFaultReaction);
    EXPECT_EQ(model.notice(), Model::Notice::FaultWhileMoving);
    EXPECT_EQ(model.motion(), Model::Motion::None);
    EXPECT_TRUE(Writes(link.Take()).empty()) << "no move is sent again";
    Status(kFault);
    Value(0x603F00, 0x8611);
    EXPECT_EQ(model.ErrorCode(), 0x8611);
    EXPECT_FALSE(model.MotionAllowed());
    EXPECT_TRUE(model.TransitionEnabled(Transition::FaultReset));
    EXPECT_FALSE(model.TransitionEnabled(Transition::EnableOperation));

    // A jog that faults also clears its velocity.
    Status(kEnabled);
    ASSERT_TRUE(model.JogPress(300));
    AckAll();
    Status(kFault);
    EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W32(kTargetVelocity, 0)});
}

TEST_F(DriveControlModelTest, RefusedWritesAreShownAndNeverRepeated) {
    Enabled(3);
    ASSERT_TRUE(model.JogPress(999999));
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{W32(kTargetVelocity, 999999)});
    Abort(kTargetVelocity, 0x06090031);
    EXPECT_EQ(model.notice(), Model::Notice::Refused);
    EXPECT_EQ(model.RefusalText(), "60FF:00: Value of parameter written too high (0x06090031)");
    EXPECT_EQ(model.motion(), Model::Motion::None);
    // The controlword that would start the jog is never sent; the velocity is taken back.
    EXPECT_EQ(Writes(AckAll()), std::vector<IoRequest>{W32(kTargetVelocity, 0)});

    // A refused stop is followed by a quick stop, the one way left to stop the motor.
    ASSERT_TRUE(model.JogPress(100));
    AckAll();
    model.JogRelease();
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{W32(kTargetVelocity, 0)});
    Abort(kTargetVelocity, 0x08000022);
    EXPECT_EQ(model.notice(), Model::Notice::StopRefused);
    EXPECT_EQ(Writes(link.Take()), std::vector<IoRequest>{W16(kControl, 0x0002)});
    AckAll();

    // A refused transition is shown, and the state is read again.
    Value(kModeDisplay, 1);
    Status(kSwitchedOn);
    link.Take();
    model.RequestTransition(Transition::EnableOperation);
    link.Take();
    Abort(kControl, 0x08000022);
    EXPECT_EQ(model.RefusedAddress(), kControl);
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{Read(kStatus)});
}

TEST_F(DriveControlModelTest, ModesOfferedAreThoseTheDriveSupports) {
    EXPECT_EQ(model.OfferedModes().size(), 15u) << "none read: every named mode";
    Value(0x650200, 0x00000005);
    EXPECT_EQ(model.OfferedModes(), (std::vector<int8_t>{1, 3}));
    Abort(0x650200, 0x06020000);
    EXPECT_EQ(model.OfferedModes().size(), 15u);
    link.Take();
    model.ChooseMode(-4);
    EXPECT_EQ(link.Take(), std::vector<IoRequest>{W8(kMode, 0xFC)});
    Value(kMode, 0xFC);
    EXPECT_EQ(model.ModeChosen(), -4);
}

}  // namespace
}  // namespace tarvo
