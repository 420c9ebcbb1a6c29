#include "comm/ControlLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include "platform/MessageBox.h"
#include "platform/QueuedMessageSender.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/serialport/PtyPeer.h"

namespace tarvo::test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", value);
    return text;
}

uint32_t AddressOf(const Bytes& request) {
    return uint32_t{request[3]} << 16 | uint32_t{request[2]} << 8 | request[4];
}

// The control link on the real serial library, a peer on a pty as the drive, and this
// thread as the user-interface thread that drains the deliveries.
class ControlLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.ok());
        switches_.mainFrameWindow = &mainFrame_;
        switches_.cyclicReadEnabled = 0;
        ASSERT_EQ(link_.Load(2), 1);
        link_.SetNodeId(1);
        OpenPort(1000);
        switches_.connectionState = ConnectionState::Open;
        // Every read is answered with its address as the value; a gated address waits.
        peer_.Serve([this](const Bytes& request) {
            uint32_t address = AddressOf(request);
            log_.Add("read " + Hex(address));
            if (gatedAddress_.load() == address) {
                gate_.Wait();
            }
            if (silent_.load()) {
                return std::vector<Bytes>{};
            }
            if (abortCode_.load() != 0) {
                return std::vector<Bytes>{ReplyTo(request, 0x80, abortCode_.load())};
            }
            return std::vector<Bytes>{ReplyTo(request, 0x43, address)};
        });
    }

    void TearDown() override {
        gate_.Open();
        link_.Shutdown([this] { sender_.Drain(milliseconds(1)); });
        // The peer's answers use the fixture's members, which go before the peer does.
        peer_.StopServing();
    }

    void OpenPort(uint32_t timeoutMs) {
        link_.Close();
        CommSettings settings = SettingsFor(peer_.PortName(), 1, 115200, timeoutMs);
        ASSERT_EQ(link_.Open(&settings), 0);
    }

    // Drains deliveries until `done` holds; false when it did not within `limit`.
    bool DrainUntil(const std::function<bool()>& done, milliseconds limit = milliseconds(5000)) {
        auto deadline = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            sender_.Drain(milliseconds(2));
        }
        return true;
    }

    std::vector<uint32_t> PeerAddresses() {
        std::vector<uint32_t> addresses;
        for (const Bytes& request : peer_.Requests()) {
            addresses.push_back(AddressOf(request));
        }
        return addresses;
    }

    // Makes the worker busy with a read of `address` whose answer waits for the gate.
    void Occupy(MessageTarget* window, uint32_t address) {
        gatedAddress_ = address;
        link_.Request(window, SdoCommand::Read, address, 0);
        ASSERT_TRUE(DrainUntil([&] { return peer_.RequestCount() >= 1; }));
    }

    PtyPeer peer_;
    EventLog log_;
    RecordingSleeper sleeper_{log_};
    LinkSwitches switches_;
    QueuedMessageSender sender_;
    RecordingMessageBox box_;
    RecordingWindow mainFrame_;
    RecordingWindow window_;
    Gate gate_;
    std::atomic<uint32_t> gatedAddress_{0};
    std::atomic<bool> silent_{false};
    std::atomic<uint32_t> abortCode_{0};
    ControlLink link_{{switches_, sender_, box_, StageFolder(), &sleeper_}};
};

TEST_F(ControlLinkTest, NewestRequestGoesFirstThenTheDisplacedOnesInOrder) {
    Occupy(&window_, 0x100000);
    // Request never waits for the worker, which is still inside its gated exchange.
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x60410A, 0), 0);
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x60410B, 0), 0);
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x60410C, 0), 0);
    EXPECT_EQ(peer_.RequestCount(), 1u);
    gate_.Open();
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 4; }));
    EXPECT_EQ(PeerAddresses(), (std::vector<uint32_t>{0x100000, 0x60410C, 0x60410A, 0x60410B}));
    std::vector<RecordingWindow::Message> expected = {{WM_LINK_VALUE, 0x100000, 0x100000},
                                                      {WM_LINK_VALUE, 0x60410C, 0x60410C},
                                                      {WM_LINK_VALUE, 0x60410A, 0x60410A},
                                                      {WM_LINK_VALUE, 0x60410B, 0x60410B}};
    EXPECT_EQ(window_.messages, expected);
    // The last request of a queue is taken after a short pause, the one before it at once.
    EXPECT_EQ(log_.Count("pause 5"), 1u);
}

