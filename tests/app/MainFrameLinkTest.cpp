#include "app/MainFrameLink.h"

#include <gtest/gtest.h>

#include <chrono>

#include "dictionary/FormulaEvaluator.h"
#include "platform/Timer.h"
#include "tests/comm/ConnectionRig.h"
#include "tests/comm/FakeCanLibrary.h"
#include "tests/serialport/PtyPeer.h"

namespace tarvo {
namespace {

using test::ConnectionRig;

class MainFrameLinkTest : public ::testing::Test {
protected:
    MainFrameLinkTest() : formulas(rig.link, rig.switches.mainFrameWindow, &rig.box) {}

    // The main frame's side, with hooks that note what the window would show.
    MainFrameLink& Link() {
        if (!link) {
            MainFrameLink::Context context{rig.link, rig.switches, rig.session, rig.settings,
                                           rig.box,  formulas,     blinkTimer,  &rig.mainFrame};
            MainFrameLink::ViewHooks hooks;
            hooks.selectStateImage = [this](int image) { images.push_back(image); };
            hooks.showStatus = [this](const std::string& text) { statusPane = text; };
            hooks.broadcast = [this](WindowState state) {
                broadcasts.push_back(static_cast<int>(state));
            };
            hooks.notifySettingsForms = [this](WindowState state) {
                formCodes.push_back(static_cast<int>(state));
            };
            hooks.rs232FormExists = [this] { return rs232FormExists; };
            hooks.canFormExists = [this] { return canFormExists; };
            hooks.linkLost = [this] { ++losses; };
            link = std::make_unique<MainFrameLink>(context, std::move(hooks));
            link->Start();
        }
        return *link;
    }

    ConnectionRig rig;
    FormulaEvaluator formulas;
    ManualTimer blinkTimer;
    std::unique_ptr<MainFrameLink> link;
    std::vector<int> images;
    std::string statusPane;
    std::vector<int> broadcasts;
    std::vector<int> formCodes;
    bool rs232FormExists = false;
    bool canFormExists = false;
    int losses = 0;
};

constexpr uint32_t kStatusWord = 0x604100;
constexpr uint32_t kFaultBit = 0x0008;

TEST_F(MainFrameLinkTest, StartShowsClosedAndRepeatsEvery1200ms) {
    Link();
    EXPECT_EQ(statusPane, "Comm Status: Closed");
    EXPECT_EQ(link->StateImage(), 205);
    EXPECT_TRUE(blinkTimer.IsActive());
    EXPECT_EQ(blinkTimer.Interval(), std::chrono::milliseconds(1200));
}

TEST_F(MainFrameLinkTest, FirstStatusWordConfirmsTheConnectionAndBit3PicksTheIcon) {
    Link();
    rig.switches.connectionState = ConnectionState::Open;
    rig.session.connectInProgress = 1;
    rig.session.statusText = "Comm Status: Open  ttySIM0  115200";

    link->OnLinkValue(0x0237, kStatusWord);
    EXPECT_EQ(rig.session.connectInProgress, 0);
    EXPECT_EQ(statusPane, "Comm Status: Open  ttySIM0  115200");
    EXPECT_EQ(link->DriveStatus(), 0);
    EXPECT_EQ(link->StateImage(), 211);
    EXPECT_EQ(broadcasts, std::vector<int>{2});
    EXPECT_EQ(formCodes, std::vector<int>{6});
    EXPECT_TRUE(rig.box.texts.empty());  // the first reply is no failure

    images.clear();
    link->OnLinkValue(0x0237 | kFaultBit, kStatusWord);
    link->OnLinkValue(0x0237 | kFaultBit, kStatusWord);
    EXPECT_EQ(link->DriveStatus(), 1);
    EXPECT_EQ(images, std::vector<int>{210});  // selected once, not at every reply
    link->OnLinkValue(0x0237, kStatusWord);
    EXPECT_EQ(images, (std::vector<int>{210, 211}));
    EXPECT_EQ(broadcasts.size(), 1u);  // confirmed once per connection
}

TEST_F(MainFrameLinkTest, FaultAtTheFirstStatusWordShowsTheFaultIcon) {
    Link();
    rig.switches.connectionState = ConnectionState::Open;
    link->OnLinkValue(kFaultBit, kStatusWord);
    EXPECT_EQ(link->StateImage(), 210);
    EXPECT_EQ(link->DriveStatus(), 1);
}

TEST_F(MainFrameLinkTest, BlinksBetweenTheDriveStateAndNoConnection) {
    Link();
    rig.switches.connectionState = ConnectionState::Open;
    link->OnLinkValue(kFaultBit, kStatusWord);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        blinkTimer.Fire();
        shown.push_back(link->StateImage());
    }
    EXPECT_EQ(shown, (std::vector<int>{210, 205, 210, 205}));

    link->OnLinkValue(0, kStatusWord);
    shown.clear();
    for (int i = 0; i < 2; ++i) {
        blinkTimer.Fire();
        shown.push_back(link->StateImage());
    }
    EXPECT_EQ(shown, (std::vector<int>{211, 205}));

