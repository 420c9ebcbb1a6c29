#include <gtest/gtest.h>

#include <fstream>

#include "comm/CanBitRates.h"
#include "comm/forms/CommCanModel.h"
#include "comm/forms/CommModeModel.h"
#include "comm/forms/CommRs232Model.h"
#include "tests/comm/ConnectionRig.h"
#include "tests/comm/FakeCanLibrary.h"
#include "tests/serialport/PtyPeer.h"

namespace tarvo::test {
namespace {

// The baud entries of the two resource sets: the English one spells 115200 with a blank.
const std::vector<std::string> kEnglishBauds = {"4800",  "9600",  "14400",   "19200",
                                                "38400", "56000", "115200 ", "256000"};
const std::vector<std::string> kChineseBauds = {"4800",  "9600",  "14400",  "19200",
                                                "38400", "56000", "115200", "256000"};

class CommRs232ModelTest : public ::testing::Test {
protected:
    std::unique_ptr<CommRs232Model> Form(std::vector<std::string> bauds = kEnglishBauds) {
        return std::make_unique<CommRs232Model>(
            rig.Context(),
            [this] {
                ++listings;
                return ports;
            },
            std::move(bauds));
    }

    ConnectionRig rig;
    std::vector<std::string> ports = {"ttyS0", "ttyUSB0"};
    int listings = 0;
};

// The settings file trims "115200 " to "115200"; either language's entry is restored.
TEST_F(CommRs232ModelTest, StoredBaudSelectsItsEntryInBothLanguages) {
    rig.settings.SetSerial("ttyUSB0", "115200");
    rig.settings.SetSerialNodeId(5);
    auto english = Form(kEnglishBauds);
    english->Create();
    EXPECT_EQ(english->SelectedPort(), 1);
    EXPECT_EQ(english->SelectedBaud(), 6);
    EXPECT_EQ(english->NodeId(), 5);

    auto chinese = Form(kChineseBauds);
    chinese->Create();
    EXPECT_EQ(chinese->SelectedBaud(), 6);

    rig.settings.SetSerial("ttyUSB0", "11520");
    english = Form(kEnglishBauds);
    english->Create();
    EXPECT_EQ(english->SelectedBaud(), -1);
}

TEST_F(CommRs232ModelTest, UnknownStoredPortSelectsNoneAndTheButtonSaysWhy) {
    rig.settings.SetSerial("ttyUSB7", "9600");
    auto form = Form();
    form->Create();
    EXPECT_EQ(form->SelectedPort(), -1);
    EXPECT_EQ(form->SelectedBaud(), 1);
    EXPECT_EQ(form->NodeId(), 1);  // nothing stored: the form's own 1
    form->Toggle();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_TRUE(rig.mainFrame.messages.empty());
    EXPECT_EQ(rig.box.texts, std::vector<std::string>{"Must choose a COM port or Baud rate!!"});
    EXPECT_EQ(rig.settings.SerialPort(), "ttyUSB7");  // not rewritten
}

TEST_F(CommRs232ModelTest, PortListIsRefilledOnlyWhileClosedAndKeepsTheChoice) {
    auto form = Form();
    form->Create();
    form->SelectPort(1);
    ports = {"ttyACM0", "ttyS0", "ttyUSB0"};
    form->Redraw();
    EXPECT_EQ(form->Ports().size(), 3u);
    EXPECT_EQ(form->Ports()[form->SelectedPort()], "ttyUSB0");

    int before = listings;
    rig.switches.connectionState = ConnectionState::Open;
    form->Redraw();
    EXPECT_EQ(listings, before);
    rig.switches.connectionState = ConnectionState::Closed;

    ports = {"ttyS0"};  // the adapter was pulled
    form->Redraw();
    EXPECT_EQ(form->SelectedPort(), -1);

    // A list refilled from empty selects its first entry.
    ports = {};
    form->Redraw();
    ports = {"ttyUSB0"};
    form->Redraw();
    EXPECT_EQ(form->SelectedPort(), 0);
}

TEST_F(CommRs232ModelTest, FailedOpenIsReportedAndClosesAgain) {
    rig.PutSerialLibrary();
    ports = {"ttyNO0"};
    auto form = Form();
    form->Create();
    form->SelectPort(0);
    form->SelectBaud(6);
    form->Toggle();
    EXPECT_EQ(rig.box.texts, std::vector<std::string>{
                                 "open COM port failure!! \nTried port ttyNO0 at 115200 baud, "
                                 "node ID 1"});
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(form->StatusIcon(), 203);
    EXPECT_EQ(rig.MainFrameMessages(WM_LINK_FAILURE), std::vector<uintptr_t>{0});
    EXPECT_EQ(rig.session.connectInProgress, 0);
    EXPECT_EQ(rig.session.openedOnce, 0);
    // The choice is kept even so.
    EXPECT_EQ(rig.settings.SerialPort(), "ttyNO0");
}

TEST_F(CommRs232ModelTest, OpenThenChangingTheBaudCloses) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    rig.PutSerialLibrary();
    ports = {peer.PortName()};
    auto form = Form();
    form->Create();
    form->SelectPort(0);
    form->SelectBaud(6);
    form->SetNodeId(3);
    form->Toggle();
    ASSERT_TRUE(rig.box.texts.empty()) << rig.box.texts.front();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);
    EXPECT_EQ(form->StatusIcon(), 204);
    EXPECT_EQ(rig.MainFrameMessages(WM_CONNECTION_OPENED).size(), 1u);
    EXPECT_EQ(rig.session.connectInProgress, 1);
    EXPECT_EQ(rig.session.openedOnce, 1);
    EXPECT_EQ(rig.session.lastPortName, peer.PortName());
    EXPECT_EQ(rig.session.lastRate, 115200u);
    EXPECT_EQ(rig.session.lastNodeId, 3);
    EXPECT_EQ(rig.session.statusText, "Comm Status: Open  " + peer.PortName() + "  115200");
    EXPECT_EQ(rig.session.NoDriverText(), "Not Find Driver! Please Check...\nTried port " +
                                              peer.PortName() + " at 115200 baud, node ID 3");
    EXPECT_EQ(rig.settings.SerialPort(), peer.PortName());
    EXPECT_EQ(rig.settings.SerialNodeId(), "3");