TEST_F(ControlLinkTest, ExclusiveModeTakesOnlyTheExclusiveWindowNewestFirst) {
    RecordingWindow other;
    switches_.exclusiveMode = 1;
    switches_.exclusiveWindow = &window_;
    Occupy(&window_, 0x100000);
    EXPECT_EQ(link_.Request(&other, SdoCommand::Read, 0x200000, 0), 0);
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x300000, 0), 0);
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x300100, 0), 0);
    EXPECT_EQ(link_.Request(&other, SdoCommand::Read, 0x200100, 0), 0);  // last, and still refused
    gate_.Open();
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 2 && !link_.IsBusy(); }));
    sender_.Drain(milliseconds(50));
    EXPECT_EQ(PeerAddresses(), (std::vector<uint32_t>{0x100000, 0x300100}));
    EXPECT_TRUE(other.messages.empty());

    // Without an exclusive window any window's request is taken.
    switches_.exclusiveWindow = nullptr;
    link_.Request(&other, SdoCommand::Read, 0x200000, 0);
    ASSERT_TRUE(DrainUntil([&] { return other.Count(WM_LINK_VALUE) == 1; }));
}

TEST_F(ControlLinkTest, OtherWindowsWaitWhileThePriorityWindowIsInCharge) {
    RecordingWindow scope;
    switches_.priorityWindow = &scope;
    switches_.deferredRelease = 0;
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x604100, 0), 1);
    EXPECT_EQ(link_.IsDeferredQueueEmpty(), 0);
    EXPECT_EQ(link_.Request(&scope, SdoCommand::Read, 0x230010, 0), 0);
    ASSERT_TRUE(DrainUntil([&] { return scope.Count(WM_LINK_VALUE) == 1; }));
    sender_.Drain(milliseconds(50));
    EXPECT_EQ(PeerAddresses(), std::vector<uint32_t>{0x230010});
    EXPECT_TRUE(window_.messages.empty());

    switches_.deferredRelease = 1;
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 1; }));
    EXPECT_EQ(link_.IsDeferredQueueEmpty(), 1);
    EXPECT_EQ(PeerAddresses(), (std::vector<uint32_t>{0x230010, 0x604100}));
    // Once released, the panel's requests go straight to the link.
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x604101, 0), 0);
}

TEST_F(ControlLinkTest, MonitorWalkAlternatesClassOneAndClassTwo) {
    EXPECT_EQ(link_.EnableMonitor(&window_), 0);
    EXPECT_EQ(link_.RegisterMonitor(&window_, 0x604100, MonitorClass::ReadOnly), 1);
    EXPECT_EQ(link_.RegisterMonitor(&window_, 0x606400, MonitorClass::Writable), 1);
    EXPECT_EQ(link_.RegisterMonitor(&window_, 0x606C00, MonitorClass::Writable), 1);
    EXPECT_EQ(link_.RegisterMonitor(&window_, 0x607800, MonitorClass::Writable), 1);
    EXPECT_EQ(link_.RegisterMonitor(&window_, 0x604100, MonitorClass::Writable), 0);
    switches_.cyclicReadEnabled = 1;
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) >= 8; }));
    switches_.cyclicReadEnabled = 0;
    std::vector<intptr_t> order;
    for (size_t i = 0; i < 8; ++i) {
        order.push_back(window_.messages[i].lParam);
    }
    EXPECT_EQ(order, (std::vector<intptr_t>{0x604100, 0x606400, 0x604100, 0x606C00, 0x604100,
                                            0x607800, 0x604100, 0x606400}));
}

