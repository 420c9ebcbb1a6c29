#include "panels/ParameterPanel.h"

#include <gtest/gtest.h>

#include <cstring>

#include "panels/PanelFamily.h"
#include "platform/ProfileFile.h"
#include "tests/panels/PanelRig.h"

namespace tarvo {
namespace {

using test::PanelRig;
using test::SentRequest;

class ParameterPanelTest : public ::testing::Test {
protected:
    // A panel of the family created over the rig, its link log cleared afterwards.
    ParameterPanel& Make(uint32_t command, bool clearLog = true) {
        panel = std::make_unique<ParameterPanel>(*PanelFamily::ByCommand(command), rig.Services());
        panel->Create();
        if (clearLog) {
            rig.link.requests.clear();
        }
        return *panel;
    }

    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int row = 0; row < panel->List().RowCount(); ++row) {
            texts.push_back(panel->List().Text(row, column));
        }
        return texts;
    }

    SentRequest Read(uint32_t key) const { return {panel.get(), SdoCommand::Read, key, 0}; }
    void Value(uint32_t key, uint32_t raw) { panel->onMessage(WM_LINK_VALUE, raw, key); }

    PanelRig rig;
    std::unique_ptr<ParameterPanel> panel;
};

constexpr uint32_t kBasic = 1227;
constexpr uint32_t kTorque = 1222;
constexpr uint32_t kMotor = 1229;
constexpr uint32_t kProperties = 1234;

TEST_F(ParameterPanelTest, DefinitionFileRowsAndBadLines) {
    // Line 2 names no entry, line 4 repeats line 1, line 5 is written with 0x and lower case.
    rig.Definition("BasicOperate",
                   "num=6\r\n1=606000\r\n2=999900\r\n3=604100\r\n4=606000\r\n5=0x6081 00\r\n"
                   "garbage line\r\n6=\r\n");
    Make(kBasic);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn), (std::vector<std::string>{"1", "3*", "5"}));
    EXPECT_EQ(Column(ParameterRows::kNameColumn),
              (std::vector<std::string>{"Mode", "Status word", "Profile velocity"}));
    EXPECT_EQ(Column(ParameterRows::kUnitColumn), (std::vector<std::string>{"DEC", "DEC", "rpm"}));
    EXPECT_TRUE(panel->IsReadOnlyRow(1));
    EXPECT_FALSE(panel->IsReadOnlyRow(0));
    // Real-time entries are registered: class 2 when writable, 1 when read-only.
    EXPECT_EQ(rig.link.monitors, (std::vector<test::FakePanelLink::Monitor>{
                                     {panel.get(), PanelRig::kStatus, MonitorClass::ReadOnly},
                                     {panel.get(), PanelRig::kVelocity, MonitorClass::Writable}}));

    for (const char* bad : {"num=-4\r\n1=606000\r\n", "num=99999999999\r\n1=606000\r\n",
                            "num=abc\r\n1=606000\r\n", ""}) {
        rig.Definition("BasicOperate", bad);
        Make(kBasic);
        EXPECT_LE(panel->List().RowCount(), 1) << bad;
    }
    Make(kMotor);  // no file at all
    EXPECT_EQ(panel->List().RowCount(), 0);
}

