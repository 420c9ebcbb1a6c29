#include "app/InitSaveModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "comm/LinkRequester.h"
#include "comm/LinkSwitches.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "tests/comm/LinkTestSupport.h"

namespace tarvo {
namespace {

struct SentRequest {
    MessageTarget* window;
    SdoCommand command;
    uint32_t address;
    uint32_t data;
    bool operator==(const SentRequest&) const = default;
};

class RecordingRequester : public LinkRequester {
public:
    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override {
        sent.push_back({window, command, address, data});
        return 0;
    }
    std::vector<SentRequest> sent;
};

// The drive's store objects as the drive documents them (2FF0h subindices 01h and 03h).
constexpr uint32_t kControl = 0x2FF001;
constexpr uint32_t kMotor = 0x2FF003;

class InitSaveModelTest : public ::testing::Test {
protected:
    InitSaveModelTest() {
        switches.connectionState = ConnectionState::Open;
        model = std::make_unique<InitSaveModel>(
            InitSaveModel::Context{link, switches, box, timer, &mainFrame, &dialog});
        model->onButtonsEnabled = [this](bool enabled) { buttonStates.push_back(enabled); };
        model->Open();
        buttonStates.clear();
    }

    void Reply(uint32_t value, uint32_t address) {
        model->onMessage(WM_LINK_VALUE, value, static_cast<intptr_t>(address));
    }
    SentRequest Read(uint32_t address) { return {&dialog, SdoCommand::Read, address, 0}; }