TEST_F(ControlLinkTest, ClassTwoIsReadWhileRequestsKeepEndingTheWalks) {
    // Each monitor value brings a request, as a panel's next row would: every walk ends
    // after its first step, and the next walk goes on with the class that is due.
    RecordingWindow panel;
    link_.RegisterMonitor(&window_, 0x604100, MonitorClass::ReadOnly);
    link_.RegisterMonitor(&window_, 0x606400, MonitorClass::Writable);
    window_.onEach = [&](const RecordingWindow::Message&) {
        if (window_.messages.size() < 6) {
            link_.Request(&panel, SdoCommand::Read, 0x100000, 0);
        }
    };
    switches_.cyclicReadEnabled = 1;
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) >= 6; }));
    switches_.cyclicReadEnabled = 0;
    std::vector<uint32_t> reads = PeerAddresses();
    ASSERT_GE(reads.size(), 11u);
    EXPECT_EQ(std::vector<uint32_t>(reads.begin(), reads.begin() + 11),
              (std::vector<uint32_t>{0x604100, 0x100000, 0x606400, 0x100000, 0x604100, 0x100000,
                                     0x606400, 0x100000, 0x604100, 0x100000, 0x606400}));
}

TEST_F(ControlLinkTest, SingleClassOneEntryIsReadEveryOtherStep) {
    link_.RegisterMonitor(&window_, 0x604100, MonitorClass::ReadOnly);
    switches_.cyclicReadEnabled = 1;
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) >= 4; }));
    switches_.cyclicReadEnabled = 0;
    std::vector<std::string> events = log_.Events();
    auto first = std::find(events.begin(), events.end(), "read 604100");
    ASSERT_NE(first, events.end());
    std::vector<std::string> expected = {"read 604100", "pause 10", "pause 10",   "read 604100",
                                         "pause 10",    "pause 10", "read 604100"};
    ASSERT_GE(events.end() - first, 7);
    EXPECT_EQ(std::vector<std::string>(first, first + 7), expected);
}

TEST_F(ControlLinkTest, ClassTwoAloneIsNeverReadAndDisabledEntriesAreSkipped) {
    RecordingWindow panel;
    link_.RegisterMonitor(&window_, 0x606400, MonitorClass::Writable);
    link_.RegisterMonitor(&panel, 0x604100, MonitorClass::ReadOnly);
    EXPECT_EQ(link_.DisableMonitor(&panel), 1);
    switches_.cyclicReadEnabled = 1;
    ASSERT_TRUE(DrainUntil([&] { return log_.Count("pause 10") >= 30; }));
    EXPECT_EQ(peer_.RequestCount(), 0u);

    link_.EnableMonitor(&panel);
    ASSERT_TRUE(DrainUntil([&] { return panel.Count(WM_LINK_VALUE) >= 1; }));
    // A request that arrives during the walk ends it and goes next.
    link_.Request(&window_, SdoCommand::Read, 0x100000, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) >= 2; }));
}

TEST_F(ControlLinkTest, AbortsAndFailuresReachTheRightWindow) {
    abortCode_ = 0x06020000;
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.messages.size() == 1; }));
    EXPECT_EQ(window_.messages[0], (RecordingWindow::Message{WM_LINK_ABORT, 0x06020000, 0x604100}));

    abortCode_ = 0;
    silent_ = true;
    // Each transmission purges the line first, which takes back a frame the peer has not
    // read yet: the timeout leaves a loaded machine's peer thread time to read every one.
    OpenPort(500);
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    link_.Request(&window_, SdoCommand::Read, 0x604101, 0);
    ASSERT_TRUE(DrainUntil([&] { return mainFrame_.messages.size() == 2; }, milliseconds(30000)));
    EXPECT_EQ(mainFrame_.messages[0], (RecordingWindow::Message{WM_LINK_FAILURE, 0, 0}));
    EXPECT_EQ(window_.messages.size(), 1u);
    // Four transmissions per failed request; the peer may still be reading the last one.
    EXPECT_TRUE(DrainUntil([&] { return peer_.RequestCount() >= 9u; }));
    EXPECT_EQ(peer_.RequestCount(), 9u);

    // The drive answers again: the worker goes on serving.
    silent_ = false;
    link_.Request(&window_, SdoCommand::Read, 0x604102, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 1; }, milliseconds(20000)));
    EXPECT_EQ(mainFrame_.messages.size(), 2u);
}

