#include "protocol/DriveProtocol.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "comm/LinkRequester.h"

namespace tarvo {
namespace {

// The bytes on the wire, as the drive family documents them.
static_assert(ToByte(SdoCommand::Write8) == 0x2F && ToByte(SdoCommand::Write16) == 0x2B &&
              ToByte(SdoCommand::Write24) == 0x27 && ToByte(SdoCommand::Write32) == 0x23);
static_assert(ToByte(SdoCommand::Read) == 0x40);
static_assert(ToByte(SdoCommand::SegmentToggleClear) == 0x60 &&
              ToByte(SdoCommand::SegmentToggleSet) == 0x70);
static_assert(ToByte(SdoReplyCommand::Value8) == 0x4F && ToByte(SdoReplyCommand::Value16) == 0x4B &&
              ToByte(SdoReplyCommand::Value24) == 0x47 && ToByte(SdoReplyCommand::Value32) == 0x43);
static_assert(ToByte(SdoReplyCommand::ValueUnsized) == 0x42 &&
              ToByte(SdoReplyCommand::UploadInitiate) == 0x41 &&
              ToByte(SdoReplyCommand::DownloadAck) == 0x60 &&
              ToByte(SdoReplyCommand::Abort) == 0x80);
static_assert(kCanRequestBase == 0x600 && kCanReplyBase == 0x580);
static_assert(static_cast<int32_t>(ConnectionState::Open) == 1 &&
              static_cast<int32_t>(ConnectionState::Closed) == 2);
static_assert(static_cast<uint8_t>(MonitorClass::ReadOnly) == 1 &&
              static_cast<uint8_t>(MonitorClass::Writable) == 2);
static_assert(sizeof(ConnectionState) == 4, "the switch stays a 32-bit value");

// A bare byte is no command: a request must name one.
static_assert(!std::is_invocable_v<decltype(&LinkRequester::Request), LinkRequester&,
                                   MessageTarget*, int, uint32_t, uint32_t>);
static_assert(std::is_invocable_v<decltype(&LinkRequester::Request), LinkRequester&, MessageTarget*,
                                  SdoCommand, uint32_t, uint32_t>);

TEST(DriveProtocol, WriteCommandsAndWidths) {
    for (int bytes = 1; bytes <= 4; ++bytes) {
        SdoCommand command = WriteCommandOfWidth(bytes);
        EXPECT_TRUE(IsWriteCommand(command));
        EXPECT_EQ(WidthOfWrite(command), bytes);
    }
    EXPECT_FALSE(IsWriteCommand(SdoCommand::Read));
    EXPECT_FALSE(IsWriteCommand(SdoCommand::SegmentToggleSet));
    EXPECT_FALSE(IsWriteCommand(ToByte(SdoReplyCommand::Abort)));
    EXPECT_TRUE(IsSegmentCommand(SdoCommand::SegmentToggleClear));
    EXPECT_TRUE(IsSegmentCommand(SdoCommand::SegmentToggleSet));
    EXPECT_FALSE(IsSegmentCommand(SdoCommand::Read));
    EXPECT_FALSE(IsSegmentCommand(uint8_t{0x61}));
}

TEST(DriveProtocol, SegmentAndExpeditedCounts) {
    // 0x0B: five bytes without data, the last segment.
    EXPECT_EQ(SegmentByteCount(0x0B), 2);
    EXPECT_EQ(SegmentReplyByte(false, 2, true), 0x0B);
    EXPECT_EQ(SegmentReplyByte(true, 7, false), 0x10);
    for (int count = 0; count <= 7; ++count) {
        EXPECT_EQ(SegmentByteCount(SegmentReplyByte(count % 2 == 0, count, true)), count);
    }
    EXPECT_EQ(ExpeditedByteCount(ToByte(SdoReplyCommand::Value8)), 1);
    EXPECT_EQ(ExpeditedByteCount(ToByte(SdoReplyCommand::Value16)), 2);
    EXPECT_EQ(ExpeditedByteCount(ToByte(SdoReplyCommand::Value24)), 3);
    EXPECT_EQ(ExpeditedByteCount(ToByte(SdoReplyCommand::Value32)), 4);
    EXPECT_EQ(ExpeditedByteCount(ToByte(SdoReplyCommand::ValueUnsized)), 4);
}

}  // namespace
}  // namespace tarvo