    RecordingRequester link;
    LinkSwitches switches;
    RecordingMessageBox box;
    ManualTimer timer;
    test::RecordingWindow mainFrame;
    test::RecordingWindow dialog;
    std::unique_ptr<InitSaveModel> model;
    std::vector<bool> buttonStates;
};

TEST_F(InitSaveModelTest, HoldsTheLinkWhileOpenAndGivesItBackOnce) {
    EXPECT_EQ(switches.cyclicReadEnabled, 0);
    EXPECT_EQ(switches.transmitRetry, 0);
    EXPECT_EQ(switches.exclusiveMode, 1);
    EXPECT_EQ(switches.exclusiveWindow.load(), &dialog);
    EXPECT_TRUE(model->ButtonsEnabled());

    model->Close();
    model->Close();
    model.reset();  // destroying closes as well, without a second notice
    EXPECT_EQ(switches.cyclicReadEnabled, 1);
    EXPECT_EQ(switches.transmitRetry, 1);
    EXPECT_EQ(switches.exclusiveMode, 0);
    EXPECT_EQ(switches.exclusiveWindow.load(), nullptr);
    EXPECT_EQ(mainFrame.Count(WM_BROADCAST_STATE), 1u);
}

TEST_F(InitSaveModelTest, ButtonsNeedAnOpenConnection) {
    switches.connectionState = ConnectionState::Closed;
    for (auto command : {InitSaveModel::kSaveControl, InitSaveModel::kSaveMotor,
                         InitSaveModel::kInitializeControl, InitSaveModel::kReboot}) {
        model->Press(command);
    }
    EXPECT_EQ(box.texts, std::vector<std::string>(4, "Comm port isn't Open!"));
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(InitSaveModelTest, EachButtonWritesItsObject) {
    model->Press(InitSaveModel::kSaveControl);
    model->Press(InitSaveModel::kSaveMotor);
    model->Press(InitSaveModel::kInitializeControl);
    model->Press(InitSaveModel::kReboot);
    EXPECT_EQ(link.sent,
              (std::vector<SentRequest>{{&dialog, SdoCommand::Write8, kControl, 1},
                                        {&dialog, SdoCommand::Write8, kMotor, 1},
                                        {&dialog, SdoCommand::Write8, kControl, 10},
                                        {&dialog, SdoCommand::Write16, 0x2FFF00, 0xAA55}}));
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(InitSaveModelTest, RebootReplyStartsNoPolling) {
    model->Press(InitSaveModel::kReboot);
    link.sent.clear();
    Reply(0xAA55, 0x2FFF00);
    model->onMessage(WM_LINK_ABORT, 0x06090011, kControl);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_FALSE(timer.IsActive());
    EXPECT_TRUE(buttonStates.empty());
    EXPECT_TRUE(model->ButtonsEnabled());
}

TEST_F(InitSaveModelTest, BusyStoreIsPolledAlternately100msApart) {
    model->Press(InitSaveModel::kSaveControl);
    link.sent.clear();

    Reply(1, kControl);  // the write's reply: the drive is storing
    EXPECT_FALSE(model->ButtonsEnabled());
    ASSERT_EQ(link.sent, std::vector<SentRequest>{Read(kControl)});
    EXPECT_TRUE(timer.IsActive());
    EXPECT_EQ(timer.Interval(), std::chrono::milliseconds(100));

    // A reply inside the pause waits for it to end.
    Reply(1, kControl);
    EXPECT_EQ(link.sent.size(), 1u);
    timer.Fire();
    EXPECT_EQ(link.sent.back(), Read(kMotor));

    // A reply after the pause is polled at once, in the other phase.
    timer.Fire();
    EXPECT_FALSE(timer.IsActive());
    Reply(0, kMotor);
    EXPECT_EQ(link.sent.back(), Read(kControl));
    EXPECT_FALSE(model->ButtonsEnabled());

    timer.Fire();
    Reply(0, kControl);  // both idle now
    EXPECT_TRUE(model->ButtonsEnabled());
    EXPECT_EQ(link.sent.size(), 3u);
    EXPECT_FALSE(timer.Fire());
    EXPECT_EQ(buttonStates.back(), true);
}

TEST_F(InitSaveModelTest, AnyOtherValueMakesAnObjectBusyAgain) {
    Reply(0, kControl);
    timer.Fire();
    Reply(0, kMotor);
    ASSERT_TRUE(model->ButtonsEnabled());
    timer.Fire();
    Reply(7, kMotor);
    EXPECT_FALSE(model->ButtonsEnabled());
}

TEST_F(InitSaveModelTest, InitialisedValueIsAcknowledgedBeforeTheNextPoll) {
    Reply(0, kMotor);
    timer.Fire();
    link.sent.clear();

    Reply(10, kControl);
    // The write of 0 is the last request: a poll now would replace it in the link.
    EXPECT_EQ(link.sent, (std::vector<SentRequest>{{&dialog, SdoCommand::Write8, kControl, 0}}));
    EXPECT_TRUE(model->ButtonsEnabled());  // 10 counts as idle

    // Still busy elsewhere: the poll follows the pause.
    Reply(3, kMotor);
    link.sent.clear();
    timer.Fire();
    Reply(10, kControl);
    EXPECT_EQ(link.sent, (std::vector<SentRequest>{{&dialog, SdoCommand::Write8, kControl, 0}}));
    EXPECT_FALSE(model->ButtonsEnabled());
    EXPECT_TRUE(timer.IsActive());
    timer.Fire();
    EXPECT_EQ(link.sent.back(), Read(kControl));
}

TEST_F(InitSaveModelTest, ClosingStopsThePolling) {
    Reply(1, kControl);
    Reply(1, kControl);
    ASSERT_TRUE(timer.IsActive());
    size_t sent = link.sent.size();
    model->Close();
    EXPECT_FALSE(timer.Fire());
    EXPECT_EQ(link.sent.size(), sent);
    EXPECT_EQ(switches.cyclicReadEnabled, 1);
}

TEST_F(InitSaveModelTest, InitializeAndRebootAreSentOnlyWhenConfirmed) {
    std::vector<InitSaveModel::Command> asked;
    bool answer = false;
    model->confirm = [&](InitSaveModel::Command command) {
        asked.push_back(command);
        return answer;
    };
    model->Press(InitSaveModel::kInitializeControl);
    model->Press(InitSaveModel::kReboot);
    EXPECT_EQ(asked, (std::vector{InitSaveModel::kInitializeControl, InitSaveModel::kReboot}));
    EXPECT_TRUE(link.sent.empty());
    model->Press(InitSaveModel::kSaveControl);  // a save is not asked
    EXPECT_EQ(asked.size(), 2u);
    answer = true;
    model->Press(InitSaveModel::kReboot);
    EXPECT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(link.sent.back().address, 0x2FFF00u);
}

TEST_F(InitSaveModelTest, SaveTellsWhetherTheDriveStoredOrRefused) {
    std::vector<std::pair<InitSaveModel::Outcome, uint32_t>> outcomes;
    model->onOutcome = [&](InitSaveModel::Command, InitSaveModel::Outcome outcome, uint32_t code) {
        outcomes.emplace_back(outcome, code);
    };
    // Both objects idle from before: the save still waits until both read idle again.
    Reply(0, kControl);
    timer.Fire();
    Reply(0, kMotor);
    ASSERT_TRUE(model->ButtonsEnabled());
    model->Press(InitSaveModel::kSaveMotor);
    Reply(0, kMotor);  // the write's acknowledgement
    EXPECT_TRUE(outcomes.empty());
    EXPECT_FALSE(model->ButtonsEnabled());
    for (int poll = 0; poll < 4 && outcomes.empty(); ++poll) {
        timer.Fire();
        Reply(0, link.sent.back().address);
    }
    using Outcome = InitSaveModel::Outcome;
    EXPECT_EQ(outcomes, (std::vector<std::pair<Outcome, uint32_t>>{{Outcome::kSaved, 0}}));

    // A refused write or poll ends the save with its code; the polling stops.
    model->Press(InitSaveModel::kSaveControl);
    Reply(1, kControl);
    model->onMessage(WM_LINK_ABORT, 0x08000020, kMotor);
    EXPECT_EQ(outcomes.back(), std::make_pair(Outcome::kRefused, 0x08000020u));
    EXPECT_TRUE(model->ButtonsEnabled());
    EXPECT_FALSE(timer.IsActive());
    // Once told, a late abort or idle pair is not told again.
    model->onMessage(WM_LINK_ABORT, 0x06020000, kMotor);
    Reply(0, kControl);
    EXPECT_EQ(outcomes.size(), 2u);
    // A refused reboot is told as well.
    model->Press(InitSaveModel::kReboot);
    model->onMessage(WM_LINK_ABORT, 0x06010002, 0x2FFF00);
    EXPECT_EQ(outcomes.back(), std::make_pair(Outcome::kRefused, 0x06010002u));
}

TEST_F(InitSaveModelTest, WithoutAWindowTheModelOwnsTheLink) {
    InitSaveModel own({link, switches, box, timer, nullptr, nullptr});
    own.Open();
    EXPECT_EQ(switches.exclusiveWindow.load(), &own);
    own.Press(InitSaveModel::kSaveMotor);
    EXPECT_EQ(link.sent.back().window, &own);
}

}  // namespace
}  // namespace tarvo