TEST_F(ControlLinkTest, OnlyWritesTheDriveConfirmedAreMarkedNotStored) {
    link_.Unstored().SetStoredEntry([](uint32_t) { return true; });
    link_.Request(&window_, SdoCommand::Write16, 0x608100, 5);
    link_.Request(&window_, SdoCommand::Read, 0x608200, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 2; }));
    EXPECT_EQ(link_.Unstored().Keys(), (std::set<uint32_t>{0x608100}));

    abortCode_ = 0x06090030;
    link_.Request(&window_, SdoCommand::Write32, 0x608300, 5);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_ABORT) == 1; }));
    abortCode_ = 0;
    silent_ = true;
    OpenPort(500);  // the same drive again: its marks stay
    link_.Request(&window_, SdoCommand::Write32, 0x608400, 5);
    ASSERT_TRUE(
        DrainUntil([&] { return mainFrame_.Count(WM_LINK_FAILURE) == 1; }, milliseconds(30000)));
    EXPECT_EQ(link_.Unstored().Keys(), (std::set<uint32_t>{0x608100}));

    // The store of the control parameters, confirmed, clears the mark.
    silent_ = false;
    link_.Request(&window_, SdoCommand::Write8, 0x2FF001, 1);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 3; }, milliseconds(20000)));
    EXPECT_EQ(link_.Unstored().Count(), 0u);

    // Marks of one node mean nothing for another reached through the same port.
    link_.Request(&window_, SdoCommand::Write16, 0x608100, 6);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 4; }));
    EXPECT_EQ(link_.Unstored().Count(), 1u);
    link_.Close();
    CommSettings otherNode = SettingsFor(peer_.PortName(), 2, 115200, 1000);
    ASSERT_EQ(link_.Open(&otherNode), 0);
    EXPECT_EQ(link_.Unstored().Count(), 0u);
}

TEST_F(ControlLinkTest, ClosingUnderAnExchangeIsNoDriveFailureAndTheNextOpenServes) {
    // The user disconnects while the drive has not answered yet, and connects again.
    Occupy(&window_, 0x100000);
    switches_.connectionState = ConnectionState::Closed;
    link_.Close();
    ASSERT_TRUE(DrainUntil([&] { return !link_.IsBusy(); }));
    OpenPort(1000);
    switches_.connectionState = ConnectionState::Open;
    gate_.Open();  // the late reply to the old request reaches the new connection
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 1; }));
    EXPECT_EQ(window_.messages.back().wParam, 0x604100u);  // the value is the address
    EXPECT_TRUE(mainFrame_.messages.empty());
}

TEST_F(ControlLinkTest, RequestsAreDroppedWhileTheConnectionIsClosed) {
    switches_.connectionState = ConnectionState::Closed;
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x604100, 0), 0);
    EXPECT_FALSE(link_.IsBusy());
    switches_.connectionState = ConnectionState::Open;
    sender_.Drain(milliseconds(50));
    EXPECT_EQ(peer_.RequestCount(), 0u);
}

TEST_F(ControlLinkTest, PulledCableGivesAFailureWithoutHanging) {
    // Far sooner than the three 30 s reply timeouts of a silent drive.
    OpenPort(30000);
    peer_.CloseMaster();
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    ASSERT_TRUE(DrainUntil([&] { return mainFrame_.messages.size() == 1; }, milliseconds(30000)));
    EXPECT_EQ(mainFrame_.messages[0].message, WM_LINK_FAILURE);
}

TEST_F(ControlLinkTest, CloseEndsAnExchangeWithASilentDrive) {
    silent_ = true;
    OpenPort(5000);
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    ASSERT_TRUE(DrainUntil([&] { return peer_.RequestCount() == 1; }));
    switches_.connectionState = ConnectionState::Closed;
    link_.Close();
    // Ended before the first of three 5 s reply timeouts, and the user's own close is no
    // failure of the drive.
    ASSERT_TRUE(DrainUntil([&] { return !link_.IsBusy(); }, milliseconds(4000)));
    EXPECT_TRUE(mainFrame_.messages.empty());
}

