#include <gtest/gtest.h>

#include "panels/ioerror/DataInOutModel.h"
#include "panels/ioerror/FunctionListModel.h"
#include "platform/MessageBox.h"
#include "tests/panels/IoPanelTestLink.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {
namespace {

using Group = DataInOutModel::Group;
using Kind = IoFunctionNames::Kind;

constexpr SdoCommand kRead = SdoCommand::Read;

const char* const kNames =
    "[in]\r\nenBit01=A\r\nchBit01=甲\r\nenBit02=B\r\nenBit03=C\r\nchBit03=丙\r\n"
    "[out]\r\nenBit01=Ready\r\nenBit02=Fault\r\n";

struct Message {
    uint32_t message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
    bool operator==(const Message&) const = default;
};

class Window : public MessageTarget {
public:
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        messages.push_back({message, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)});
        return 0;
    }
    std::vector<Message> messages;
};

TEST(IoFunctionNames, SetBitsBecomeFieldTextAndNumberedHintLines) {
    TempFolder folder;
    std::string path = folder.Write("sys/DataInOut.ini", kNames);
    IoFunctionNames english(path, false);
    IoFunctionNames::Description description = english.Describe(Kind::kInput, 0b101);
    EXPECT_EQ(description.text, "A+C");
    EXPECT_EQ(description.lines, (std::vector<std::string>{"1.A", "2.C"}));
    EXPECT_EQ(english.Describe(Kind::kInput, 0).text, "NULL");
    EXPECT_TRUE(english.Describe(Kind::kInput, 0).lines.empty());
    EXPECT_EQ(english.Describe(Kind::kInput, 0xFF000000u).text, "NULL") << "no names there";
    EXPECT_EQ(english.Describe(Kind::kOutput, 0b11).text, "Ready+Fault");

    // The Chinese names; bit 1 has none and is left out, and the numbering skips it.
    IoFunctionNames chinese(path, true);
    description = chinese.Describe(Kind::kInput, 0b111);
    EXPECT_EQ(description.text, "甲+丙");
    EXPECT_EQ(description.lines, (std::vector<std::string>{"1.甲", "2.丙"}));

    IoFunctionNames missing(folder.File("sys/none.ini"), false);
    EXPECT_EQ(missing.Describe(Kind::kInput, 0xFFFFFFFFu).text, "NULL");
}

TEST(FunctionListModel, TicksFollowThePortAndMixedChoicesAreRefused) {
    TempFolder folder;
    std::string content = "[in]\r\n";
    for (int number = 1; number <= 20; ++number) {
        char line[32];
        std::snprintf(line, sizeof line, "enBit%02d=F%d\r\n", number, number);
        content += line;
    }
    IoFunctionNames names(folder.Write("sys/DataInOut.ini", content), false);
    FunctionListModel model;
    model.Fill(names, Kind::kInput);
    ASSERT_EQ(model.Rows().size(), 20u);
    EXPECT_EQ(model.Rows()[0].id, "Bit01");
    EXPECT_EQ(model.Rows()[0].name, "F1");
    EXPECT_EQ(model.Rows()[0].bit, 0);

    Window panel;
    model.SetTarget(&panel, 0x201005, 0b1010);
    std::vector<bool> ticks = model.Ticks(true);
    EXPECT_TRUE(ticks[1] && ticks[3]);
    EXPECT_EQ(std::count(ticks.begin(), ticks.end(), true), 2);
    ticks = model.Ticks(false);
    EXPECT_EQ(std::count(ticks.begin(), ticks.end(), true), 0) << "disconnected: no ticks";

    RecordingMessageBox box;
    std::vector<bool> choice(20, false);
    choice[3] = choice[16] = true;
    EXPECT_FALSE(model.Accept(choice, box));
    EXPECT_EQ(box.texts, (std::vector<std::string>{"Your setting is wrong!!"}));
    EXPECT_TRUE(panel.messages.empty());

    choice.assign(20, false);
    choice[0] = choice[14] = true;
    EXPECT_TRUE(model.Accept(choice, box));
    EXPECT_EQ(panel.messages, (std::vector<Message>{{WM_FUNCTION_CHOSEN, 0x4001, 0x201005}}));
}

