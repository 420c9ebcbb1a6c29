#include <gtest/gtest.h>

#include "panels/ioerror/FaultResetSequence.h"
#include "panels/ioerror/HintPlacement.h"
#include "panels/ioerror/RealtimeErrorModel.h"
#include "tests/panels/IoPanelTestLink.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {
namespace {

constexpr SdoCommand kRead = SdoCommand::Read;
constexpr SdoCommand kWrite16 = SdoCommand::Write16;

class DummyWindow : public MessageTarget {
public:
    intptr_t onMessage(uint32_t, uintptr_t, intptr_t) override { return 0; }
};

class RealtimeErrorModelTest : public ::testing::Test {
protected:
    RealtimeErrorModel Make(const std::string& names, bool chinese = false) {
        return RealtimeErrorModel(
            {link_.Link(), &window_, folder_.Write("sys/RealTimeError.ini", names), chinese});
    }

    TempFolder folder_;
    IoPanelTestLink link_;
    DummyWindow window_;
};

TEST_F(RealtimeErrorModelTest, CreationRegistersForGoodReadsFourObjectsAndLoadsNames) {
    std::string names =
        "[RealTimeError]\r\nenBit01=Internal Error\r\nchBit01=内部错误\r\n"
        "enBit03=" +
        std::string(40, 'x') + "\r\nenBit04=\r\ngarbage line\r\n";
    RealtimeErrorModel model = Make(names);
    model.Create();
    EXPECT_EQ(link_.monitors, (std::vector<IoMonitor>{{0x260100, MonitorClass::ReadOnly},
                                                      {0x260200, MonitorClass::ReadOnly},
                                                      {0x260001, MonitorClass::ReadOnly},
                                                      {0x260002, MonitorClass::ReadOnly}}));
    EXPECT_EQ(model.Name(0), "Internal Error");
    EXPECT_EQ(model.Name(1), "") << "missing name: blank label";
    EXPECT_EQ(model.Name(2), std::string(31, 'x'));
    EXPECT_EQ(model.Name(3), "");
    for (uint32_t key : {0x260001u, 0x260002u, 0x260100u, 0x260200u}) {
        EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{kRead, key, 0}}));
        model.OnLinkValue(0, key);
    }
    EXPECT_TRUE(link_.requests.empty());
    EXPECT_EQ(link_.disables, 0) << "the monitor entries stay on";

    RealtimeErrorModel chinese = Make(names, true);
    chinese.Create();
    EXPECT_EQ(chinese.Name(0), "内部错误");
}

TEST_F(RealtimeErrorModelTest, WordsLightLampsAndTickBoxes) {
    RealtimeErrorModel model = Make("");
    model.OnLinkValue(0x0005, 0x260100);
    model.OnLinkValue(0x8001, 0x260002);
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_EQ(model.LampOn(bit), bit == 0 || bit == 2) << bit;
    }
    EXPECT_TRUE(model.BoxTicked(16));
    EXPECT_TRUE(model.BoxTicked(31));
    EXPECT_FALSE(model.BoxTicked(17));
    EXPECT_TRUE(model.BoxTicked(0)) << "low word unknown: shown ticked";
    model.OnLinkValue(0x0001, 0x260200);
    EXPECT_TRUE(model.LampOn(16));
    EXPECT_TRUE(model.LampOn(0)) << "the low lamps keep their word";
}

TEST_F(RealtimeErrorModelTest, ClicksWriteTheStoredWordWithTheBitChanged) {
    RealtimeErrorModel model = Make("");
    model.OnLinkValue(0x0011, 0x260001);
    model.ClickBox(2, true);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{kWrite16, 0x260001, 0x0015}}));
    model.OnLinkValue(0xFFFF, 0x260002);
    model.ClickBox(31, false);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{kWrite16, 0x260002, 0x7FFF}}));
}

