#include <errno.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "protocol/SerialPortAbi.h"
#include "serialport/LineControl.h"
#include "tests/serialport/PtyPeer.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

SerialConfig ConfigFor(const std::string& name, uint32_t baud = 115200, uint32_t timeoutMs = 200) {
    SerialConfig config{};
    for (size_t i = 0; i < name.size() && i < 8; ++i) {
        config.portName[i] = static_cast<uint8_t>(name[i]);
    }
    config.dcb.DCBlength = 28;
    config.dcb.BaudRate = baud;
    config.dcb.ByteSize = 8;
    config.replyTimeoutMs = timeoutMs;
    return config;
}

long ElapsedMs(Clock::time_point since) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - since).count();
}

// One port object on the terminal end of a fresh pseudo-terminal pair.
class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.ok());
        ASSERT_NE(CreateObject(&port_), 0);
        ASSERT_NE(port_, nullptr);
    }
    void TearDown() override {
        peer_.StopServing();
        if (port_ != nullptr) {
            port_->ops->Release(port_);
        }
    }

    uint32_t Open(uint32_t timeoutMs = 200, uint32_t baud = 115200) {
        SerialConfig config = ConfigFor(peer_.PortName(), baud, timeoutMs);
        return port_->ops->Open(port_, &config);
    }
    uint32_t Transact(const Bytes& frame) {
        return port_->ops->Transact(port_, frame.data(), static_cast<uint32_t>(frame.size()));
    }
    Bytes Fetch(uint32_t* result = nullptr) {
        uint8_t buffer[32] = {};
        uint32_t length = 0;
        uint32_t fetched = port_->ops->FetchReply(port_, buffer, &length);
        if (result != nullptr) {
            *result = fetched;
        }
        return fetched != 0 ? Bytes(buffer, buffer + length) : Bytes{};
    }

    PtyPeer peer_;
    SerialPort* port_ = nullptr;
    const Bytes request_ = DriveFrame(1, 0x40, 0x6041, 0, 0);
};

TEST_F(SerialPortTest, SendsTheFrameAndCollectsTheReply) {
    ASSERT_EQ(Open(), 0u);
    Bytes reply = ReplyTo(request_, 0x4B, 0x0237);
    peer_.Serve([reply](const Bytes&) { return std::vector<Bytes>{reply}; });
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);
    EXPECT_EQ(peer_.Requests(), std::vector<Bytes>{request_});
}

TEST_F(SerialPortTest, ReplyInPiecesCompletesWithTheTenthByte) {
    ASSERT_EQ(Open(), 0u);
    Bytes reply = ReplyTo(request_, 0x43, 0x12345678);
    peer_.Serve([reply](const Bytes&) {
        return std::vector<Bytes>{{reply.begin(), reply.begin() + 3},
                                  {reply.begin() + 3, reply.end()}};
    });
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);
}

TEST_F(SerialPortTest, TwelveBytesAtOnceLeaveTheFirstTen) {
    ASSERT_EQ(Open(), 0u);
    Bytes reply = ReplyTo(request_, 0x43, 7);
    Bytes twelve = reply;
    twelve.push_back(0xEE);
    twelve.push_back(0xEF);
    peer_.Serve([twelve](const Bytes&) { return std::vector<Bytes>{twelve}; });
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);
}

TEST_F(SerialPortTest, EchoIsDroppedAndTheReplyBehindItIsKept) {
    ASSERT_EQ(Open(), 0u);
    Bytes reply = ReplyTo(request_, 0x43, 99);
    // First the echo alone, then the reply as a second piece.
    peer_.Serve([reply](const Bytes& request) { return std::vector<Bytes>{request, reply}; });
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);

    // Echo and reply in one read: the reply behind the echo is not thrown away with it.
    Bytes both = request_;
    both.insert(both.end(), reply.begin(), reply.end());
    peer_.Serve([both](const Bytes&) { return std::vector<Bytes>{both}; });
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);
}