TEST(FunctionListModel, RowsKeepTheirBitsWhenTheNumberingHasGaps) {
    TempFolder folder;
    IoFunctionNames names(
        folder.Write("sys/DataInOut.ini", "[out]\r\nenBit00=never\r\nenBit01=A\r\nenBit05=E\r\n"),
        false);
    FunctionListModel model;
    model.Fill(names, Kind::kOutput);
    ASSERT_EQ(model.Rows().size(), 2u);
    EXPECT_EQ(model.Rows()[1].bit, 4);
    Window panel;
    model.SetTarget(&panel, 0x201010, 0);
    RecordingMessageBox box;
    EXPECT_TRUE(model.Accept({false, true}, box));
    ASSERT_EQ(panel.messages.size(), 1u);
    EXPECT_EQ(panel.messages[0].wParam, 0x10u) << "the function named E, bit 4";
}

class DataInOutModelTest : public ::testing::Test {
protected:
    DataInOutModelTest()
        : model_({link_.Link(), &window_, nullptr, nullptr,
                  folder_.Write("sys/DataInOut.ini", kNames), false}) {}

    // Answers every read the sequence asks for with `value`.
    void AnswerSequence(uint32_t value) {
        for (int guard = 0; guard < 100 && !link_.requests.empty(); ++guard) {
            IoRequest request = link_.requests.front();
            link_.requests.erase(link_.requests.begin());
            model_.OnLinkValue(value, request.key);
        }
    }

    TempFolder folder_;
    IoPanelTestLink link_;
    Window window_;
    DataInOutModel model_;
};

TEST_F(DataInOutModelTest, CreationRegistersTheStatesAndReadsTwentyObjectsInOrder) {
    model_.Create();
    EXPECT_EQ(link_.monitors, (std::vector<IoMonitor>{{0x20100B, MonitorClass::ReadOnly},
                                                      {0x20100C, MonitorClass::ReadOnly},
                                                      {0x201018, MonitorClass::ReadOnly}}));
    std::vector<uint32_t> order;
    for (int step = 0; step < 25 && !link_.requests.empty(); ++step) {
        IoRequest request = link_.Take().back();
        EXPECT_EQ(request.command, kRead);
        order.push_back(request.key & 0xFF);
        model_.OnLinkValue(0, request.key);
    }
    EXPECT_EQ(order,
              (std::vector<uint32_t>{0x0B, 0x0C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                     0x09, 0x0A, 0x18, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14}));
    EXPECT_EQ(model_.ReadStep(), 0);
    EXPECT_EQ(model_.FunctionText(0), "NULL");

    // A refused read ends a new sequence; nothing more is asked.
    model_.OnLinkState(WindowState::ProjectOpened);
    ASSERT_EQ(link_.Take().size(), 1u);
    model_.OnLinkAbort(0x20100B);
    EXPECT_EQ(model_.ReadStep(), 0);
    EXPECT_TRUE(link_.requests.empty());
}

TEST_F(DataInOutModelTest, WordsSetButtonsLampsAndFunctionFields) {
    EXPECT_EQ(model_.FunctionText(3), "NULL");
    EXPECT_EQ(model_.FunctionBits(3), 0xFFFFFFFFu);
    model_.OnLinkValue(0b101, 0x201006);  // DIN4
    EXPECT_EQ(model_.FunctionText(3), "A+C");
    EXPECT_EQ(model_.HintLines(3), (std::vector<std::string>{"1.A", "2.C"}));
    model_.OnLinkValue(0b10, 0x201011);  // DOUT2
    EXPECT_EQ(model_.FunctionText(9), "Fault");

    model_.OnLinkValue(0x81, 0x201001);
    EXPECT_TRUE(model_.Bit(Group::kInputPolarity, 0));
    EXPECT_TRUE(model_.Bit(Group::kInputPolarity, 7));
    EXPECT_FALSE(model_.Bit(Group::kInputPolarity, 1));
    model_.OnLinkValue(0x10, 0x20100F);
    EXPECT_TRUE(model_.Bit(Group::kOutputSimulate, 4));
    model_.OnLinkValue(0x04, 0x20100C);
    EXPECT_TRUE(model_.LampOn(DataInOutModel::Lamps::kInputVirtual, 2));
    EXPECT_FALSE(model_.LampOn(DataInOutModel::Lamps::kInputReal, 2));
    model_.OnLinkValue(0x1F, 0x201018);
    EXPECT_TRUE(model_.LampOn(DataInOutModel::Lamps::kOutputReal, 4));
    EXPECT_TRUE(link_.requests.empty()) << "no sequence runs: values alone ask for nothing";
}