    // While the main frame waits for the first reply the button does nothing.
    form->Toggle();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);

    rig.session.connectInProgress = 0;
    form->SelectBaud(2);
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(form->StatusIcon(), 203);
    EXPECT_EQ(rig.MainFrameMessages(WM_LINK_FAILURE), std::vector<uintptr_t>{0});
}

class CommCanModelTest : public ::testing::Test {
protected:
    FakeCanState* UseFakeLibrary() {
        rig.folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
        return rig.folder.CanState();
    }
    ConnectionRig rig;
};

// Every rate of the form, 20 kbit/s included, has its status text and its --bitrate name.
TEST(CanBitRatesTest, EveryEntryHasItsOpenTextAndRate) {
    EXPECT_EQ(CanBitRates::OpenText(0x532F), "Open 20 KBit/s");
    EXPECT_EQ(CanBitRates::OpenText(0x001C), "Open 500 KBit/s");
    EXPECT_EQ(CanBitRates::OpenText(0x1234), "Closed");
    EXPECT_EQ(CanBitRates::EntryOfKbits(1000), 0);
    EXPECT_EQ(CanBitRates::EntryOfKbits(20), 6);
    EXPECT_FALSE(CanBitRates::EntryOfKbits(800));
}

TEST_F(CommCanModelTest, StoredRateThatIsNoCodeLeavesTheFormUntouched) {
    rig.settings.SetCanBitRateCode(500);
    rig.settings.SetCanNodeId(9);
    CommCanModel form(rig.Context());
    form.Create();
    EXPECT_EQ(form.SelectedBitRate(), -1);
    EXPECT_EQ(form.NodeId(), 1);

    rig.settings.SetCanBitRateCode(0x001C);
    CommCanModel known(rig.Context());
    known.Create();
    EXPECT_EQ(known.SelectedBitRate(), 1);
    EXPECT_EQ(known.NodeId(), 9);
}

TEST_F(CommCanModelTest, VersionCaptionOrTheMissingDriverMessage) {
    CommCanModel without(rig.Context());
    without.Create();
    ASSERT_EQ(rig.box.texts.size(), 1u);
    EXPECT_EQ(rig.box.texts[0].rfind("Your PC doesn't have Peak CAN-USB driver!! \n", 0), 0u)
        << rig.box.texts[0];
    EXPECT_NE(rig.box.texts[0].find("libCAN.so"), std::string::npos) << rig.box.texts[0];
    EXPECT_EQ(without.VersionCaption(), "");  // the form keeps its resource text

    ASSERT_NE(UseFakeLibrary(), nullptr);
    CommCanModel with(rig.Context());
    with.Create();
    EXPECT_EQ(with.VersionCaption(), "CAN Ver:4.6.2");
    with.SelectBitRate(1);
    with.SetNodeId(4);
    EXPECT_EQ(with.Detail(),
              "PCAN-USB library version:4.6.2\nBit rate: 500 KBit/s (code 0x001C)\nNode ID: 4");
    EXPECT_EQ(rig.switches.canChosen, 1);
}