TEST_F(ControlLinkTest, SegmentIsReadInsideItsMessage) {
    peer_.Serve([](const Bytes& request) {
        if (request[1] == 0x40) {
            return std::vector<Bytes>{ReplyTo(request, 0x41, 2)};
        }
        Bytes reply = DriveFrame(1, 0x0B, 0x1008, 0, 0);
        reply[2] = 'h';
        reply[3] = 'i';
        uint8_t sum = 0;
        for (int i = 0; i < 9; ++i) {
            sum = static_cast<uint8_t>(sum + reply[i]);
        }
        reply[9] = static_cast<uint8_t>(-sum);
        (void)request;
        return std::vector<Bytes>{reply};
    });
    DriveSegment seen;
    window_.onEach = [&](const RecordingWindow::Message& m) {
        if (m.message == WM_LINK_SEGMENT) {
            seen = link_.GetSegment();
        }
    };
    link_.Request(&window_, SdoCommand::Read, 0x100800, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_VALUE) == 1; }));
    link_.Request(&window_, SdoCommand::SegmentToggleClear, 0x100800, 0);
    ASSERT_TRUE(DrainUntil([&] { return window_.Count(WM_LINK_SEGMENT) == 1; }));
    EXPECT_EQ(seen.count, 2);
    EXPECT_TRUE(seen.last);
    EXPECT_EQ(seen.bytes[0], 'h');
    EXPECT_EQ(window_.messages[1].lParam, 0x100800);
}

TEST_F(ControlLinkTest, MonitorReadsWithoutAValueShowNothing) {
    // A three-byte reply is not decoded: the entry's window must not get the value of an
    // earlier reply.
    peer_.Serve([](const Bytes& request) {
        uint8_t command = AddressOf(request) == 0x604100 ? 0x47 : 0x43;
        return std::vector<Bytes>{ReplyTo(request, command, 7)};
    });
    link_.Request(&mainFrame_, SdoCommand::Read, 0x606400, 0);
    ASSERT_TRUE(DrainUntil([&] { return mainFrame_.Count(WM_LINK_VALUE) == 1; }));
    link_.RegisterMonitor(&window_, 0x604100, MonitorClass::ReadOnly);
    switches_.cyclicReadEnabled = 1;
    ASSERT_TRUE(DrainUntil([&] { return peer_.RequestCount() >= 4; }));
    switches_.cyclicReadEnabled = 0;
    EXPECT_EQ(window_.messages.size(), 0u);
}

TEST_F(ControlLinkTest, ShutdownWhileTheWorkerWaitsInADelivery) {
    link_.Request(&window_, SdoCommand::Read, 0x604100, 0);
    // The worker now waits for this thread to take its delivery.
    ASSERT_TRUE(DrainUntil([&] { return peer_.RequestCount() == 1; }));
    std::this_thread::sleep_for(milliseconds(50));
    auto start = Clock::now();
    link_.Shutdown([this] { sender_.Drain(milliseconds(1)); });
    EXPECT_LT(Clock::now() - start, milliseconds(15000));
    EXPECT_EQ(switches_.linkStop.load(), 1);
    EXPECT_EQ(link_.Request(&window_, SdoCommand::Read, 0x604100, 0), 0);
}

TEST(ControlLinkLifetime, DestroyedAfterTheSenderWasAbandoned) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.Serve([](const Bytes& r) { return std::vector<Bytes>{ReplyTo(r, 0x43, 1)}; });
    LinkSwitches switches;
    QueuedMessageSender sender;
    RecordingMessageBox box;
    RecordingWindow window;
    {
        ControlLink link({switches, sender, box, StageFolder(), nullptr});
        ASSERT_EQ(link.Load(2), 1);
        CommSettings settings = SettingsFor(peer.PortName(), 1, 115200, 200);
        ASSERT_EQ(link.Open(&settings), 0);
        switches.connectionState = ConnectionState::Open;
        link.Request(&window, SdoCommand::Read, 0x604100, 0);
        auto deadline = Clock::now() + milliseconds(2000);
        while (peer.RequestCount() == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(5));
        }
        std::this_thread::sleep_for(milliseconds(50));
        sender.Abandon();
    }
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(box.texts.empty());
}