// What comes in before, inside and after the reply: the receiver slides over it to the one
// frame that answers the request in flight.
TEST_F(SerialPortTest, TheReplyIsFoundAmongStrayBytesAndOtherReplies) {
    ASSERT_EQ(Open(), 0u);
    auto exchange = [&](const Bytes& request, std::vector<Bytes> pieces) {
        peer_.Serve([pieces](const Bytes&) { return pieces; });
        uint32_t result = Transact(request);
        return result == 0 ? Fetch() : Bytes{};
    };
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    // A write of 25 to 6081:00: stray bytes whose sum with the first seven bytes of the reply
    // makes a window with a fitting checksum.
    const Bytes write = {0x01, 0x23, 0x81, 0x60, 0x00, 0x19, 0x00, 0x00, 0x00, 0xE2};
    const Bytes written = {0x01, 0x43, 0x81, 0x60, 0x00, 0x19, 0x00, 0x00, 0x00, 0xC2};
    EXPECT_EQ(exchange(write, {join({{0xA5, 0x5A, 0xC3}, written})}), written);
    const Bytes reply = ReplyTo(request_, 0x4B, 0x0237);
    EXPECT_EQ(exchange(request_, {join({reply, {0xA5, 0x5A}})}), reply);
    EXPECT_EQ(exchange(request_, {{0xA5, 0x5A, 0xC3, 0x01, 0x4B}, join({{0x41}, reply})}), reply);
    // A stray byte inside a frame spoils that frame; the repeated reply behind it is taken.
    Bytes spoiled = reply;
    spoiled.insert(spoiled.begin() + 4, 0x3C);
    EXPECT_EQ(exchange(request_, {join({spoiled, reply})}), reply);
    // The late reply to the previous request (another index) and one of another node.
    const Bytes late = DriveFrame(1, 0x43, 0x6081, 0, 1000);
    const Bytes foreign = DriveFrame(2, 0x4B, 0x6041, 0, 0x0237);
    EXPECT_EQ(exchange(request_, {late, join({foreign, reply})}), reply);
    // A segment of the wrong toggle is passed over.
    const Bytes segment1 = DriveFrame(1, 0x70, 0x1008, 0, 0);
    Bytes wrongToggle = {0x01, 0x00, 'T', 'S', 'D', '2', '4', '0', '5', 0x00};
    Bytes rightToggle = {0x01, 0x1B, '-', 'C', 0, 0, 0, 0, 0, 0x00};
    for (Bytes* frame : {&wrongToggle, &rightToggle}) {
        uint8_t sum = 0;
        for (int i = 0; i < 9; ++i) {
            sum = static_cast<uint8_t>(sum + (*frame)[i]);
        }
        (*frame)[9] = static_cast<uint8_t>(-sum);
    }
    EXPECT_EQ(exchange(segment1, {join({wrongToggle, rightToggle})}), rightToggle);
}

TEST_F(SerialPortTest, OnlyOtherRepliesTimeOut) {
    ASSERT_EQ(Open(100), 0u);
    Bytes other = DriveFrame(1, 0x43, 0x6081, 0, 1000);
    peer_.Serve([other](const Bytes&) { return std::vector<Bytes>{other}; });
    EXPECT_EQ(Transact(request_), 2u);
    EXPECT_EQ(Fetch(), Bytes{});
}

TEST_F(SerialPortTest, EchoWithoutReplyTimesOut) {
    ASSERT_EQ(Open(100), 0u);
    peer_.Serve([](const Bytes& request) { return std::vector<Bytes>{request}; });
    EXPECT_EQ(Transact(request_), 2u);
}

TEST_F(SerialPortTest, SilenceGivesResultTwoAfterTheTimeout) {
    ASSERT_EQ(Open(150), 0u);
    peer_.Serve([](const Bytes&) { return std::vector<Bytes>{}; });
    auto start = Clock::now();
    EXPECT_EQ(Transact(request_), 2u);
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 140);
    uint32_t fetched = 9;
    EXPECT_TRUE(Fetch(&fetched).empty());
    EXPECT_EQ(fetched, 0u);
}

TEST_F(SerialPortTest, HalfFrameThenSilenceTimesOutAndTheNextExchangeIsClean) {
    // The second exchange must be answered within the timeout: generous, for a loaded
    // machine or a sanitizer build.
    ASSERT_EQ(Open(1000), 0u);
    Bytes reply = ReplyTo(request_, 0x4F, 5);
    peer_.Serve([reply, calls = 0](const Bytes&) mutable {
        return ++calls == 1 ? std::vector<Bytes>{{reply.begin(), reply.begin() + 4}}
                            : std::vector<Bytes>{reply};
    });
    EXPECT_EQ(Transact(request_), 2u);
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);
}

TEST_F(SerialPortTest, ZeroTimeoutEndsEachWaitAtOnce) {
    ASSERT_EQ(Open(0), 0u);
    auto start = Clock::now();
    EXPECT_EQ(Transact(request_), 2u);
    EXPECT_LT(ElapsedMs(start), 10000);  // no endless wait
}

