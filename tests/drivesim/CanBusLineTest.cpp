#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "drivesim/CanBusLine.h"
#include "drivesim/SimBusServer.h"
#include "tests/drivesim/TestDrive.h"
#include "tests/support/TempFolder.h"

namespace tarvo::sim::test {
namespace {

canbus::Frame MakeFrame(uint32_t id, uint8_t length) {
    canbus::Frame frame;
    frame.id = id;
    frame.length = length;
    return frame;
}

// Bits from the start of frame to the end of the interframe space, with the worst case of
// stuffing (the figures of the usual response-time analysis of CAN).
TEST(CanBusLine, FrameBitsCountTheWorstCaseOfStuffing) {
    const struct {
        canbus::Frame frame;
        uint32_t bits;
    } cases[] = {
        {MakeFrame(0x601, 8), 135},
        {MakeFrame(0x601, 0), 55},
        {MakeFrame(0x701, 1), 65},
        {MakeFrame(0x601, 12), 135},  // a length beyond 8 carries 8 bytes
        {MakeFrame(0x601 | canbus::Frame::kRemote, 8), 55},
        {MakeFrame(0x1234567 | canbus::Frame::kExtended, 8), 160},
        {MakeFrame(0x1234567 | canbus::Frame::kExtended, 0), 80},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CanBusLine::FrameBits(c.frame), c.bits) << std::hex << c.frame.id;
    }
}

TEST(CanBusLine, FramesTakeTheirTurnsForTheirBitTime) {
    CanBusLine line(800000);  // 1.25 us a bit: 135 bits take 168.75 us
    std::vector<CanBusLine::Passed> passed;
    line.Send(MakeFrame(0x601, 8), 1, 1000);
    line.Send(MakeFrame(0x581, 8), 2, 1100);  // waits for the first to pass
    EXPECT_EQ(line.NextDueUs(), 1169);
    line.TakePassed(1168, passed);
    EXPECT_TRUE(passed.empty());
    line.TakePassed(1169, passed);
    ASSERT_EQ(passed.size(), 1u);
    EXPECT_EQ(passed[0].sender, 1);
    EXPECT_EQ(passed[0].endUs, 1169u);
    // Back to back, the second ends 337.5 us after the first began: no rounding adds up.
    EXPECT_EQ(line.NextDueUs(), 1338);
    line.TakePassed(5000, passed);
    ASSERT_EQ(passed.size(), 2u);
    EXPECT_EQ(passed[1].sender, 2);
    EXPECT_EQ(line.NextDueUs(), -1);
    // An idle bus takes a frame at once.
    line.Send(MakeFrame(0x601, 0), 3, 6000);
    EXPECT_EQ(line.NextDueUs(), 6069);

    CanBusLine unpaced(0);
    unpaced.Send(MakeFrame(0x601, 8), 1, 7000);
    EXPECT_EQ(unpaced.NextDueUs(), 7000);
}

// A participant of the simulated bus, talking records over its socket.
class Participant {
public:
    explicit Participant(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~Participant() { ::close(fd_); }
    void Put(const canbus::SimBusRecord& record) {
        EXPECT_EQ(::send(fd_, &record, sizeof record, 0), static_cast<ssize_t>(sizeof record));
    }
    // The records that have arrived, without waiting.
    std::vector<canbus::SimBusRecord> Arrived() {
        std::vector<canbus::SimBusRecord> records;
        canbus::SimBusRecord record;
        while (::recv(fd_, &record, sizeof record, MSG_DONTWAIT) == sizeof record) {
            records.push_back(record);
        }
        return records;
    }

private:
    int fd_ = -1;
};

// The bus with a participant welcomed; the drive's boot-up message has passed by 1000 us.
struct BusRig {
    explicit BusRig(bool paced)
        : drive({Entry("6081", "00", "UNSIGNED32", "WSM", 5120, 0, 409600)}),
          sim(*drive.model),
          node(sim, 1, FaultSettings{}),
          bus(node, 500000, paced) {
        std::string error;
        EXPECT_TRUE(bus.Open(folder.File("bus"), error)) << error;
        client = std::make_unique<Participant>(folder.File("bus"));
        client->Put(canbus::SimBus::Control(canbus::SimBus::kHello, 500000,
                                            canbus::SimBus::kProtocolVersion));
        std::vector<int> fds;
        bus.Descriptors(fds);
        bus.OnReadable(fds[0], 0);  // accepts
        fds.clear();
        bus.Descriptors(fds);
        clientFd = fds.back();
        bus.OnReadable(clientFd, 0);
        bus.Flush(0);
        bus.Flush(1000);
        std::vector<canbus::SimBusRecord> start = client->Arrived();
        EXPECT_EQ(start.size(), 2u);  // welcome and boot-up
    }

    tarvo::test::TempFolder folder;
    TestDrive drive;
    SimulatedDrive sim;
    CanDriveNode node;
    SimBusServer bus;
    std::unique_ptr<Participant> client;
    int clientFd = -1;
};

canbus::SimBusRecord ReadRequest() {
    canbus::Frame request = MakeFrame(0x601, 8);
    const uint8_t bytes[8] = {0x40, 0x81, 0x60, 0x00, 0, 0, 0, 0};
    std::memcpy(request.data, bytes, 8);
    return canbus::SimBus::FromFrame(request);
}

TEST(SimBusServer, APacedBusPassesTheRequestAndItsReplyAfterTheirBitTimes) {
    BusRig rig(true);
    rig.client->Put(ReadRequest());
    rig.bus.OnReadable(rig.clientFd, 2000);
    EXPECT_EQ(rig.bus.NextDueUs(), 2270);  // 135 bits at 500 kbit/s
    rig.bus.Flush(2269);
    rig.bus.Flush(2270);  // the request has passed: the drive answers at once
    EXPECT_TRUE(rig.client->Arrived().empty());
    EXPECT_EQ(rig.bus.NextDueUs(), 2540);
    rig.bus.Flush(2539);
    EXPECT_TRUE(rig.client->Arrived().empty());
    rig.bus.Flush(2540);
    std::vector<canbus::SimBusRecord> replies = rig.client->Arrived();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].id, 0x581u);
    EXPECT_EQ(replies[0].data[0], 0x43);
}

TEST(SimBusServer, AnUnpacedBusPassesFramesAtOnce) {
    BusRig rig(false);
    rig.client->Put(ReadRequest());
    rig.bus.OnReadable(rig.clientFd, 2000);
    rig.bus.Flush(2000);
    std::vector<canbus::SimBusRecord> replies = rig.client->Arrived();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].id, 0x581u);
}

}  // namespace
}  // namespace tarvo::sim::test