// The calls the user-interface thread makes on the link (the toolbar's connect, the
// settings forms, a segment handler) return while the worker is inside an exchange with a
// drive that does not answer: the stand-in CAN library holds every transmission until the
// test lets it go, and the test checks that it has not done so yet when the calls are back.
TEST(ControlLinkUserInterface, NeverWaitsForTheExchangeInProgress) {
    struct Hold {
        Gate entered;
        Gate release;
    } hold;
    LibraryFolder folder;
    folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
    LinkSwitches switches;
    QueuedMessageSender sender;
    RecordingMessageBox box;
    RecordingWindow mainFrame;
    RecordingWindow window;
    switches.mainFrameWindow = &mainFrame;
    switches.cyclicReadEnabled = 0;
    ControlLink link({switches, sender, box, folder.Path(), nullptr});
    ASSERT_EQ(link.Load(5), 1);
    FakeCanState* can = folder.CanState();
    ASSERT_NE(can, nullptr);
    can->transmitResult = 1;  // once let go, the transmission fails, as on a silent bus
    can->transmitContext = &hold;
    can->transmitHook = [](void* context) {
        auto* held = static_cast<Hold*>(context);
        held->entered.Open();
        held->release.Wait();
    };
    link.SetNodeId(1);
    CommSettings settings = SettingsFor("", 1, 0x001C, 500);
    ASSERT_EQ(link.Open(&settings), 0);
    switches.connectionState = ConnectionState::Open;
    link.Request(&window, SdoCommand::Read, 0x604100, 0);
    hold.entered.Wait();  // the worker is inside its exchange from here on

    // Should a call wait for the exchange after all, this lets it go so that the test ends
    // with a failure instead of hanging.
    std::atomic<bool> uiDone{false};
    std::atomic<bool> rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 600 && !uiDone.load(); ++i) {
            std::this_thread::sleep_for(milliseconds(100));
        }
        if (!uiDone.load()) {
            rescued = true;
            hold.release.Open();
        }
    });

    link.SetNodeId(7);
    char version[256] = {};
    EXPECT_NE(link.ReadVersion(version), 0);
    (void)link.GetSegment();
    EXPECT_EQ(link.Request(&window, SdoCommand::Read, 0x604101, 0), 0);
    EXPECT_TRUE(link.IsBusy());
    switches.connectionState = ConnectionState::Closed;
    link.Close();
    // A new object replaces the one the exchange holds, and opens.
    ASSERT_EQ(link.Load(5), 1);
    settings.nodeId = 7;
    EXPECT_EQ(link.Open(&settings), 0);
    const bool stillInside = !rescued.load();
    uiDone = true;
    watchdog.join();
    EXPECT_TRUE(stillInside) << "a call on the user-interface thread waited for the exchange";
    EXPECT_EQ(can->releases.load(), 0) << "the object of the running exchange was released";

    // Let go: the exchange fails, and its object is released once it is over. The user's
    // close ran into it, so no drive failure is reported.
    hold.release.Open();
    auto deadline = Clock::now() + milliseconds(30000);
    while (can->releases.load() == 0 && Clock::now() < deadline) {
        sender.Drain(milliseconds(5));
    }
    EXPECT_EQ(can->releases.load(), 1);
    EXPECT_EQ(mainFrame.Count(WM_LINK_FAILURE), 0u);

    // The next exchange runs on the new object with the node ID set meanwhile.
    can->transmitResult = 0;
    can->reply.id = 0x587;
    can->reply.length = 8;
    can->reply.data[0] = 0x4B;
    switches.connectionState = ConnectionState::Open;
    while (window.Count(WM_LINK_VALUE) == 0 && Clock::now() < deadline) {
        sender.Drain(milliseconds(5));
    }
    ASSERT_EQ(window.Count(WM_LINK_VALUE), 1u);
    EXPECT_EQ(window.messages[0].lParam, 0x604101);
    EXPECT_EQ(can->lastRequest.id, 0x607u);
    link.Shutdown([&] { sender.Drain(milliseconds(1)); });
}

TEST(ControlLinkLifetime, CanChoiceIsRemembered) {
    LinkSwitches switches;
    QueuedMessageSender sender;
    RecordingMessageBox box;
    LibraryFolder folder;
    ControlLink link({switches, sender, box, folder.Path(), nullptr});
    EXPECT_EQ(link.Load(5), 0);
    EXPECT_EQ(switches.canChosen.load(), 1);
    EXPECT_EQ(link.Load(1), 1);
    EXPECT_EQ(switches.canChosen.load(), 1);
}

}  // namespace
}  // namespace tarvo::test