std::string Utf16Le(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A broken definition file is named once with what is wrong, and the panel still opens
// with the rows that could be read.
TEST_F(ParameterPanelTest, BrokenDefinitionIsNamedOnceAndBuildsWhatItCan) {
    struct Case {
        std::string bytes;
        const char* problem;  // empty: none
        int rows;
    };
    const std::string good = "[BasicOperate]\r\nnum=2\r\n1=606000\r\n2=608100\r\n";
    const Case cases[] = {
        {good, "", 2},
        {Utf16Le(good), "", 2},
        {"", "is empty", 0},
        {" \r\n\t\r\n", "is empty", 0},
        {good + std::string("\x01\x00\x7F", 3), "holds zero bytes", 2},
        {"[Other]\r\nnum=1\r\n1=606000\r\n", "has no [BasicOperate] section", 0},
        {"[BasicOperate]\r\n\r\n[Other]\r\nnum=1\r\n", "holds no entries", 0},
        {"[BasicOperate]\r\n1=606000\r\n", "gives no row count (num=)", 0},
    };
    for (const Case& c : cases) {
        std::string path = rig.folder.Write("sys/BasicOperate.ini", c.bytes);
        rig.box.texts.clear();
        Make(kBasic);
        EXPECT_EQ(panel->List().RowCount(), c.rows) << c.problem;
        if (*c.problem == '\0') {
            EXPECT_TRUE(rig.box.texts.empty()) << rig.box.texts.front();
            continue;
        }
        ASSERT_EQ(rig.box.texts.size(), 1u) << c.problem;
        EXPECT_EQ(rig.box.texts[0].rfind(path, 0), 0u) << rig.box.texts[0];
        EXPECT_NE(rig.box.texts[0].find(c.problem), std::string::npos) << rig.box.texts[0];
    }
    rig.box.texts.clear();
    Make(kMotor);  // no file at all
    ASSERT_EQ(rig.box.texts.size(), 1u);
    EXPECT_NE(rig.box.texts[0].find("MotorConfig.ini: No such file"), std::string::npos);
}

// Found by fuzzing: lines far apart made the panel read every missing line in between
// (two billion reads of the file), so opening the panel never ended.
TEST_F(ParameterPanelTest, DefinitionLinesFarApartLoadAtOnce) {
    rig.Definition("BasicOperate",
                   "num=2147483647\r\n1=606000\r\n2147483647=604100\r\n01=606400\r\n");
    Make(kBasic);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn), (std::vector<std::string>{"1", "2147483647*"}));
    // Lines past a 32-bit "num" name no row.
    rig.Definition("BasicOperate", "num=99999999999\r\n9999999999=606000\r\n2=604100\r\n");
    Make(kBasic);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn), (std::vector<std::string>{"2*"}));
}

TEST_F(ParameterPanelTest, ReadPassKeepsOneReadInFlightInOrder) {
    rig.Definition("BasicOperate", "num=4\r\n1=606000\r\n2=604100\r\n3=606400\r\n4=608100\r\n");
    Make(kBasic, false);
    // Every row is read once as it is added, then the pass starts with the first row.
    ASSERT_EQ(rig.link.requests.size(), 5u);
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kMode));
    rig.link.requests.clear();

    Value(PanelRig::kStatus, 7);  // a monitor value meanwhile: no second read of the pass
    EXPECT_TRUE(rig.link.requests.empty());
    Value(PanelRig::kMode, 200);
    panel->onMessage(WM_LINK_ABORT, 0x06020000, PanelRig::kStatus);
    Value(PanelRig::kPosition, 0xFFFFFFFF);
    Value(PanelRig::kVelocity, 512);
    EXPECT_EQ(rig.link.requests,
              (std::vector<SentRequest>{Read(PanelRig::kStatus), Read(PanelRig::kPosition),
                                        Read(PanelRig::kVelocity)}));
    EXPECT_EQ(panel->PassCursor(), 0);
    EXPECT_EQ(Column(ParameterRows::kValueColumn),
              (std::vector<std::string>{"-56", "????", "-1", "60.000"}));

    // A value that arrives after the pass changes the row without reading anything.
    rig.link.requests.clear();
    Value(PanelRig::kStatus, 0x237);
    EXPECT_EQ(panel->List().Text(1, ParameterRows::kValueColumn), "567");
    EXPECT_TRUE(rig.link.requests.empty());
}

