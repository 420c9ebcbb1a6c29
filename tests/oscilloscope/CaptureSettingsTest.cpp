#include <gtest/gtest.h>

#include <map>

#include "tests/oscilloscope/ScopeRig.h"

namespace tarvo::test {
namespace {

constexpr uint32_t Sub(uint8_t subIndex) {
    return 0x230000 | subIndex;
}

// Answers the whole read sequence with the given values per subindex.
void AnswerSettings(ScopeRig& rig, const std::map<uint8_t, uint32_t>& values) {
    while (!rig.link.requests.empty()) {
        const LinkRequest& next = rig.link.requests.front();
        ASSERT_EQ(next.command, SdoCommand::Read);
        auto it = values.find(static_cast<uint8_t>(next.address & 0xFF));
        rig.Answer(it == values.end() ? 0 : it->second);
    }
}

TEST(CaptureSettings, ItemListsFollowTheIniFile) {
    // Key 2 is missing: the list ends after key 1. An 8-bit object may trigger only.
    ScopeRig gap("[trigger]\n1=604100\n3=606C00\n[channel]\n1=6060\n2=0x6077 00\n");
    EXPECT_EQ(gap.model.lists().TriggerNames("manual trigger"),
              (std::vector<std::string>{"manual trigger", "Statusword"}));
    EXPECT_EQ(gap.model.lists().ChannelNames(1), (std::vector<std::string>{"Torque actual value"}));
    // Signed 16-bit object: width 16 plus the signed mark.
    EXPECT_EQ(gap.model.lists().ChannelAt(1, 0)->code, 0x60770011u);

    ScopeRig rig;
    // Triggers newest first; the 8-bit object is not a channel item; unknown objects skipped.
    EXPECT_EQ(rig.model.lists().TriggerNames("m"),
              (std::vector<std::string>{"m", "Velocity actual value", "Modes of operation",
                                        "Statusword"}));
    EXPECT_EQ(rig.model.lists().ChannelBoxSize(1), 5);
    EXPECT_EQ(rig.switches.priorityWindow.load(), &rig.model);
}

TEST(CaptureSettings, ReadSequenceRunsThirteenStepsAndFillsTheForm) {
    ScopeRig rig;
    std::vector<uint32_t> order;
    std::map<uint8_t, uint32_t> values{{0x08, 15},         {0x09, 0xFFFE},     {0x0A, 500},
                                       {0x0B, 1},          {0x0C, 0x606C0020}, {0x0D, 1024},
                                       {0x01, 0x60770010}, {0x05, 0x60640020}};
    while (!rig.link.requests.empty()) {
        order.push_back(rig.link.requests.front().address & 0xFF);
        auto it = values.find(static_cast<uint8_t>(order.back()));
        rig.Answer(it == values.end() ? 0 : it->second);
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{8, 9, 10, 11, 12, 13, 1, 2, 3, 4, 5, 6, 10}));
    const auto& form = rig.model.form();
    EXPECT_EQ(form.periodText, "937.5us");
    EXPECT_EQ(form.pretrigger, -2);
    EXPECT_EQ(form.total, 500);
    EXPECT_EQ(form.edge, 1);
    EXPECT_EQ(form.trigger.position, 1);  // the velocity item, newest
    EXPECT_TRUE(form.trigger.levelEnabled);
    EXPECT_EQ(form.trigger.units, (std::vector<std::string>{"rpm", "DEC"}));
    EXPECT_EQ(form.trigger.level, "1024");  // the last unit, DEC, is selected
    // Slot 1 holds a 16-bit object; Slot5 goes to channel 2 because channel 1 has its own.
    EXPECT_TRUE(form.channels[0].checked);
    EXPECT_EQ(rig.model.lists().ChannelAt(1, form.channels[0].item)->name, "Torque actual value");
    EXPECT_TRUE(form.channels[1].checked);
    EXPECT_EQ(rig.model.lists().ChannelAt(2, form.channels[1].item)->name, "Position actual value");
    EXPECT_FALSE(form.channels[2].checked);