// The program's own CAN library words why: the backend and interface of sys/can.ini.
TEST_F(CommCanModelTest, MissingInterfaceIsNamedWithItsBackend) {
    rig.folder.Put(StageFolder() + "/data/libCAN.so", "libCAN.so");
    std::ofstream(rig.folder.Path() + "/sys/can.ini") << "[can]\nbackend=socketcan\n"
                                                         "interface=nosuchcan9\n";
    CommCanModel form(rig.Context());
    form.Create();
    ASSERT_EQ(rig.box.texts.size(), 1u);
    EXPECT_NE(rig.box.texts[0].find(
                  "backend=socketcan interface=nosuchcan9: no CAN interface nosuchcan9"),
              std::string::npos)
        << rig.box.texts[0];
    EXPECT_NE(form.Detail().find("Bit rate: none chosen\nNode ID: 1"), std::string::npos);
}

TEST_F(CommCanModelTest, FailedOpenLeavesTheConnectionClosed) {
    FakeCanState* can = UseFakeLibrary();
    ASSERT_NE(can, nullptr);
    can->openResult = 1;
    CommCanModel form(rig.Context());
    form.Create();
    form.SelectBitRate(2);
    form.Toggle();
    EXPECT_EQ(can->opens, 1);
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(form.StatusIcon(), 203);
    EXPECT_EQ(rig.session.connectInProgress, 0);
    EXPECT_TRUE(rig.MainFrameMessages(WM_CONNECTION_OPENED).empty());
    EXPECT_EQ(rig.MainFrameMessages(WM_LINK_FAILURE), std::vector<uintptr_t>{0});
    EXPECT_EQ(rig.box.texts,
              std::vector<std::string>{"open CAN port failure!! \nThe CAN library gave no reason.\n"
                                       "Tried CAN at 250 KBit/s, node ID 1"});
    EXPECT_EQ(rig.settings.CanBitRateCode(), "284");
}

TEST_F(CommCanModelTest, OpenThenChangingTheRateCloses) {
    FakeCanState* can = UseFakeLibrary();
    ASSERT_NE(can, nullptr);
    CommCanModel form(rig.Context());
    form.Create();
    form.Toggle();  // no rate chosen: nothing opens, and the form says why
    EXPECT_EQ(can->opens, 0);
    EXPECT_EQ(rig.box.texts, std::vector<std::string>{"Must choose a COMM port or Baud rate!!"});

    form.SelectBitRate(0);
    form.SetNodeId(2);
    form.Toggle();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);
    EXPECT_EQ(can->lastSettings.rate, 0x0014u);
    EXPECT_EQ(can->lastSettings.nodeId, 2u);
    EXPECT_EQ(rig.session.statusText, "Comm Status: Open 1 MBit/s");
    EXPECT_EQ(rig.session.lastRate, 0x0014u);
    EXPECT_EQ(rig.settings.CanBitRateCode(), "20");
    EXPECT_EQ(rig.settings.CanNodeId(), "2");

    rig.session.connectInProgress = 0;
    form.SelectBitRate(3);
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(rig.MainFrameMessages(WM_LINK_FAILURE), std::vector<uintptr_t>{0});
}

class CommModeModelTest : public ::testing::Test {
protected:
    ConnectionRig rig;
};

TEST_F(CommModeModelTest, CanIsShownOnlyAfterItWasChosenInThisRun) {
    rig.session.interfaceMode = kModeCan;
    CommModeModel first(rig.Context());
    EXPECT_EQ(first.Create(), CommModeModel::kOffline);
    EXPECT_EQ(rig.session.interfaceMode, kModeOffline);

    rig.session.interfaceMode = kModeCan;
    rig.switches.canChosen = 1;
    CommModeModel later(rig.Context());
    EXPECT_EQ(later.Create(), CommModeModel::kCan);
}