TEST_F(SerialPortTest, NotOpenOrClosedGivesResultOne) {
    EXPECT_EQ(Transact(request_), 1u);
    ASSERT_EQ(Open(), 0u);
    port_->ops->Close(port_);
    EXPECT_EQ(Transact(request_), 1u);
    // Closed ports may be opened again.
    ASSERT_EQ(Open(), 0u);
    peer_.Serve(
        [&](const Bytes& request) { return std::vector<Bytes>{ReplyTo(request, 0x4F, 1)}; });
    EXPECT_EQ(Transact(request_), 0u);
}

// The waits below end on an event, far sooner than the 30 s reply timeout.
TEST_F(SerialPortTest, PulledCableEndsTheWaitAtOnce) {
    ASSERT_EQ(Open(30000), 0u);
    peer_.Serve([](const Bytes&) { return std::vector<Bytes>{}; });
    std::thread puller([&] {
        std::this_thread::sleep_for(milliseconds(100));
        peer_.CloseMaster();
    });
    auto start = Clock::now();
    uint32_t result = Transact(request_);
    puller.join();
    EXPECT_NE(result, 0u);
    EXPECT_LT(ElapsedMs(start), 15000);
    start = Clock::now();
    EXPECT_NE(Transact(request_), 0u);
    EXPECT_LT(ElapsedMs(start), 15000);
}

TEST_F(SerialPortTest, CloseFromAnotherThreadEndsAWaitingTransact) {
    ASSERT_EQ(Open(30000), 0u);
    peer_.Serve([](const Bytes&) { return std::vector<Bytes>{}; });
    std::thread closer([&] {
        std::this_thread::sleep_for(milliseconds(100));
        port_->ops->Close(port_);
    });
    auto start = Clock::now();
    EXPECT_EQ(Transact(request_), 1u);
    closer.join();
    EXPECT_LT(ElapsedMs(start), 15000);
    EXPECT_EQ(Transact(request_), 1u);
}

TEST_F(SerialPortTest, GarbageLongerThanTheBufferIsTakenSafely) {
    ASSERT_EQ(Open(100), 0u);
    peer_.Serve([](const Bytes&) { return std::vector<Bytes>{Bytes(45, 0x5A)}; });
    EXPECT_EQ(Transact(request_), 2u);
    Bytes reply = ReplyTo(request_, 0x43, 5);
    Bytes both(45, 0x5A);
    both.insert(both.end(), reply.begin(), reply.end());
    peer_.Serve([both](const Bytes&) { return std::vector<Bytes>{both}; });
    EXPECT_EQ(Transact(request_), 0u);
    EXPECT_EQ(Fetch(), reply);
    // A frame longer than the transmit buffer is refused.
    EXPECT_EQ(Transact(Bytes(33, 1)), 2u);
}