// A lost link makes every row stale at once; a row turns live only when the drive answers for
// it again (a value, a refusal or an uploaded text), whatever the other rows do.
TEST_F(ParameterPanelTest, LostLinkMarksEveryRowStaleUntilItIsReadAgain) {
    rig.Definition("BasicOperate", "num=3\r\n1=606000\r\n2=604100\r\n3=606400\r\n");
    Make(kBasic);
    Value(PanelRig::kMode, 1);
    Value(PanelRig::kStatus, 7);
    Value(PanelRig::kPosition, 9);
    auto staleRows = [this] {
        std::vector<bool> rows;
        for (int row = 0; row < panel->List().RowCount(); ++row) {
            rows.push_back(panel->List().IsStale(row));
        }
        return rows;
    };
    EXPECT_EQ(staleRows(), (std::vector<bool>{false, false, false}));

    panel->onMessage(WM_LINK_STATE, ToWParam(WindowState::LinkLost), 1765000000);
    EXPECT_EQ(staleRows(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(panel->List().StaleSince(), 1765000000);
    // The texts stay as they were read: only their look changes.
    EXPECT_EQ(Column(ParameterRows::kValueColumn), (std::vector<std::string>{"1", "7", "9"}));

    Value(PanelRig::kStatus, 7);  // the same text as before still counts as read again
    EXPECT_EQ(staleRows(), (std::vector<bool>{true, false, true}));
    panel->onMessage(WM_LINK_ABORT, 0x06020000, PanelRig::kPosition);
    EXPECT_EQ(staleRows(), (std::vector<bool>{true, false, false}));
    Value(0x123400, 5);  // an address of no row changes nothing
    EXPECT_EQ(staleRows(), (std::vector<bool>{true, false, false}));
    // A new row was never read over the lost link.
    panel->List().InsertRow(3, "4");
    EXPECT_FALSE(panel->List().IsStale(3));
}

TEST_F(ParameterPanelTest, PassSurvivesDeletedRowsAndValuesItCannotShow) {
    rig.Definition("BasicOperate", "num=3\r\n1=606000\r\n2=606400\r\n3=604100\r\n");
    Make(kBasic);
    // The first row goes while its read is in flight: the answer is ignored and the pass goes
    // on with the row that moved up into its place.
    panel->List().SetSelected(0, true);
    panel->RunCommand(ParameterPanel::kDelete);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn), (std::vector<std::string>{"1*", "2*"}));
    Value(PanelRig::kMode, 3);
    EXPECT_EQ(rig.link.requests, (std::vector<SentRequest>{Read(PanelRig::kPosition)}));

    // A row whose unit no longer exists cannot be shown; the rows below are still read.
    rig.Definition("BasicOperate", "num=2\r\n1=608100\r\n2=606400\r\n");
    Make(kBasic);
    panel->List().SetText(0, ParameterRows::kUnitColumn, "furlong");
    panel->List().SetText(0, ParameterRows::kValueColumn, "old");
    Value(PanelRig::kVelocity, 512);
    EXPECT_EQ(panel->List().Text(0, ParameterRows::kValueColumn), "old");
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kPosition));
}

TEST_F(ParameterPanelTest, DeletingARowAroundTheReadInFlightSkipsNoRowAndRereadsNone) {
    using P = PanelRig;
    struct Case {
        int answered;  // pass replies before the delete
        int deleted;
        std::vector<uint32_t> reads;  // the pass's reads after its first one
    };
    const Case cases[] = {
        {0, 0, {P::kPosition, P::kStatus, P::kVelocity}},  // the row being read
        {0, 1, {P::kStatus, P::kVelocity}},                // the row after it
        {0, 3, {P::kPosition, P::kStatus}},
        {1, 0, {P::kPosition, P::kStatus, P::kVelocity}},  // a row already read
        {1, 1, {P::kPosition, P::kStatus, P::kVelocity}},
        {1, 2, {P::kPosition, P::kVelocity}},
    };
    for (const Case& c : cases) {
        rig.Definition("BasicOperate", "num=4\r\n1=606000\r\n2=606400\r\n3=604100\r\n4=608100\r\n");
        Make(kBasic);
        // The pass's first read was sent before the log was cleared.
        auto answerInFlight = [&] {
            Value(rig.link.requests.empty() ? P::kMode : rig.link.requests.back().address, 1);
        };
        for (int i = 0; i < c.answered; ++i) {
            answerInFlight();
        }
        panel->List().SetSelected(c.deleted, true);
        panel->RunCommand(ParameterPanel::kDelete);
        for (int i = 0; panel->PassCursor() != 0 && i < 8; ++i) {
            answerInFlight();
        }
        std::vector<SentRequest> expected;
        for (uint32_t key : c.reads) {
            expected.push_back(Read(key));
        }
        EXPECT_EQ(rig.link.requests, expected) << c.answered << " " << c.deleted;
    }
}

TEST_F(ParameterPanelTest, EditedValuesAndUnitsReachTheDrive) {
    rig.Definition("BasicOperate", "num=2\r\n1=608100\r\n2=606000\r\n");
    Make(kBasic);
    panel->List().SetText(0, ParameterRows::kValueColumn, "60");
    panel->onMessage(WM_ROW_EDITED, 0, ParameterRows::kValueColumn);
    EXPECT_EQ(rig.link.requests.back(),
              (SentRequest{panel.get(), SdoCommand::Write32, PanelRig::kVelocity, 512}));
    panel->List().SetText(1, ParameterRows::kValueColumn, "-2");
    panel->onMessage(WM_ROW_EDITED, 1, ParameterRows::kValueColumn);
    EXPECT_EQ(rig.link.requests.back(),
              (SentRequest{panel.get(), SdoCommand::Write8, PanelRig::kMode, 0xFFFFFFFE}));

    panel->List().SetText(0, ParameterRows::kUnitColumn, "DEC");
    panel->onMessage(WM_ROW_EDITED, 0, ParameterRows::kUnitColumn);
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kVelocity));
    Value(PanelRig::kVelocity, 512);
    EXPECT_EQ(panel->List().Text(0, ParameterRows::kValueColumn), "512");

    // Nothing is written while the connection is closed.
    rig.connection = ConnectionState::Closed;
    size_t before = rig.link.requests.size();
    panel->onMessage(WM_ROW_EDITED, 1, ParameterRows::kValueColumn);
    EXPECT_EQ(rig.link.requests.size(), before);
}