TEST_F(RealtimeErrorModelTest, ClickBeforeTheWordIsKnownWaitsForIt) {
    RealtimeErrorModel model = Make("");
    model.ClickBox(1, false);
    model.ClickBox(3, false);
    model.ClickBox(3, true);
    EXPECT_TRUE(link_.requests.empty()) << "the placeholder FFFFh is never written";
    EXPECT_FALSE(model.BoxTicked(1));
    EXPECT_TRUE(model.BoxTicked(3));

    model.OnLinkValue(0x000A, 0x260001);
    EXPECT_EQ(link_.Take(), (std::vector<IoRequest>{{kWrite16, 0x260001, 0x0008}}));
    model.OnLinkValue(0x0008, 0x260001);
    EXPECT_TRUE(link_.requests.empty()) << "applied once";

    // A click that the drive's word already matches writes nothing.
    model.ClickBox(20, true);
    model.OnLinkValue(0x0010, 0x260002);
    EXPECT_TRUE(link_.requests.empty());
}

TEST(FaultResetSequence, BitSevenRisesThenThePreviousWordReturns) {
    IoPanelTestLink link;
    FaultResetSequence reset(link);
    std::vector<FaultResetSequence::Outcome> outcomes;
    reset.SetFinished([&](FaultResetSequence::Outcome outcome) { outcomes.push_back(outcome); });
    auto reply = [&](uint32_t value) { reset.onMessage(WM_LINK_VALUE, value, 0x604000); };

    reset.Start();
    EXPECT_EQ(link.Take(), (std::vector<IoRequest>{{kRead, 0x604000, 0}}));
    reply(0x000F);
    reply(0x008F);
    reply(0x000F);
    EXPECT_EQ(link.Take(),
              (std::vector<IoRequest>{{kWrite16, 0x604000, 0x8F}, {kWrite16, 0x604000, 0x0F}}));
    EXPECT_EQ(outcomes, (std::vector{FaultResetSequence::Outcome::kDone}));
    EXPECT_FALSE(reset.Running());

    // Bit 7 left set: cleared first so that it rises.
    reset.Start();
    link.Take();
    reply(0x0086);
    reply(0x0006);
    reply(0x0086);
    reply(0x0006);
    EXPECT_EQ(link.Take(), (std::vector<IoRequest>{{kWrite16, 0x604000, 0x06},
                                                   {kWrite16, 0x604000, 0x86},
                                                   {kWrite16, 0x604000, 0x06}}));

    reset.Start();
    reset.onMessage(WM_LINK_ABORT, 0x06090030, 0x604000);
    EXPECT_EQ(outcomes.back(), FaultResetSequence::Outcome::kRefused);
    reply(0x0F);
    EXPECT_EQ(link.Take().size(), 1u) << "only the read: the refused reset writes nothing";
}

TEST(HintPlacement, BelowAboveSmallerAndAtTheLeftEdge) {
    using R = HintPlacement::Rect;
    // Two lines, longest 10 characters, below a field at 58, 46 (160 x 24).
    HintPlacement::Box box = HintPlacement::Place(449, 526, R{58, 46, 160, 24}, 2, 10, false);
    EXPECT_EQ(box, (HintPlacement::Box{R{58, 70, 70, 38}, 14}));
    EXPECT_EQ(HintPlacement::Place(449, 526, R{58, 46, 160, 24}, 2, 10, true).rect.width, 130);
    // Near the bottom edge: above the field.
    box = HintPlacement::Place(449, 526, R{58, 480, 160, 24}, 2, 10, false);
    EXPECT_EQ(box.rect, (R{58, 442, 70, 38}));
    // Taller than the owner: the smaller font, still above.
    box = HintPlacement::Place(449, 100, R{58, 60, 160, 24}, 10, 10, false);
    EXPECT_EQ(box, (HintPlacement::Box{R{58, 60 - 122, 80, 122}, 12}));
    // A field reaching past the right edge: the box starts at the owner's left edge.
    EXPECT_EQ(HintPlacement::Place(200, 526, R{100, 46, 160, 24}, 1, 3, false).rect.left, 0);
    EXPECT_EQ(HintPlacement::Characters("1.驱动使能"), 6);
}

}  // namespace
}  // namespace tarvo::test