    // Closed: no blinking, and referenced values are read again after the next open.
    link->OnLinkValue(7, 0x607A00);
    ASSERT_TRUE(formulas.HasConstant(0x607A00));
    rig.switches.connectionState = ConnectionState::Closed;
    blinkTimer.Fire();
    blinkTimer.Fire();
    EXPECT_EQ(link->StateImage(), 205);
    EXPECT_FALSE(formulas.HasConstant(0x607A00));
}

TEST_F(MainFrameLinkTest, OtherAddressesBecomeConstantsOnce) {
    Link();
    rig.session.connectInProgress = 1;
    link->OnLinkValue(5, 0x200100);
    EXPECT_EQ(rig.session.connectInProgress, 0);
    link->OnLinkValue(9, 0x200100);
    EXPECT_EQ(formulas.ConstantValue(0x200100), 5);
    EXPECT_TRUE(broadcasts.empty());
    EXPECT_EQ(link->DriveStatus(), -1);  // only the status word confirms a connection
}

TEST_F(MainFrameLinkTest, FailureWhileConnectingSaysNotFindDriverOnce) {
    Link();
    rig.switches.connectionState = ConnectionState::Open;
    rig.session.connectInProgress = 1;
    link->OnConnectionEvent(0);
    EXPECT_EQ(rig.box.texts, std::vector<std::string>{"Not Find Driver! Please Check..."});
    EXPECT_EQ(rig.session.connectInProgress, 0);
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(statusPane, "Comm Status: Closed");
    EXPECT_EQ(link->StateImage(), 205);
    EXPECT_EQ(formCodes, std::vector<int>{6});
    EXPECT_TRUE(broadcasts.empty());
    EXPECT_EQ(losses, 0);  // nothing was read over a connection never confirmed

    // A failure of a confirmed connection closes it without the message, and what was read
    // over it turns stale once, however often the failure is reported.
    link->OnLinkValue(0, kStatusWord);
    link->OnConnectionEvent(0);
    EXPECT_EQ(rig.box.texts.size(), 1u);
    EXPECT_EQ(link->DriveStatus(), -1);
    EXPECT_EQ(losses, 1);
    link->OnConnectionEvent(0);
    EXPECT_EQ(losses, 1);
    // The toolbar's disconnect loses a confirmed connection as well.
    link->OnLinkValue(0, kStatusWord);
    link->ToggleConnection();
    EXPECT_EQ(losses, 2);
}

TEST_F(MainFrameLinkTest, ReconnectInOfflineModeSaysSo) {
    rig.session.interfaceMode = kModeOffline;
    Link().ToggleConnection();
    EXPECT_EQ(rig.box.texts, std::vector<std::string>{"The connecting mode is Offline!!"});
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(rig.session.connectInProgress, 0);
    EXPECT_EQ(statusPane, "Comm Status: Closed");
}

TEST_F(MainFrameLinkTest, SerialReconnectFailureKeepsTheConnectionClosed) {
    rig.session.interfaceMode = kModeRs232;
    rig.settings.SetSerial("ttyS9", "115200");
    Link().ToggleConnection();  // no libCOM.so in this program folder
    ASSERT_FALSE(rig.box.texts.empty());
    EXPECT_EQ(rig.box.texts.back(), "open COM port failure! comm setting might wrong! \n");
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(rig.session.connectInProgress, 0);
    EXPECT_EQ(link->StateImage(), 205);
}

TEST_F(MainFrameLinkTest, SerialReconnectUsesTheFormsSettingsOnlyAfterAnOpen) {
    test::PtyPeer peer;  // silent: the open itself succeeds
    ASSERT_TRUE(peer.ok());
    rig.PutSerialLibrary();
    rig.session.interfaceMode = kModeRs232;
    rig.settings.SetSerial("ttyGONE", "9600");
    rig.settings.SetSerialNodeId(3);
    rig.session.lastPortName = peer.PortName();
    rig.session.lastRate = 115200;
    rig.session.lastNodeId = 1;

    // The form exists but nothing was opened in this run: the file's settings are used.
    rs232FormExists = true;
    Link().ToggleConnection();
    EXPECT_EQ(rig.box.texts.back(), "open COM port failure! comm setting might wrong! \n");
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);

    rig.session.openedOnce = 1;
    link->ToggleConnection();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);
    EXPECT_EQ(rig.session.connectInProgress, 1);
    EXPECT_EQ(rig.session.statusText, "Comm Status: Open  " + peer.PortName() + "  115200");
    EXPECT_EQ(link->StateImage(), 211);

    // While the open waits for its first reply the button does nothing.
    link->ToggleConnection();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);

    // Disconnecting from the toolbar runs the closed handling, settings forms included.
    rig.session.connectInProgress = 0;
    formCodes.clear();
    link->ToggleConnection();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(statusPane, "Comm Status: Closed");
    EXPECT_EQ(link->StateImage(), 205);
    EXPECT_EQ(formCodes, std::vector<int>{6});
}

TEST_F(MainFrameLinkTest, CanReconnectWithoutTheLibraryFallsBackToOffline) {
    rig.session.interfaceMode = kModeCan;
    Link().ToggleConnection();
    EXPECT_EQ(rig.box.texts.back(), "The connecting mode is Offline!!");
    EXPECT_EQ(rig.session.interfaceMode, kModeOffline);
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
}

TEST_F(MainFrameLinkTest, CanReconnectReportsAFailedOpenAndNamesTheRate) {
    rig.folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
    FakeCanState* can = rig.folder.CanState();
    ASSERT_NE(can, nullptr);
    rig.session.interfaceMode = kModeCan;
    rig.settings.SetCanBitRateCode(0x001C);
    rig.settings.SetCanNodeId(4);

    can->openResult = 1;
    Link().ToggleConnection();
    EXPECT_EQ(rig.box.texts.back(), "open CAN port failure! comm setting might wrong! \n");
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);

    can->openResult = 0;
    link->ToggleConnection();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);
    EXPECT_EQ(rig.session.statusText, "Comm Status: Open 500 KBit/s");
    EXPECT_EQ(can->lastSettings.rate, 0x001Cu);
    EXPECT_EQ(can->lastSettings.nodeId, 4u);
}

}  // namespace
}  // namespace tarvo