    for (auto [period, text] : std::vector<std::pair<uint32_t, std::string>>{
             {16, "1.00ms"}, {16000, "1.00s"}, {0, "0.0us"}}) {
        rig.model.onMessage(WM_LINK_VALUE, period, Sub(0x08));
        EXPECT_EQ(rig.model.form().periodText, text);
    }
}

TEST(CaptureSettings, ChannelApplyUsesTheSlotOfTheItemsWidth) {
    ScopeRig rig;
    AnswerSettings(rig, {});
    // Channel 2 with a 32-bit item writes Slot5, then reads the slots back.
    rig.model.SelectChannelItem(2, 0);  // Position actual value, 32 bits
    EXPECT_FALSE(rig.model.form().channels[1].checked);
    EXPECT_TRUE(rig.link.requests.empty());
    rig.model.ClickChannel(2, true);
    LinkRequest write = rig.Answer(0x60640020);
    EXPECT_EQ(write.command, SdoCommand::Write32);
    EXPECT_EQ(write.address, Sub(0x05));
    EXPECT_EQ(write.data, 0x60640020u);
    EXPECT_EQ(rig.link.requests.front().address, Sub(0x01));  // step 7 follows

    // Channel 1 applies a 32-bit item last: the read-back Slot5 belongs to channel 1.
    rig.link.requests.clear();
    rig.model.SelectChannelItem(1, 1);  // Velocity actual value, signed 32 bits
    rig.model.ClickChannel(1, true);
    EXPECT_EQ(rig.link.Take().data, 0x606C0020u);  // the signed mark is not written
    rig.model.onMessage(WM_LINK_VALUE, 0, Sub(0x01));
    rig.model.onMessage(WM_LINK_VALUE, 0x606C0020, Sub(0x05));
    EXPECT_TRUE(rig.model.form().channels[0].checked);
    EXPECT_EQ(rig.model.form().channels[0].units, (std::vector<std::string>{"rpm", "DEC"}));

    // Switching channel 2 off does not take channel 1's 32-bit object out of Slot5; switching
    // channel 1 off, which applied it last, does.
    rig.link.requests.clear();
    rig.model.ClickChannel(2, false);
    EXPECT_EQ(rig.link.Take().address, Sub(0x02));
    rig.model.ClickChannel(1, false);
    EXPECT_EQ(rig.link.Take().address, Sub(0x05));
    // A 16-bit item goes to the channel's own slot; no item: nothing is sent.
    rig.model.SelectChannelItem(3, 2);  // Torque
    rig.model.ClickChannel(3, true);
    EXPECT_EQ(rig.link.Take().address, Sub(0x03));
    rig.link.requests.clear();
    rig.model.ClickChannel(4, true);
    EXPECT_FALSE(rig.model.form().channels[3].checked);
    EXPECT_TRUE(rig.link.requests.empty());
}

TEST(CaptureSettings, TriggerLevelAndRefusals) {
    ScopeRig rig;
    AnswerSettings(rig, {{0x0C, 0x606C0020}, {0x05, 0x60640020}});
    // A new source is written, the reply re-reads the level.
    rig.model.SelectTrigger(3);  // Statusword
    EXPECT_EQ(rig.Answer(0x60410010).data, 0x60410010u);
    EXPECT_EQ(rig.link.Take().address, Sub(0x0D));
    // Level typed in rpm on the velocity trigger: 60 rpm is raw 512.
    rig.model.onMessage(WM_LINK_VALUE, 0x606C0020, Sub(0x0C));
    rig.model.SelectTriggerUnit(0);
    rig.model.onMessage(WM_LINK_VALUE, 1024, rig.link.Take().address);
    EXPECT_EQ(rig.model.form().trigger.level, "120.000000");
    rig.model.EnterTriggerLevel("60");
    LinkRequest level = rig.link.Take();
    EXPECT_EQ(level.command, SdoCommand::Write32);
    EXPECT_EQ(level.data, 512u);
    // Refused: a slot is forgotten, the trigger falls back to manual, other boxes stay.
    rig.model.onMessage(WM_LINK_ABORT, 0x06090030, Sub(0x05));
    EXPECT_EQ(rig.model.Slots()[4], 0u);
    rig.model.onMessage(WM_LINK_ABORT, 0x06090030, Sub(0x0C));
    EXPECT_EQ(rig.model.form().trigger.position, 0);
    EXPECT_FALSE(rig.model.form().trigger.levelEnabled);
    std::string period = rig.model.form().periodText;
    rig.model.onMessage(WM_LINK_ABORT, 0x06090030, Sub(0x08));
    EXPECT_EQ(rig.model.form().periodText, period);
    // Total samples: the write is read back.
    rig.link.requests.clear();
    rig.model.EnterTotal("100");
    EXPECT_EQ(rig.Answer(100).command, SdoCommand::Write16);
    EXPECT_EQ(rig.link.Take().address, Sub(0x0A));
}

TEST(CaptureSettings, PickedObjectsJoinTheirBox) {
    ScopeRig rig;
    AnswerSettings(rig, {});
    rig.model.BeginPick(0);
    rig.model.onMessage(WM_OBJECT_PICKED, 0, 0x20100B);
    EXPECT_EQ(rig.model.form().trigger.position, 1);
    EXPECT_EQ(rig.model.lists().TriggerAt(1)->name, "Bus voltage");
    EXPECT_EQ(rig.link.Take().data, 0x20100B20u);

    rig.model.BeginPick(2);
    rig.model.onMessage(WM_OBJECT_PICKED, 0, 0x607700);
    EXPECT_EQ(rig.model.form().channels[1].item, 0);
    EXPECT_EQ(rig.model.lists().ChannelNames(2).front(), "Torque actual value");
    EXPECT_EQ(rig.model.lists().ChannelBoxSize(1), 5);  // only channel 2's box grew
    // Unchecked channel: applying it clears its slot.
    EXPECT_EQ(rig.link.Take().data, 0u);
    // Picking it again selects the same own item instead of adding one.
    rig.model.onMessage(WM_OBJECT_PICKED, 0, 0x607700);
    EXPECT_EQ(rig.model.lists().ChannelBoxSize(2), 6);
}

// "Samples total" stays what the drive holds after a write, through the read-back and any
// later action; a number the drive's 16 bits cannot hold is refused with a reason.
TEST(CaptureSettings, TheTotalSamplesFieldKeepsWhatTheDriveHolds) {
    ScopeRig rig;
    AnswerSettings(rig, {{0x0A, 1000}, {0x01, 0x60770010}});
    rig.model.EnterTotal("300");
    LinkRequest write = rig.Answer(300);
    EXPECT_EQ(write.command, SdoCommand::Write16);
    EXPECT_EQ(write.data, 300u);
    AnswerSettings(rig, {{0x0A, 300}, {0x01, 0x60770010}});
    EXPECT_EQ(rig.model.form().total, 300);
    // Another action reads the slots and the total back: still 300.
    rig.model.ClickChannel(1, true);
    rig.Answer(0x60770010);
    AnswerSettings(rig, {{0x0A, 300}, {0x01, 0x60770010}});
    EXPECT_EQ(rig.model.form().total, 300);
    EXPECT_EQ(rig.model.Notice(), "");
    for (const char* text : {"65536", "-1", "99999999"}) {
        rig.model.EnterTotal(text);
        EXPECT_TRUE(rig.link.requests.empty()) << text;
        EXPECT_EQ(rig.model.StatusText(), "Enter a whole number from 0 to 65535.") << text;
    }
    rig.model.EnterPretrigger("65535");
    EXPECT_EQ(rig.link.Take().data, 65535u);
    EXPECT_EQ(rig.model.Notice(), "");

    // A drive that keeps refusing the total is asked three times, then left alone.
    rig.link.requests.clear();
    rig.model.onMessage(WM_LINK_ABORT, 0x06010000, Sub(0x0A));
    rig.model.onMessage(WM_LINK_ABORT, 0x06010000, rig.link.Take().address);
    rig.model.onMessage(WM_LINK_ABORT, 0x06010000, rig.link.Take().address);
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_NE(rig.model.Notice().find("refuses"), std::string::npos);
    // An answer in between starts the count again.
    rig.model.onMessage(WM_LINK_ABORT, 0x06010000, Sub(0x0A));
    rig.Answer(200);
    rig.model.onMessage(WM_LINK_ABORT, 0x06010000, Sub(0x0A));
    rig.model.onMessage(WM_LINK_ABORT, 0x06010000, rig.link.Take().address);
    EXPECT_EQ(rig.link.requests.size(), 1u);
}

// A view opened before the connection reads the drive's settings once a connection opens:
// a restarted drive holds none of the slots written to it before.
TEST(CaptureSettings, ANewConnectionReadsTheSettingsAgain) {
    ScopeRig rig;
    AnswerSettings(rig, {{0x01, 0x60770010}});
    ASSERT_TRUE(rig.model.form().channels[0].checked);
    rig.model.onMessage(WM_LINK_STATE, 2, 0);
    ASSERT_FALSE(rig.link.requests.empty());
    EXPECT_EQ(rig.link.requests.front().address, Sub(0x08));
    AnswerSettings(rig, {});
    EXPECT_FALSE(rig.model.form().channels[0].checked);
    // Closed: nothing is asked.
    rig.switches.connectionState = ConnectionState::Closed;
    rig.model.onMessage(WM_LINK_STATE, 2, 0);
    EXPECT_TRUE(rig.link.requests.empty());
}

TEST(CaptureSettings, APairsSharedSlotSaysWhichChannelItSwitchedOff) {
    ScopeRig rig;
    AnswerSettings(rig, {{0x05, 0x60640020}});
    ASSERT_TRUE(rig.model.form().channels[0].checked);
    // Channel 2 takes the velocity (32 bits): channel 1's position loses the pair's slot.
    rig.model.SelectChannelItem(2, 1);
    rig.model.ClickChannel(2, true);
    EXPECT_EQ(rig.link.Take().address, Sub(0x05));
    EXPECT_EQ(rig.model.Notice(),
              "Channels 1 and 2 share one 32-bit slot: channel 1 was switched off.");
    // A 16-bit object beside it displaces nothing.
    rig.link.requests.clear();
    rig.model.SelectChannelItem(1, 2);
    rig.model.ClickChannel(1, true);
    EXPECT_EQ(rig.model.Notice(), "");
}

// A new unit takes the channel's scale and offset along at once: with Auto from the curve's
// range, else converted and put on the next 1-2-5 scale.
TEST(CaptureSettings, AUnitChangeConvertsScaleAndOffset) {
    for (bool automatic : {true, false}) {
        SCOPED_TRACE(automatic);
        ScopeRig rig;
        AnswerSettings(rig, {});
        ScopeRecord record;
        // Velocity in DEC, the last of its units.
        record.channels[0] = {true, static_cast<int32_t>(0x606C0020), 200, -500, 1, -1, 0};
        for (double v : {0.0, 1000.0}) {
            PlotRecord sample;
            sample.mask = 1;
            sample.values[0] = v;
            record.samples.push_back(sample);
        }
        rig.model.ApplyRecord(record);
        ASSERT_EQ(rig.model.form().channels[0].units.front(), "rpm");
        rig.model.SetAuto(1, automatic);
        rig.model.SelectChannelUnit(1, 0);  // 60/512 rpm per raw unit, shown as 0.117188
        const CurvePlot::Channel& curve = rig.model.plot().At(1);
        EXPECT_DOUBLE_EQ(curve.coefficient, 0.117188);
        // Auto: (1000 x 0.117188) / 6 = 19.5 rounds up to 20; manual: 200 x 0.117 = 23.4
        // goes to 50.
        EXPECT_EQ(rig.model.form().channels[0].scaleText, automatic ? "2e1" : "5e1");
        EXPECT_NEAR(curve.offset, -500 * 0.117188, 1e-9);
        EXPECT_EQ(rig.model.form().channels[0].offsetText, "-58.594");
    }
}

}  // namespace
}  // namespace tarvo::test
