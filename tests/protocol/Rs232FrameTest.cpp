#include "protocol/Rs232Frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvo::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(const Rs232Frame::Bytes& frame) {
    return Bytes(frame.begin(), frame.end());
}

struct FrameCase {
    const char* name;
    uint8_t node;
    uint8_t command;
    uint32_t address;
    uint32_t data;
    Bytes frame;  // written out by hand
};

const FrameCase kFrames[] = {
    {"16-bit write of 0x1234 to 2FFF:00 on node 5",
     5,
     0x2B,
     0x2FFF00,
     0x1234,
     {0x05, 0x2B, 0xFF, 0x2F, 0x00, 0x34, 0x12, 0x00, 0x00, 0x5C}},
    {"read of 6041:00 on node 1",
     1,
     0x40,
     0x604100,
     0,
     {0x01, 0x40, 0x41, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E}},
    {"32-bit value reply, all data bytes set",
     0x7F,
     0x43,
     0x100801,
     0xA1B2C3D4,
     {0x7F, 0x43, 0x08, 0x10, 0x01, 0xD4, 0xC3, 0xB2, 0xA1, 0x3B}},
    {"checksum 0: the nine bytes add up to 256",
     0x00,
     0x80,
     0x000000,
     0x00000080,
     {0x00, 0x80, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00}},
};

TEST(Rs232Frame, EncodesAndDecodesAtTheDocumentedOffsets) {
    for (const FrameCase& c : kFrames) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Of(Rs232Frame::Encode(c.node, c.command, c.address, c.data)), c.frame);
        EXPECT_EQ(Rs232Frame::Checksum(c.frame.data()), c.frame[9]);
        EXPECT_TRUE(Rs232Frame::ChecksumFits(c.frame.data()));
        auto fields = Rs232Frame::Decode(c.frame.data());
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->command, c.command);
        EXPECT_EQ(fields->address, c.address);
        EXPECT_EQ(fields->data, c.data);
        // The same eight protocol bytes, as a CAN message carries them.
        uint8_t protocol[8] = {};
        Rs232Frame::Put(protocol, c.command, c.address, c.data);
        EXPECT_EQ(Bytes(protocol, protocol + 8), Bytes(c.frame.begin() + 1, c.frame.end() - 1));
    }
}

TEST(Rs232Frame, ABadSumDecodesAsNothing) {
    const Bytes good = {0x05, 0x2B, 0xFF, 0x2F, 0x00, 0x34, 0x12, 0x00, 0x00, 0x5C};
    // A flipped bit in the node, a data byte or the checksum itself.
    for (size_t at : {size_t{0}, size_t{6}, size_t{9}}) {
        SCOPED_TRACE(at);
        Bytes bad = good;
        bad[at] ^= 0x01;
        EXPECT_FALSE(Rs232Frame::ChecksumFits(bad.data()));
        EXPECT_FALSE(Rs232Frame::Decode(bad.data()));
    }
}

TEST(Rs232Frame, BitsAboveTheSubindexAndIndexAreNotSent) {
    EXPECT_EQ(Rs232Frame::Encode(1, 0x40, 0x7F604100, 0), Rs232Frame::Encode(1, 0x40, 0x604100, 0));
}

}  // namespace
}  // namespace tarvo::test
