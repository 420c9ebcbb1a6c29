#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>

#include "comm/ControlLink.h"
#include "platform/MessageBox.h"
#include "platform/QueuedMessageSender.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/serialport/PtyPeer.h"

namespace tarvo::test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Holds every pause of the monitor walk (10 and 30 ms) until the test lets them go, and
// lets the others pass: whatever the worker sends while a pause is held, it sent without
// waiting for one.
class HoldingSleeper : public Sleeper {
public:
    explicit HoldingSleeper(EventLog& log) : log_(log) {}
    void Sleep(milliseconds duration) override {
        log_.Add("pause " + std::to_string(duration.count()));
        if (duration.count() >= 10) {
            release.Wait();
        }
    }
    Gate release;

private:
    EventLog& log_;
};

// The link on the real serial library, a peer on a pty that answers every read with its
// address, and this thread as the user-interface thread.
class ControlLinkWakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.ok());
        switches_.mainFrameWindow = &mainFrame_;
        switches_.cyclicReadEnabled = 0;
        peer_.Serve([this](const Bytes& request) {
            if (silent_.load()) {
                return std::vector<Bytes>{};
            }
            uint32_t address = uint32_t{request[3]} << 16 | uint32_t{request[2]} << 8 | request[4];
            return std::vector<Bytes>{ReplyTo(request, 0x43, address)};
        });
    }

    void TearDown() override {
        sleeper_.release.Open();
        link_.Shutdown([this] { sender_.Drain(milliseconds(1)); });
        peer_.StopServing();
    }

    void Connect(uint32_t timeoutMs) {
        ASSERT_EQ(link_.Load(2), 1);
        link_.SetNodeId(1);
        CommSettings settings = SettingsFor(peer_.PortName(), 1, 115200, timeoutMs);
        ASSERT_EQ(link_.Open(&settings), 0);
        switches_.connectionState = ConnectionState::Open;
    }

    bool DrainUntil(const std::function<bool()>& done, milliseconds limit = milliseconds(10000)) {
        auto deadline = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            sender_.Drain(milliseconds(2));
        }
        return true;
    }

    PtyPeer peer_;
    EventLog log_;
    HoldingSleeper sleeper_{log_};
    LinkSwitches switches_;
    QueuedMessageSender sender_;
    RecordingMessageBox box_;
    RecordingWindow mainFrame_;
    RecordingWindow window_;
    std::atomic<bool> silent_{false};
    ControlLink link_{{switches_, sender_, box_, StageFolder(), &sleeper_}};
};

TEST_F(ControlLinkWakeTest, IdleWorkerServesAtOnceWhateverWakesIt) {
    // Opened after the worker started: the open and the first request wake it.
    Connect(2000);
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 1; }));
    // Idle again: the next request too.
    link_.Request(&window_, SdoCommand::Read, 0x606400, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 2; }));

    // A request that waited for the priority window goes once the switch is written.
    RecordingWindow scope;
    switches_.priorityWindow = &scope;
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x607800, 0), 1);
    switches_.deferredRelease = 1;
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 3; }));
    EXPECT_EQ(log_.Count("pause 10") + log_.Count("pause 30"), 0u);

    // Switching the cyclic reads on with an empty list idles; the first entry is read as
    // soon as it is registered, before the pause that follows its step.
    switches_.cyclicReadEnabled = 1;
    link_.RegisterMonitor(&window_, 0x606C00, MonitorClass::ReadOnly);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 4; }));
    EXPECT_EQ(window_.messages.back().lParam, 0x606C00);
    EXPECT_EQ(peer_.RequestCount(), 4u);

    // The walk's pacing stays: a request made during its held pause waits for the pause.
    ASSERT_TRUE(DrainUntil([&] { return log_.Count("pause 10") == 1; }));
    link_.Request(&window_, SdoCommand::Read, 0x100000, 0);
    sender_.Drain(milliseconds(100));
    EXPECT_EQ(peer_.RequestCount(), 4u);
    switches_.cyclicReadEnabled = 0;
    sleeper_.release.Open();
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) >= 5; }));
    EXPECT_EQ(window_.messages.back().lParam, 0x100000);
}

TEST_F(ControlLinkWakeTest, MonitorSwitchedOnWhileIdleIsReadAtOnce) {
    Connect(2000);
    link_.RegisterMonitor(&window_, 0x604100, MonitorClass::ReadOnly);
    link_.Request(&window_, SdoCommand::Read, 0x100000, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 1; }));
    switches_.cyclicReadEnabled = 1;
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 2; }));
    EXPECT_EQ(window_.messages.back().lParam, 0x604100);
}

TEST_F(ControlLinkWakeTest, ShutdownEndsTheExchangeInFlightWithoutRepeatOrFailure) {
    // A silent drive with a long reply timeout: only the close that Shutdown makes ends the
    // exchange before its repetitions.
    silent_ = true;
    Connect(60000);
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    ASSERT_TRUE(DrainUntil([&] { return peer_.RequestCount() == 1; }));
    sleeper_.release.Open();
    auto shutdown = std::async(std::launch::async, [&] { link_.Shutdown(nullptr); });
    ASSERT_EQ(shutdown.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "Shutdown waited for the reply timeout";
    sender_.Drain(milliseconds(10));
    EXPECT_EQ(peer_.RequestCount(), 1u);
    EXPECT_TRUE(mainFrame_.messages.empty());
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x604100, 0), 0);
}

// A stop ends the worker while it idles with the port closed, and while it waits in a
// real (not a test) pause of the monitor walk.
TEST(ControlLinkStop, EndsAnIdleWorkerAndOneInAPause) {
    LinkSwitches switches;
    QueuedMessageSender sender;
    RecordingMessageBox box;
    {
        ControlLink link({switches, sender, box, StageFolder(), nullptr});
        link.Shutdown(nullptr);
        EXPECT_EQ(switches.linkStop.load(), 1);
    }
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.Serve([](const Bytes& r) { return std::vector<Bytes>{ReplyTo(r, 0x43, 1)}; });
    LinkSwitches live;
    RecordingWindow window;
    ControlLink link({live, sender, box, StageFolder(), nullptr});
    ASSERT_EQ(link.Load(2), 1);
    CommSettings settings = SettingsFor(peer.PortName(), 1, 115200, 2000);
    ASSERT_EQ(link.Open(&settings), 0);
    live.connectionState = ConnectionState::Open;
    link.RegisterMonitor(&window, 0x604100, MonitorClass::ReadOnly);
    auto deadline = Clock::now() + milliseconds(10000);
    while (window.messages.size() < 3 && Clock::now() < deadline) {
        sender.Drain(milliseconds(2));
    }
    ASSERT_GE(window.messages.size(), 3u);
    link.Shutdown([&] { sender.Drain(milliseconds(1)); });
    peer.StopServing();
}

}  // namespace
}  // namespace tarvo::test
