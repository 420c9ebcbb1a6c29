#include <gtest/gtest.h>

#include "tests/oscilloscope/ScopeRig.h"

namespace tarvo::test {
namespace {

constexpr uint32_t kControl = 0x230007;
constexpr uint32_t kData = 0x230010;

// A rig whose channel 1 samples the torque (Slot1) and channel 2 the position (Slot5).
struct RunRig : ScopeRig {
    RunRig() {
        while (!link.requests.empty()) {
            uint32_t sub = link.requests.front().address & 0xFF;
            Answer(sub == 1 ? 0x60770010 : sub == 5 ? 0x60640020 : sub == 0x0A ? 4 : 0);
        }
    }
    // Start through the first poll that finds the record complete: the upload is asked for.
    void RunToUpload() {
        model.StartOrCancel();
        Answer(1);
        pollTimer.Fire();
        Answer(0);
        pollTimer.Fire();
    }
    void Segment(std::vector<uint8_t> bytes, bool last) {
        link.segment = {};
        std::copy(bytes.begin(), bytes.end(), link.segment.bytes.begin());
        link.segment.count = static_cast<uint8_t>(bytes.size());
        link.segment.last = last;
        model.onMessage(WM_LINK_SEGMENT, 0, kData);
    }
};

TEST(CaptureRun, StartPollUploadDecode) {
    RunRig rig;
    rig.model.StartOrCancel();
    EXPECT_TRUE(rig.model.run().ShowsCancel());
    EXPECT_FALSE(rig.model.run().RereadEnabled());
    LinkRequest start = rig.Answer(1);
    EXPECT_EQ(start.command, SdoCommand::Write8);
    EXPECT_EQ(start.address, kControl);
    EXPECT_EQ(start.data, 1u);
    // The drive still waits for its trigger: the status moves on, the state is read again.
    ASSERT_TRUE(rig.pollTimer.IsActive());
    EXPECT_EQ(rig.pollTimer.Interval(), std::chrono::milliseconds(1000));
    rig.pollTimer.Fire();
    EXPECT_EQ(rig.model.run().Status(), "wait to read data .");
    EXPECT_EQ(rig.Answer(2).address, kControl);
    rig.pollTimer.Fire();
    rig.Answer(2);
    rig.pollTimer.Fire();
    EXPECT_EQ(rig.model.run().Status(), "wait to read data ..");
    rig.Answer(0);
    rig.pollTimer.Fire();
    // Record complete: the upload takes the link for itself.
    EXPECT_EQ(rig.switches.deferredRelease.load(), 0);
    EXPECT_EQ(rig.switches.cyclicReadEnabled.load(), 0);
    EXPECT_EQ(rig.Answer(0x41).address, kData);
    EXPECT_EQ(rig.link.Take().command, SdoCommand::SegmentToggleClear);
    // Two records of 6 bytes: Slot1 (16 bits signed), Slot5 (32 bits signed).
    rig.Segment({0xFF, 0xFF, 0x10, 0x00, 0x00, 0x00, 0x02}, false);
    EXPECT_EQ(rig.link.Take().command, SdoCommand::SegmentToggleSet);
    EXPECT_EQ(rig.model.run().UploadedBytes(), 7u);
    EXPECT_EQ(rig.model.run().ExpectedBytes(), 24u);  // 4 samples of 6 bytes
    rig.Segment({0x00, 0xFF, 0xFF, 0xFF, 0xFF}, true);
    EXPECT_TRUE(rig.link.requests.empty());
    const auto& one = rig.model.plot().At(1).points;
    const auto& two = rig.model.plot().At(2).points;
    ASSERT_EQ(one.size(), 2u);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(one[0].value, -1.0);
    EXPECT_EQ(two[0].value, 16.0);
    EXPECT_EQ(one[1].value, 2.0);
    EXPECT_EQ(two[1].value, -1.0);
    EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
    EXPECT_EQ(rig.switches.cyclicReadEnabled.load(), 1);
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_EQ(rig.model.run().Status(), "finish");
}

TEST(CaptureRun, UploadEndsOnTheLastSegmentBitAndRefusesOverlongRecords) {
    RunRig rig;
    rig.RunToUpload();
    rig.Answer(0);
    rig.link.Take();
    // A full segment that says it is the last ends the upload: nothing more is asked for.
    rig.Segment({1, 0, 2, 0, 0, 0, 3}, true);
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_FALSE(rig.model.run().Busy());

    // An empty last segment appends nothing.
    rig.RunToUpload();
    rig.Answer(0);
    rig.link.Take();
    rig.Segment({1, 0, 2, 0, 0, 0, 3}, false);
    rig.link.Take();
    rig.Segment({}, true);
    EXPECT_EQ(rig.model.run().UploadedBytes(), 7u);
    EXPECT_EQ(rig.model.plot().At(1).points.size(), 1u);

    // A drive that sends more than the 8192-byte record is stopped with a message.
    rig.RunToUpload();
    rig.Answer(0);
    rig.link.Take();
    for (int i = 0; i < 1170; ++i) {  // 8190 bytes
        rig.Segment({1, 2, 3, 4, 5, 6, 7}, false);
        rig.link.requests.clear();
    }
    EXPECT_TRUE(rig.messages.texts.empty());
    rig.Segment({1, 2, 3, 4, 5, 6, 7}, false);
    EXPECT_TRUE(rig.link.requests.empty());
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
    EXPECT_EQ(rig.switches.cyclicReadEnabled.load(), 1);
}

TEST(CaptureRun, CancelRereadAndRefusals) {
    RunRig rig;
    // Cancel while waiting: nothing more is sent when the poll timer fires.
    rig.model.StartOrCancel();
    rig.Answer(1);
    rig.model.StartOrCancel();
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_FALSE(rig.model.run().ShowsCancel());
    rig.pollTimer.Fire();
    EXPECT_TRUE(rig.link.requests.empty());

    // Cancel during the upload: later segments are ignored, the link is given back.
    rig.RunToUpload();
    rig.Answer(0);
    rig.link.Take();
    rig.model.StartOrCancel();
    EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
    rig.Segment({1, 2, 3, 4, 5, 6, 7}, false);
    EXPECT_TRUE(rig.link.requests.empty());

    // Reread uploads at once without a new capture; a second one is refused while busy.
    rig.model.Reread();
    EXPECT_FALSE(rig.model.run().StartEnabled());
    EXPECT_EQ(rig.link.requests.size(), 1u);
    rig.model.Reread();
    rig.model.StartOrCancel();
    EXPECT_EQ(rig.link.requests.size(), 1u);
    // The drive refuses the upload: back to idle with the link given back.
    LinkRequest upload = rig.link.Take();
    rig.model.onMessage(WM_LINK_ABORT, 0x08000022, upload.address);
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
    EXPECT_EQ(rig.switches.cyclicReadEnabled.load(), 1);

    // A refused start returns to idle.
    rig.model.StartOrCancel();
    rig.model.onMessage(WM_LINK_ABORT, 0x08000022, rig.link.Take().address);
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_TRUE(rig.model.run().RereadEnabled());

    // Putting the view away forces idle.
    rig.RunToUpload();
    rig.model.onMessage(WM_LINK_STATE, 1, 0);
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
}

TEST(CaptureRun, ContinuousModeWaitsForHeldBackRequestsAndStopsOnCancel) {
    RunRig rig;
    rig.model.SetContinuous(true);
    rig.RunToUpload();
    rig.Answer(0);
    rig.link.Take();
    rig.Segment({1, 0, 2, 0, 0, 0}, true);
    ASSERT_TRUE(rig.restartTimer.IsActive());
    EXPECT_TRUE(rig.model.run().Busy());
    // Other windows' requests still wait: try again a second later.
    rig.link.deferredEmpty = false;
    rig.restartTimer.Fire();
    EXPECT_TRUE(rig.restartTimer.IsActive());
    EXPECT_TRUE(rig.link.requests.empty());
    rig.link.deferredEmpty = true;
    rig.restartTimer.Fire();
    LinkRequest restart = rig.link.Take();
    EXPECT_EQ(restart.address, kControl);
    EXPECT_EQ(restart.data, 1u);

    // Cancel during the pause also stops the pending restart.
    rig.model.onMessage(WM_LINK_VALUE, 0, kControl);
    rig.pollTimer.Fire();
    rig.Answer(0);
    rig.link.Take();
    rig.Segment({1, 0, 2, 0, 0, 0}, true);
    ASSERT_TRUE(rig.restartTimer.IsActive());
    rig.model.StartOrCancel();
    EXPECT_FALSE(rig.restartTimer.IsActive());
    EXPECT_FALSE(rig.restartTimer.Fire());
    EXPECT_TRUE(rig.link.requests.empty());
}

// A drive that goes away mid-capture: whatever step the capture is at, it ends at once with
// a status that says so, gives the link back and asks nothing more, even of a new connection.
TEST(CaptureRun, ALostLinkEndsTheCaptureAtEveryStep) {
    enum Step { kStarting, kWaiting, kReading, kPause };
    enum Cause { kClosed, kReconnected };
    for (Step step : {kStarting, kWaiting, kReading, kPause}) {
        for (Cause cause : {kClosed, kReconnected}) {
            SCOPED_TRACE(testing::Message() << "step " << step << " cause " << cause);
            RunRig rig;
            rig.model.SetContinuous(step == kPause);
            rig.model.StartOrCancel();
            if (step != kStarting) {
                rig.Answer(1);
                rig.pollTimer.Fire();  // the poll is asked for
            }
            if (step >= kReading) {
                rig.Answer(0);
                rig.pollTimer.Fire();
                rig.Answer(0x41);
                rig.link.Take();
                rig.Segment({1, 0, 2, 0, 0, 0, 3}, step == kPause);
            }
            rig.link.requests.clear();
            ASSERT_TRUE(rig.model.run().Busy());
            ASSERT_TRUE(rig.watchTimer.IsActive());
            if (cause == kClosed) {
                rig.switches.connectionState = ConnectionState::Closed;
                rig.watchTimer.Fire();
            } else {
                rig.model.onMessage(WM_LINK_STATE, 2, 0);
                rig.link.requests.clear();  // the new connection's settings read
            }
            EXPECT_FALSE(rig.model.run().Busy());
            EXPECT_FALSE(rig.model.run().ShowsCancel());
            EXPECT_EQ(rig.model.StatusText(), "stopped: the connection closed");
            EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
            EXPECT_EQ(rig.switches.cyclicReadEnabled.load(), 1);
            EXPECT_FALSE(rig.watchTimer.IsActive());
            EXPECT_FALSE(rig.restartTimer.IsActive());
            // A late answer of the old connection starts nothing.
            rig.model.onMessage(WM_LINK_VALUE, 2, kControl);
            rig.pollTimer.Fire();
            EXPECT_EQ(rig.model.StatusText(), "stopped: the connection closed");
            rig.Segment({1, 0, 2, 0, 0, 0, 3}, false);
            for (const LinkRequest& request : rig.link.requests) {
                EXPECT_NE(request.address, kControl);
                EXPECT_NE(request.address, kData);
            }
        }
    }
}

TEST(CaptureRun, ASilentDriveEndsTheCaptureAfterFiveSeconds) {
    RunRig rig;
    rig.RunToUpload();
    rig.Answer(0);
    for (int tick = 1; tick < CaptureRun::kSilentSeconds; ++tick) {
        rig.watchTimer.Fire();
    }
    // An answer starts the count again.
    rig.link.Take();
    rig.Segment({1, 0, 2, 0, 0, 0, 3}, false);
    for (int tick = 1; tick < CaptureRun::kSilentSeconds; ++tick) {
        rig.watchTimer.Fire();
    }
    EXPECT_TRUE(rig.model.run().Busy());
    rig.watchTimer.Fire();
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_EQ(rig.model.StatusText(), "stopped: the drive does not answer");
    EXPECT_EQ(rig.switches.deferredRelease.load(), 1);
}

TEST(CaptureRun, PreparingKeepsWaitingAndEmptyRecordsAndNoChannelAreSaid) {
    RunRig rig;
    rig.model.StartOrCancel();
    rig.Answer(1);
    rig.pollTimer.Fire();
    // State 3, the drive preparing its record, is still waiting: the state is read again.
    EXPECT_EQ(rig.Answer(3).address, kControl);
    rig.pollTimer.Fire();
    EXPECT_EQ(rig.link.requests.front().address, kControl);
    EXPECT_EQ(rig.model.run().state(), CaptureRun::State::kWaiting);
    rig.Answer(0);
    rig.pollTimer.Fire();
    rig.Answer(0);
    rig.link.Take();
    // The drive's record holds nothing: said so, not shown as a finished capture.
    rig.Segment({}, true);
    EXPECT_EQ(rig.model.StatusText(), "The drive's record is empty: no sample was taken.");

    // Start with no channel ticked sends nothing and says why.
    for (int channel = 1; channel <= 4; ++channel) {
        rig.model.ClickChannel(channel, false);
    }
    rig.link.requests.clear();
    rig.model.StartOrCancel();
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_FALSE(rig.model.run().Busy());
    EXPECT_EQ(rig.model.StatusText(), "Tick a channel to sample: no channel is ticked.");
}

}  // namespace
}  // namespace tarvo::test