TEST_F(SerialPortTest, ReadNowTakesWhatIsWaiting) {
    ASSERT_EQ(Open(), 0u);
    uint8_t buffer[32] = {};
    uint32_t length = 0;
    EXPECT_EQ(port_->ops->ReadNow(port_, buffer, &length), 1u);
    Bytes reply = ReplyTo(request_, 0x43, 3);
    peer_.Write(reply);
    auto deadline = Clock::now() + milliseconds(10000);
    while (port_->ops->ReadNow(port_, buffer, &length) != 0u && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_EQ(Bytes(buffer, buffer + length), reply);
}

TEST_F(SerialPortTest, EveryRateOfTheFormIsSet) {
    for (uint32_t rate : {4800u, 9600u, 14400u, 19200u, 38400u, 56000u, 115200u, 256000u}) {
        ASSERT_EQ(Open(200, rate), 0u) << rate;
        // The controlling end reports the terminal end's settings.
        EXPECT_EQ(serial::LineControl::CurrentRate(peer_.master()), rate);
        port_->ops->Close(port_);
    }
    EXPECT_EQ(Open(200, 0), static_cast<uint32_t>(EINVAL));
}

// A segment request cannot be sent again, so its reply is awaited a grace period past the
// reply timeout; a read's late reply is not (the read is sent again instead).
TEST_F(SerialPortTest, ALateSegmentReplyIsTakenWithinTheGracePeriod) {
    ASSERT_EQ(Open(100), 0u);
    peer_.SetPieceGap(milliseconds(400));
    peer_.Serve([](const Bytes& request) {
        return std::vector<Bytes>{{}, ReplyTo(request, request[1] == 0x40 ? 0x4B : 0x0B, 0x31)};
    });
    const Bytes segment = DriveFrame(1, 0x60, 0x1008, 0, 0);
    ASSERT_EQ(Transact(segment), 0u);
    EXPECT_EQ(Fetch(), ReplyTo(segment, 0x0B, 0x31));
    EXPECT_EQ(Transact(request_), 2u);
}

TEST_F(SerialPortTest, PortIsTakenExclusively) {
    ASSERT_EQ(Open(), 0u);
    SerialPort* second = nullptr;
    ASSERT_NE(CreateObject(&second), 0);
    SerialConfig config = ConfigFor(peer_.PortName());
    EXPECT_EQ(second->ops->Open(second, &config), static_cast<uint32_t>(EBUSY));
    port_->ops->Close(port_);
    EXPECT_EQ(second->ops->Open(second, &config), 0u);
    second->ops->Release(second);
}

// The exclusive mode ends with the close, also after an open that failed half way: a user
// without privileges, whom that mode refuses, opens the port again and again. Root ignores
// the mode, so the cycle runs in a child that has dropped to user nobody.
TEST_F(SerialPortTest, AnUnprivilegedUserOpensThePortAgainAfterClosingIt) {
    const std::string path = "/dev/" + peer_.PortName();
    const bool root = ::getuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    }
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
                     ::setuid(0) == 0)) {
            ::_exit(9);
        }
        SerialConfig config = ConfigFor(peer_.PortName());
        SerialConfig badRate = ConfigFor(peer_.PortName(), 0);
        // Exit codes: 10 + the round whose open was refused, 20 + the round whose open
        // with a bad rate failed for another reason than the rate.
        for (int round = 0; round < 3; ++round) {
            if (port_->ops->Open(port_, &badRate) != static_cast<uint32_t>(EINVAL)) {
                ::_exit(20 + round);
            }
            if (port_->ops->Open(port_, &config) != 0) {
                ::_exit(10 + round);
            }
            port_->ops->Close(port_);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SerialPortNames, OnlyPlainTerminalDeviceNamesOpen) {
    SerialPort* port = nullptr;
    ASSERT_NE(CreateObject(&port), 0);
    for (const char* name :
         {"", "../tty", "/dev/tt", "pts/..", "a//b", "pts/", "./tty", "tty 0", "ttyUSB10"}) {
        SerialConfig config = ConfigFor(name);
        EXPECT_EQ(port->ops->Open(port, &config), static_cast<uint32_t>(EINVAL)) << name;
    }
    SerialConfig unterminated = ConfigFor("ttyUSB0");
    for (auto& unit : unterminated.portName) {
        unit = 'A';
    }
    EXPECT_EQ(port->ops->Open(port, &unterminated), static_cast<uint32_t>(EINVAL));
    SerialConfig wide = ConfigFor("tty");
    wide.portName[1] = 0x0441;
    EXPECT_EQ(port->ops->Open(port, &wide), static_cast<uint32_t>(EINVAL));

    SerialConfig missing = ConfigFor("ttyZZ9");
    EXPECT_EQ(port->ops->Open(port, &missing), static_cast<uint32_t>(ENOENT));
    SerialConfig notTerminal = ConfigFor("null");
    EXPECT_EQ(port->ops->Open(port, &notTerminal), static_cast<uint32_t>(ENOTTY));
    EXPECT_EQ(port->ops->Transact(port, nullptr, 0), 1u);
    port->ops->Release(port);
}

TEST(SerialPortNames, ALinkUnderDevOfTheProgramFolderComesFirst) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    TempFolder folder;
    std::filesystem::create_directories(folder.File("dev"));
    std::filesystem::create_symlink("/dev/" + peer.PortName(), folder.File("dev/drive1"));
    std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());

    SerialPort* port = nullptr;
    ASSERT_NE(CreateObject(&port), 0);
    SerialConfig config = ConfigFor("drive1");
    EXPECT_EQ(port->ops->Open(port, &config), 0u);
    std::filesystem::current_path(previous);

    Bytes request = DriveFrame(1, 0x40, 0x6041, 0, 0);
    peer.Serve([](const Bytes& r) { return std::vector<Bytes>{ReplyTo(r, 0x4F, 1)}; });
    EXPECT_EQ(port->ops->Transact(port, request.data(), 10), 0u);
    port->ops->Release(port);
}

}  // namespace
}  // namespace tarvo::test