TEST_F(CommModeModelTest, CanWithoutItsLibraryFallsBackToOffline) {
    CommModeModel form(rig.Context());
    form.Create();
    EXPECT_EQ(form.ChooseCan(), CommModeModel::kOffline);
    ASSERT_EQ(rig.box.texts.size(), 1u);
    EXPECT_EQ(rig.box.texts[0].rfind("Open PCAN_USB failure!!\n", 0), 0u);
    EXPECT_NE(rig.box.texts[0].find("/data/libCAN.so: No such file"), std::string::npos);
    EXPECT_EQ(rig.session.interfaceMode, kModeOffline);
}

TEST_F(CommModeModelTest, NextKeepsTheConnectionUntilOfflineStoresTheModeAndOpensTheForm) {
    rig.switches.connectionState = ConnectionState::Open;
    CommModeModel form(rig.Context());
    form.Create();
    form.ChooseRs232();
    form.Next();
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);
    EXPECT_EQ(rig.settings.InterfaceMode(), kModeRs232);
    EXPECT_TRUE(rig.MainFrameMessages(WM_LINK_FAILURE).empty());
    EXPECT_EQ(rig.MainFrameMessages(WM_OPEN_VIEW), std::vector<uintptr_t>{0});

    rig.folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
    EXPECT_EQ(form.ChooseCan(), CommModeModel::kCan);
    form.Next();
    EXPECT_EQ(rig.settings.InterfaceMode(), kModeCan);
    EXPECT_EQ(rig.MainFrameMessages(WM_OPEN_VIEW), (std::vector<uintptr_t>{0, 1}));

    form.ChooseOffline();
    form.Next();
    EXPECT_EQ(rig.settings.InterfaceMode(), kModeOffline);
    EXPECT_EQ(rig.MainFrameMessages(WM_OPEN_VIEW).size(), 2u);  // no form for offline
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Closed);
    EXPECT_EQ(rig.MainFrameMessages(WM_LINK_FAILURE), std::vector<uintptr_t>{0});
}

// A working RS232 connection survives a CAN open that fails, and a CAN open that succeeds
// replaces it; the CAN form's button never closes the RS232 connection.
TEST_F(CommModeModelTest, OpenConnectionStaysUntilTheOtherInterfaceOpens) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    rig.PutSerialLibrary();
    rig.folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
    CommRs232Model serial(
        rig.Context(), [&] { return std::vector<std::string>{peer.PortName()}; }, kChineseBauds);
    serial.Create();
    serial.SelectPort(0);
    serial.SelectBaud(6);
    serial.Toggle();
    ASSERT_EQ(rig.link.OpenInterface(), kModeRs232);
    rig.session.connectInProgress = 0;

    CommModeModel mode(rig.Context());
    mode.ChooseCan();
    mode.Next();
    FakeCanState* can = rig.folder.CanState();
    ASSERT_NE(can, nullptr);
    CommCanModel canForm(rig.Context());
    canForm.Create();
    EXPECT_EQ(canForm.StatusIcon(), 203);
    EXPECT_EQ(serial.StatusIcon(), 204);
    canForm.SelectBitRate(1);  // a CAN choice does not touch the RS232 connection
    EXPECT_EQ(rig.link.OpenInterface(), kModeRs232);

    can->openResult = 1;
    canForm.Toggle();
    EXPECT_EQ(can->opens, 1);
    EXPECT_EQ(rig.switches.connectionState, ConnectionState::Open);
    EXPECT_EQ(rig.link.OpenInterface(), kModeRs232);
    EXPECT_TRUE(rig.MainFrameMessages(WM_LINK_FAILURE).empty());
    ASSERT_FALSE(rig.box.texts.empty());
    EXPECT_NE(rig.box.texts.back().find("The open connection stays open."), std::string::npos);

    can->openResult = 0;
    canForm.Toggle();
    EXPECT_EQ(rig.link.OpenInterface(), kModeCan);
    EXPECT_EQ(canForm.StatusIcon(), 204);
    EXPECT_EQ(serial.StatusIcon(), 203);
    EXPECT_EQ(rig.session.statusText, "Comm Status: Open 500 KBit/s");
    EXPECT_TRUE(rig.MainFrameMessages(WM_LINK_FAILURE).empty());

    // And back: the RS232 open replaces the CAN connection, whose object is closed.
    rig.session.connectInProgress = 0;
    int closes = can->closes;
    serial.Toggle();
    EXPECT_EQ(rig.link.OpenInterface(), kModeRs232);
    EXPECT_GT(can->closes, closes);
}

}  // namespace
}  // namespace tarvo::test
