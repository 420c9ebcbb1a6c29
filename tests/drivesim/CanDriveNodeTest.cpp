#include <gtest/gtest.h>

#include "drivesim/CanDriveNode.h"
#include "tests/drivesim/TestDrive.h"

namespace tarvo::sim::test {
namespace {

// The node's answer on 0x580 + node to one request frame on 0x600 + node.
canbus::Frame Ask(CanDriveNode& node, TestDrive& drive, std::array<uint8_t, 8> bytes) {
    canbus::Frame request;
    request.id = 0x600 + 1;
    request.length = 8;
    std::copy(bytes.begin(), bytes.end(), request.data);
    node.OnFrame(request, drive.nowUs);
    std::vector<canbus::Frame> out;
    node.TakeDue(drive.nowUs, out);
    for (const canbus::Frame& frame : out) {
        if (frame.Identifier() == 0x581) {
            return frame;
        }
    }
    ADD_FAILURE() << "no reply on 0x581";
    return {};
}

TEST(CanDriveNode, WritesAreAcknowledgedAsDownloadsCarryingTheHeldValue) {
    TestDrive drive({Entry("6081", "00", "UNSIGNED32", "WSM", 5120, 0, 409600),
                     Entry("2011", "01", "UNSIGNED16", "WS", 300, 0, 30000)});
    SimulatedDrive sim(*drive.model);
    CanDriveNode node(sim, 1, FaultSettings{});

    canbus::Frame write = Ask(node, drive, {0x23, 0x81, 0x60, 0x00, 0x58, 0x02, 0x00, 0x00});
    EXPECT_EQ(write.data[0], 0x60);
    EXPECT_EQ(write.data[1], 0x81);
    EXPECT_EQ(write.data[2], 0x60);
    EXPECT_EQ(write.data[3], 0x00);
    EXPECT_EQ(write.data[4] | write.data[5] << 8, 600);

    canbus::Frame narrow = Ask(node, drive, {0x2B, 0x11, 0x20, 0x01, 0x2C, 0x01, 0x00, 0x00});
    EXPECT_EQ(narrow.data[0], 0x60);

    // Reads keep their upload replies, refused writes their abort.
    EXPECT_EQ(Ask(node, drive, {0x40, 0x81, 0x60, 0x00, 0, 0, 0, 0}).data[0], 0x43);
    EXPECT_EQ(Ask(node, drive, {0x23, 0x81, 0x60, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}).data[0], 0x80);
    EXPECT_EQ(Ask(node, drive, {0x23, 0x99, 0x60, 0x00, 1, 0, 0, 0}).data[0], 0x80);
    // A command byte the drive does not know stays refused, even one with a write's top bits.
    EXPECT_EQ(Ask(node, drive, {0x21, 0x81, 0x60, 0x00, 1, 0, 0, 0}).data[0], 0x80);
}

}  // namespace
}  // namespace tarvo::sim::test