TEST_F(ParameterPanelTest, StateCodes) {
    rig.Definition("BasicOperate", "num=2\r\n1=606000\r\n2=604100\r\n");
    rig.Definition("AnalogTorqueMode", "num=1\r\n1=606000\r\n");
    Make(kBasic);
    panel->onMessage(WM_LINK_STATE, 1, 0);
    EXPECT_EQ(panel->PassCursor(), 0);
    EXPECT_FALSE(panel->IsActive());
    EXPECT_EQ(rig.link.disables, 1);
    panel->onMessage(WM_LINK_STATE, 2, 0);  // inactive: no pass
    EXPECT_TRUE(rig.link.requests.empty());
    panel->onMessage(WM_LINK_STATE, 0, 0);
    EXPECT_EQ(rig.link.requests, (std::vector<SentRequest>{Read(PanelRig::kMode)}));
    EXPECT_EQ(rig.link.enables, 1);
    rig.connection = ConnectionState::Closed;
    panel->onMessage(WM_LINK_STATE, 2, 0);
    EXPECT_EQ(panel->PassCursor(), 0);

    // The analog torque mode panel ignores connection changes.
    rig.connection = ConnectionState::Open;
    ParameterPanel& torque = Make(kTorque);
    torque.onMessage(WM_LINK_STATE, 2, 0);
    EXPECT_TRUE(rig.link.requests.empty());

    // Save, then open the project: the stored rows replace the definition's.
    Make(kBasic);
    panel->List().SetText(0, ParameterRows::kValueColumn, "5");
    int savedFlag = -1;
    panel->SetPlaceSaver([&](int number, int flag) { savedFlag = number == 2 ? flag : -2; });
    panel->onMessage(WM_LINK_STATE, 3, 0);
    EXPECT_EQ(savedFlag, 1);
    EXPECT_EQ(ProfileFile(rig.folder.File("plant.ksp")).GetString("TarvoStep:2", "0", "", 256),
              std::to_string(PanelRig::kMode) + ",5,DEC");
    rig.Definition("BasicOperate", "num=1\r\n1=606400\r\n");
    rig.projectOpened = true;
    Make(kBasic);
    EXPECT_EQ(Column(ParameterRows::kValueColumn), (std::vector<std::string>{"5", ""}));
    panel->onMessage(WM_LINK_STATE, 4, 0);
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kMode));
}

TEST_F(ParameterPanelTest, AddDeleteAndRenumber) {
    rig.Definition("BasicOperate", "num=3\r\n1=606000\r\n2=604100\r\n3=606400\r\n");
    Make(kBasic);
    panel->RunCommand(ParameterPanel::kAdd);
    EXPECT_EQ(rig.pickTarget, panel.get());
    EXPECT_FALSE(panel->IsCommandEnabled(ParameterPanel::kDelete));

    panel->List().SetSelected(1, true);
    panel->List().SetFocused(1, true);
    panel->onMessage(WM_OBJECT_PICKED, 0, PanelRig::kVelocity);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn),
              (std::vector<std::string>{"1", "2", "3*", "4*"}));
    EXPECT_EQ(panel->List().Text(1, ParameterRows::kNameColumn), "Profile velocity");
    EXPECT_EQ(panel->List().SelectedCount(), 0);
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kVelocity));

    // A text entry or an entry already listed is not added; with nothing selected it appends.
    panel->onMessage(WM_OBJECT_PICKED, 0, PanelRig::kName);
    panel->onMessage(WM_OBJECT_PICKED, 0, PanelRig::kMode);
    EXPECT_EQ(panel->List().RowCount(), 4);
    panel->onMessage(WM_OBJECT_PICKED, 0, PanelRig::kOdd);
    EXPECT_EQ(panel->List().Text(4, ParameterRows::kLabelColumn), "5");

    panel->List().SetSelected(0, true);
    panel->List().SetSelected(2, true);
    EXPECT_TRUE(panel->IsCommandEnabled(ParameterPanel::kDelete));
    panel->RunCommand(ParameterPanel::kDelete);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn), (std::vector<std::string>{"1", "2*", "3"}));

    // The motor configuration panel keeps the gaps.
    rig.Definition("MotorConfig", "num=3\r\n1=606000\r\n2=604100\r\n3=606400\r\n");
    Make(kMotor);
    panel->List().SetSelected(0, true);
    panel->List().SetSelected(1, true);
    panel->RunCommand(ParameterPanel::kDelete);
    EXPECT_EQ(Column(ParameterRows::kLabelColumn), (std::vector<std::string>{"3*"}));

    // help shows the entry of the row both selected and focused.
    panel->List().SetSelected(0, true);
    panel->List().SetFocused(0, true);
    panel->RunCommand(ParameterPanel::kHelp);
    ASSERT_FALSE(rig.box.texts.empty());
    EXPECT_NE(rig.box.texts.back().find("Position actual"), std::string::npos);
}