// Only an output that carries the fault function and is on is an active fault: found by
// the function's English name whatever language the panel shows.
TEST_F(DataInOutModelTest, FaultOutputIsActiveOnlyWhenOnAndAssigned) {
    EXPECT_FALSE(model_.FaultActive(1));
    model_.OnLinkValue(0b10, 0x201011);  // DOUT2: Fault
    model_.OnLinkValue(0b01, 0x201010);  // DOUT1: Ready
    model_.OnLinkValue(0b11, 0x201012);  // DOUT3: Ready+Fault
    EXPECT_FALSE(model_.FaultActive(1)) << "not on yet";
    model_.OnLinkValue(0b00111, 0x201018);
    EXPECT_FALSE(model_.FaultActive(0)) << "Ready is no fault";
    EXPECT_TRUE(model_.FaultActive(1));
    EXPECT_TRUE(model_.FaultActive(2));
    EXPECT_FALSE(model_.FaultActive(3)) << "functions not read yet";
    EXPECT_FALSE(model_.FaultActive(-1));
    EXPECT_FALSE(model_.FaultActive(DataInOutModel::kOutputs));
    model_.OnLinkValue(0b00101, 0x201018);
    EXPECT_FALSE(model_.FaultActive(1));
    EXPECT_TRUE(model_.FaultActive(2));

    IoFunctionNames chinese(
        folder_.Write("sys/zh.ini", "[out]\r\nenBit03=FAULT\r\nchBit03=故障\r\n"), true);
    EXPECT_EQ(chinese.BitNamed(Kind::kOutput, "Fault"), 2);
    EXPECT_EQ(chinese.BitNamed(Kind::kInput, "Fault"), -1);
}

TEST(IoFunctionNames, BrokenFileIsNamedWithWhatIsWrong) {
    TempFolder folder;
    EXPECT_EQ(IoFunctionNames(folder.Write("a.ini", kNames), false).Problem(), "");
    EXPECT_NE(IoFunctionNames(folder.Write("b.ini", "[in]\r\nenBit01=A\r\n"), false)
                  .Problem()
                  .find("b.ini has no [out] section"),
              std::string::npos);
    EXPECT_NE(IoFunctionNames(folder.Write("c.ini", ""), false).Problem().find("c.ini is empty"),
              std::string::npos);
    // What could be read is still named.
    IoFunctionNames half(folder.Write("d.ini", "[in]\r\nenBit01=A\r\n"), false);
    EXPECT_EQ(half.Describe(Kind::kInput, 1).text, "A");
}

TEST_F(DataInOutModelTest, TogglesWriteTheWholeSetAndRefusedWritesAreReadBack) {
    model_.OnLinkValue(0x01, 0x201002);  // input simulate: DIN1 set
    model_.ToggleBit(Group::kInputSimulate, 2);
    model_.ToggleBit(Group::kInputSimulate, 2);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write16, 0x201002, 0x05},
                                                    {SdoCommand::Write16, 0x201002, 0x01}}));
    model_.ToggleBit(Group::kOutputPolarity, 4);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write16, 0x20100E, 0x10}}));
    EXPECT_TRUE(model_.Bit(Group::kOutputPolarity, 4));

    // The drive refuses: its value is asked for again and shown.
    model_.OnLinkAbort(0x20100E);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{kRead, 0x20100E, 0}}));
    model_.OnLinkValue(0, 0x20100E);
    EXPECT_FALSE(model_.Bit(Group::kOutputPolarity, 4));

    model_.ChooseFunctions(0x201012, 0x4001);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write32, 0x201012, 0x4001}}));
}

TEST_F(DataInOutModelTest, LinkStateCodesRunTheSequenceAndTheMonitors) {
    model_.Create();
    AnswerSequence(0);
    model_.OnLinkState(WindowState::Hidden);
    EXPECT_EQ(link_.disables, 1);
    EXPECT_FALSE(model_.Active());
    model_.OnLinkState(WindowState::ConnectionChanged);
    EXPECT_TRUE(link_.requests.empty()) << "hidden: no restart";
    model_.OnLinkState(WindowState::Shown);
    EXPECT_EQ(link_.enables, 1);
    EXPECT_EQ(link_.Take().size(), 1u);
    AnswerSequence(0);
    link_.connectionState = ConnectionState::Closed;
    model_.OnLinkState(WindowState::ConnectionChanged);
    model_.OnLinkState(WindowState::ProjectOpened);
    EXPECT_TRUE(link_.requests.empty()) << "closed connection: nothing asked";
    link_.connectionState = ConnectionState::Open;
    model_.OnLinkState(WindowState::ConnectionChanged);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{kRead, 0x20100B, 0}}));
}

}  // namespace
}  // namespace tarvo::test
