#include <gtest/gtest.h>

#include <functional>

#include "oscilloscope/ScopeCapture.h"
#include "oscilloscope/ScopeExport.h"
#include "tests/oscilloscope/ScopeRig.h"

namespace tarvo::test {
namespace {

// The capture API alone over a fake link: every reply is written by hand, addresses as the
// drive has them (the capture object is 2300h).
struct CaptureRig {
    CaptureRig() {
        hooks.reported = [this](ScopeCapture::Sub sub, uint32_t value) {
            reported.emplace_back(static_cast<int>(sub), value);
        };
        hooks.refused = [this](ScopeCapture::Sub sub) { refused.push_back(static_cast<int>(sub)); };
        hooks.layout = [this] { return layout; };
        hooks.decoded = [this] { ++decoded; };
    }

    ScopeCapture& capture() {
        if (!capture_) {
            capture_ = std::make_unique<ScopeCapture>(
                ScopeCapture::Services{link, switches, messages, pollTimer, restartTimer,
                                       watchTimer, nullptr},
                hooks);
        }
        return *capture_;
    }
    LinkRequest Value(uint32_t value) {
        LinkRequest request = link.Take();
        capture().Deliver(WM_LINK_VALUE, value, request.address);
        return request;
    }
    void Segment(std::vector<uint8_t> bytes, bool last) {
        link.segment = {};
        std::copy(bytes.begin(), bytes.end(), link.segment.bytes.begin());
        link.segment.count = static_cast<uint8_t>(bytes.size());
        link.segment.last = last;
        capture().Deliver(WM_LINK_SEGMENT, 0, 0x230010);
    }