TEST_F(ParameterPanelTest, MotorPanelWaitsForTheConnection) {
    rig.connection = ConnectionState::Closed;
    rig.Definition("MotorConfig", "num=1\r\n1=606000\r\n");
    Make(kMotor);
    EXPECT_EQ(panel->PassCursor(), 0);
    rig.connection = ConnectionState::Open;
    panel->onMessage(WM_LINK_STATE, 2, 0);
    EXPECT_EQ(rig.link.requests, (std::vector<SentRequest>{Read(PanelRig::kMode)}));
}

TEST_F(ParameterPanelTest, DriverPropertiesUploadTexts) {
    rig.Definition("DriverProperty", "num=2\r\n1=100800\r\n2=606000\r\n");
    Make(kProperties);
    auto segment = [&](const char* bytes, uint8_t count, bool last, uint32_t key) {
        rig.link.segment = {};
        std::copy(bytes, bytes + count, rig.link.segment.bytes.begin());
        rig.link.segment.count = count;
        rig.link.segment.last = last;
        panel->onMessage(WM_LINK_SEGMENT, 0, key);
    };
    Value(PanelRig::kName, 17);  // the read announces a text of 17 bytes
    segment("TarvoSt", 7, false, PanelRig::kName);
    segment("ep DS30", 7, false, PanelRig::kName);
    EXPECT_EQ(rig.link.requests,
              (std::vector<SentRequest>{
                  {panel.get(), SdoCommand::SegmentToggleClear, PanelRig::kName, 0},
                  {panel.get(), SdoCommand::SegmentToggleSet, PanelRig::kName, 0},
                  {panel.get(), SdoCommand::SegmentToggleClear, PanelRig::kName, 0}}));
    segment("0\0\0", 1, true, PanelRig::kName);
    EXPECT_EQ(panel->List().Text(0, ParameterRows::kValueColumn), "TarvoStep DS300");
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kMode));  // the pass goes on

    // A text of exactly seven bytes ends with its marked last segment, not with a refusal.
    panel->onMessage(WM_LINK_STATE, 0, 0);
    rig.link.requests.clear();
    Value(PanelRig::kName, 7);
    segment("SEVEN77", 7, true, PanelRig::kName);
    EXPECT_EQ(panel->List().Text(0, ParameterRows::kValueColumn), "SEVEN77");
    EXPECT_EQ(rig.link.requests.back(), Read(PanelRig::kMode));

    // A text has no unit; a number keeps its own.
    EXPECT_EQ(Column(ParameterRows::kUnitColumn), (std::vector<std::string>{"", "DEC"}));
    // The drive's bytes are in the code page of the interface language: GBK for Chinese,
    // Windows-1252 for English.
    for (auto [language, expected] : {std::pair<uint8_t, const char*>{1, "驱动 é"},
                                      std::pair<uint8_t, const char*>{2, "Çý¶¯ é"}}) {
        rig.language = language;
        panel->onMessage(WM_LINK_STATE, 0, 0);
        const char* bytes = language == 1 ? "\xC7\xFD\xB6\xAF \xA8\xA6" : "\xC7\xFD\xB6\xAF \xE9";
        auto count = static_cast<uint8_t>(std::strlen(bytes));
        Value(PanelRig::kName, count);
        segment(bytes, count, true, PanelRig::kName);
        EXPECT_EQ(panel->List().Text(0, ParameterRows::kValueColumn), expected);
    }
}

}  // namespace
}  // namespace tarvo