    FakeScopeLink link;
    LinkSwitches switches;
    RecordingMessageBox messages;
    ManualTimer pollTimer;
    ManualTimer restartTimer;
    ManualTimer watchTimer;
    ScopeCapture::Hooks hooks;
    RecordLayout layout;
    std::vector<std::pair<int, uint32_t>> reported;
    std::vector<int> refused;
    int decoded = 0;

private:
    std::unique_ptr<ScopeCapture> capture_;
};

TEST(ScopeCapture, ReadsTheSettingsInTheirOrderAndKeepsWhatTheDriveReported) {
    CaptureRig rig;
    rig.capture().ReadSettings();
    // Each reply queues the next read: period, pretrigger, total, edge, trigger source,
    // level, the six slots and the total again.
    const std::vector<std::pair<uint32_t, uint32_t>> replies = {
        {0x230008, 16},         {0x230009, 0x0001FFFE}, {0x23000A, 500},        {0x23000B, 0x0101},
        {0x23000C, 0x606C0020}, {0x23000D, 1024},       {0x230001, 0x60770010}, {0x230002, 0},
        {0x230003, 0},          {0x230004, 0},          {0x230005, 0x60640020}, {0x230006, 0},
        {0x23000A, 480}};
    for (auto [address, value] : replies) {
        ASSERT_EQ(rig.link.requests.size(), 1u) << std::hex << address;
        EXPECT_EQ(rig.link.requests.front().command, SdoCommand::Read);
        EXPECT_EQ(rig.Value(value).address, address);
    }
    EXPECT_TRUE(rig.link.requests.empty());
    const ScopeCapture::Settings& drive = rig.capture().Reported();
    EXPECT_EQ(drive.samplePeriod, 16);
    EXPECT_EQ(drive.pretrigger, -2);  // a 16-bit signed count
    EXPECT_EQ(drive.total, 480);      // the second read, after the slots
    EXPECT_EQ(drive.edge, 1);         // one byte
    EXPECT_EQ(drive.trigger, 0x606C0020u);
    EXPECT_EQ(drive.level, 1024u);
    EXPECT_EQ(drive.slotCodes, (std::array<uint32_t, 6>{0x60770010, 0, 0, 0, 0x60640020, 0}));
    ASSERT_EQ(rig.reported.size(), 13u);
    EXPECT_EQ(rig.reported[1], (std::pair<int, uint32_t>{0x09, 0x0001FFFE}));
    EXPECT_EQ(rig.reported[10], (std::pair<int, uint32_t>{0x05, 0x60640020}));
}

TEST(ScopeCapture, WritesEachSettingWithItsWidthAndReadsBackWhatTheDriveFits) {
    struct Case {
        const char* what;
        std::function<void(ScopeCapture&)> write;
        SdoCommand command;
        uint32_t address;
        uint32_t data;
    };
    const std::vector<Case> cases = {
        {"slot 5", [](ScopeCapture& c) { c.WriteSlot(ScopeCapture::Sub::Slot5, 0x60640020); },
         SdoCommand::Write32, 0x230005, 0x60640020},
        {"trigger", [](ScopeCapture& c) { c.WriteTrigger(0x606C0020); }, SdoCommand::Write32,
         0x23000C, 0x606C0020},
        {"level", [](ScopeCapture& c) { c.WriteLevel(0xFFFFFFF6); }, SdoCommand::Write32, 0x23000D,
         0xFFFFFFF6},
        {"edge", [](ScopeCapture& c) { c.WriteEdge(1); }, SdoCommand::Write8, 0x23000B, 1},
        {"period", [](ScopeCapture& c) { c.WritePeriod(65535); }, SdoCommand::Write16, 0x230008,
         65535},
        {"pretrigger", [](ScopeCapture& c) { c.WritePretrigger(5); }, SdoCommand::Write16, 0x230009,
         5},
        {"level read", [](ScopeCapture& c) { c.ReadLevel(); }, SdoCommand::Read, 0x23000D, 0},
    };
    for (const Case& c : cases) {
        CaptureRig rig;
        c.write(rig.capture());
        ASSERT_EQ(rig.link.requests.size(), 1u) << c.what;
        LinkRequest request = rig.Value(c.data);
        EXPECT_EQ(request.command, c.command) << c.what;
        EXPECT_EQ(request.address, c.address) << c.what;
        EXPECT_EQ(request.data, c.data) << c.what;
        // A plain write reads nothing back.
        EXPECT_TRUE(rig.link.requests.empty()) << c.what;
    }

    // The total is read back once its write is acknowledged.
    CaptureRig rig;
    rig.capture().WriteTotal(5000);
    EXPECT_EQ(rig.Value(5000).command, SdoCommand::Write16);
    LinkRequest back = rig.Value(4096);
    EXPECT_EQ(back.command, SdoCommand::Read);
    EXPECT_EQ(back.address, 0x23000Au);
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_EQ(rig.capture().Reported().total, 4096);

    // After a slot write the slots and the total are read back, in slot order.
    rig.capture().WriteSlot(ScopeCapture::Sub::Slot2, 0x60410010);
    rig.capture().ReadBackAfterReply(ScopeCapture::ReadBack::kSlotsAndTotal);
    rig.Value(0x60410010);
    std::vector<uint32_t> reads;
    while (!rig.link.requests.empty()) {
        reads.push_back(rig.Value(0).address);
    }
    EXPECT_EQ(reads, (std::vector<uint32_t>{0x230001, 0x230002, 0x230003, 0x230004, 0x230005,
                                            0x230006, 0x23000A}));
}

TEST(ScopeCapture, AChannelsObjectGoesToItsOwnSlotOrItsPairsThirtyTwoBitSlot) {
    const struct {
        int channel;
        uint32_t code;
        int slot;
    } cases[] = {
        {1, 0x60770010, 0x01}, {2, 0x60770011, 0x02}, {3, 0x60410010, 0x03}, {4, 0x60410010, 0x04},
        {1, 0x60640020, 0x05}, {2, 0x60640021, 0x05}, {3, 0x60640020, 0x06}, {4, 0x20100B20, 0x06},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(ScopeCapture::SlotFor(c.channel, c.code)), c.slot)
            << c.channel << " " << std::hex << c.code;
    }
}

TEST(ScopeCapture, RefusalsClearASlotReadTheTotalAgainAndEndARun) {
    CaptureRig rig;
    rig.capture().ReadSettings();
    for (int i = 0; i < 6; ++i) {
        rig.Value(0);
    }
    for (uint32_t code : {0x60770010u, 0u, 0u, 0u, 0x60640020u, 0u}) {
        rig.Value(code);
    }
    rig.Value(10);
    rig.capture().Deliver(WM_LINK_ABORT, 0x06090030, 0x230001);
    EXPECT_EQ(rig.capture().Reported().slotCodes[0], 0u);
    EXPECT_EQ(rig.refused, (std::vector<int>{0x01}));
    // A refused total is read again, so that the form shows what the drive holds.
    rig.capture().Deliver(WM_LINK_ABORT, 0x06090030, 0x23000A);
    ASSERT_EQ(rig.link.requests.size(), 1u);
    EXPECT_EQ(rig.link.requests.front().address, 0x23000Au);
    EXPECT_EQ(rig.link.requests.front().command, SdoCommand::Read);
    rig.link.requests.clear();
    // An abort for another object is none of the capture's business.
    rig.capture().Deliver(WM_LINK_ABORT, 0x06020000, 0x606C00);
    EXPECT_EQ(rig.refused.size(), 1u);
    // A refused start ends the run.
    rig.capture().Start();
    EXPECT_TRUE(rig.capture().run().Busy());
    LinkRequest start = rig.link.Take();
    EXPECT_EQ(start.address, 0x230007u);
    EXPECT_EQ(start.data, 1u);
    rig.capture().Deliver(WM_LINK_ABORT, 0x08000022, start.address);
    EXPECT_FALSE(rig.capture().run().Busy());
    EXPECT_EQ(rig.decoded, 0);
}

// What tarvoctl scope relies on: the record's expected size, the bytes uploaded and the
// records decoded agree for a complete record and disagree for a short one.
TEST(ScopeCapture, UploadsAndDecodesAHandWrittenRecord) {
    CaptureRig rig;
    // Slot2 (16 bits, channel 2, signed), Slot5 (32 bits, channel 1), Slot6 (32 bits,
    // channel 4, unsigned): 10 bytes a record in the order Slot2, Slot5, Slot6.
    rig.layout.slotCodes = {0, 0x60770010, 0, 0, 0x60640020, 0x20100B20};
    rig.layout.channelSigned = {true, true, false, false};
    rig.layout.slot5Channel = 1;
    rig.layout.slot6Channel = 4;
    rig.capture().WriteTotal(2);
    rig.Value(2);
    rig.Value(2);
    EXPECT_EQ(rig.capture().ExpectedBytes(), 20u);

    rig.capture().Start();
    rig.Value(1);  // started
    rig.pollTimer.Fire();
    rig.Value(0);  // complete
    rig.pollTimer.Fire();
    LinkRequest upload = rig.Value(20);
    EXPECT_EQ(upload.address, 0x230010u);
    EXPECT_EQ(upload.command, SdoCommand::Read);
    const std::vector<uint8_t> record = {
        0xFE, 0xFF,              // record 1, Slot2: -2
        0x00, 0x00, 0x01, 0x00,  // Slot5: 65536
        0xFF, 0xFF, 0xFF, 0xFF,  // Slot6: 4294967295
        0x00, 0x80,              // record 2, Slot2: -32768
        0xFF, 0xFF, 0xFF, 0xFF,  // Slot5: -1
        0x07, 0x00, 0x00, 0x00,  // Slot6: 7
    };
    std::vector<SdoCommand> toggles;
    for (size_t at = 0; at < record.size(); at += 7) {
        toggles.push_back(rig.link.Take().command);
        size_t end = std::min(at + 7, record.size());
        rig.Segment(
            {record.begin() + static_cast<long>(at), record.begin() + static_cast<long>(end)},
            end == record.size());
    }
    EXPECT_EQ(toggles,
              (std::vector<SdoCommand>{SdoCommand::SegmentToggleClear, SdoCommand::SegmentToggleSet,
                                       SdoCommand::SegmentToggleClear}));
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_EQ(rig.decoded, 1);
    EXPECT_EQ(rig.capture().run().UploadedBytes(), 20u);
    EXPECT_EQ(rig.capture().DecodedRecords(), 2u);
    const ScopeSamples& samples = rig.capture().Samples();
    EXPECT_EQ(samples.values[0], (std::vector<double>{65536.0, -1.0}));
    EXPECT_EQ(samples.values[1], (std::vector<double>{-2.0, -32768.0}));
    EXPECT_TRUE(samples.values[2].empty());
    EXPECT_EQ(samples.values[3], (std::vector<double>{4294967295.0, 7.0}));
    std::vector<PlotRecord> rows = samples.Records();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].mask, 0b1011u);
    EXPECT_EQ(ScopeExport::SampleTable(rows), "65536,-2,4294967295,\n-1,-32768,7,\n");

    // A drive that ends the upload early: fewer bytes and records than the total asks for.
    rig.capture().Reread();
    rig.Value(20);
    rig.link.Take();
    rig.Segment({0xFE, 0xFF, 0x00, 0x00, 0x01, 0x00, 0xFF}, false);
    rig.link.Take();
    rig.Segment({0xFF, 0xFF, 0xFF}, false);  // fewer than seven bytes end the upload
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_EQ(rig.capture().run().UploadedBytes(), 10u);
    EXPECT_EQ(rig.capture().DecodedRecords(), 1u);
    EXPECT_LT(rig.capture().run().UploadedBytes(), rig.capture().ExpectedBytes());
}

TEST(ScopeCapture, SamplesOfUnequalChannelsBecomeRecordsWithTheirMasks) {
    ScopeSamples samples;
    samples.Add(3, 5.0);
    samples.Add(1, 1.0);
    samples.Add(1, 2.0);
    samples.Add(0, 9.0);  // no such channel
    samples.Add(5, 9.0);
    std::vector<PlotRecord> rows = samples.Records();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].mask, 0b101u);
    EXPECT_EQ(rows[0].values[2], 5.0);
    EXPECT_EQ(rows[1].mask, 0b001u);
    EXPECT_EQ(ScopeExport::SampleTable(rows), "1,5,\n2,\n");
    CurvePlot plot;
    samples.Plot(plot);
    EXPECT_EQ(plot.At(1).points.size(), 2u);
    EXPECT_EQ(plot.At(3).points.size(), 1u);
    samples.Clear();
    EXPECT_TRUE(samples.Empty());
}

}  // namespace
}  // namespace tarvo::test
