#include <gtest/gtest.h>

#include "protocol/DriveProtocol.h"
#include "tests/drivesim/TestDrive.h"

namespace tarvo::sim::test {
namespace {

constexpr uint32_t kSlot1 = 0x230001;
constexpr uint32_t kSlot4 = 0x230004;
constexpr uint32_t kSlot5 = 0x230005;
constexpr uint32_t kControl = 0x230007;
constexpr uint32_t kPeriod = 0x230008;
constexpr uint32_t kPretrigger = 0x230009;
constexpr uint32_t kTotal = 0x23000A;
constexpr uint32_t kSource = 0x23000C;
constexpr uint32_t kLevel = 0x23000D;
constexpr uint32_t kData = 0x230010;

constexpr uint32_t kStatuswordCode = 0x60410010;
constexpr uint32_t kPositionCode = 0x60640020;
constexpr uint32_t kVirtualInputsCode = 0x20100C10;

// The record as the oscilloscope uploads it, segment by segment up to the last one.
std::string Upload(TestDrive& drive, uint32_t& size) {
    SdoReply start = drive.Send(0x40, kData);
    EXPECT_EQ(start.command, 0x41);
    size = start.Data();
    std::string bytes;
    uint8_t toggle = 0x60;
    for (int guard = 0; guard < 2000; ++guard) {
        SdoReply segment = drive.Send(toggle, kData);
        EXPECT_NE(segment.command, 0x80);
        int count = 7 - ((segment.command >> 1) & 7);
        bytes.append(reinterpret_cast<const char*>(segment.bytes), count);
        if ((segment.command & 1) != 0) {
            break;
        }
        toggle = toggle == 0x60 ? 0x70 : 0x60;
    }
    return bytes;
}

uint32_t Little(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
}

TEST(Capture, RecordHoldsTheNonZeroSlotsInTheirOrder) {
    TestDrive drive(FamilySource());
    EXPECT_EQ(drive.Write(kSlot1, kStatuswordCode, 4).Data(), kStatuswordCode);
    drive.Write(kSlot5, kPositionCode, 4);
    drive.Write(kSlot4, kVirtualInputsCode, 4);
    drive.Write(kPeriod, 1, 2);
    drive.Write(kTotal, 10, 2);
    drive.Write(kPretrigger, 0, 2);
    drive.Write(kSource, 0, 4);
    drive.model->SetInputPin(7, 1);
    drive.Wait(2000);
    EXPECT_EQ(drive.Write(kControl, 1, 1).Data(), 2u) << "manual trigger: recording at once";
    drive.Wait(1000);
    EXPECT_NE(drive.Read(kControl), 0u);
    drive.Wait(20000);
    EXPECT_EQ(drive.Read(kControl), 0u);
    EXPECT_EQ(drive.Read(0x23000E), 10u);

    uint32_t size = 0;
    std::string record = Upload(drive, size);
    ASSERT_EQ(size, 80u);
    ASSERT_EQ(record.size(), 80u);
    for (size_t at = 0; at < record.size(); at += 8) {
        EXPECT_EQ(Little(record, at, 2), 0x0250u) << "slot 1 first";
        EXPECT_EQ(Little(record, at + 2, 4), 0u) << "then slot 5";
        EXPECT_EQ(Little(record, at + 6, 2), 0x40u) << "then slot 4";
    }
}

TEST(Capture, TriggerKeepsThePretriggerSamples) {
    TestDrive drive(FamilySource());
    drive.Write(kSlot1, kVirtualInputsCode, 4);
    drive.Write(kPeriod, 16, 2);  // 1 ms
    drive.Write(kTotal, 10, 2);
    drive.Write(kPretrigger, 4, 2);
    drive.Write(kSource, kVirtualInputsCode, 4);
    drive.Write(kLevel, 0x40, 4);
    drive.Write(0x23000B, 0, 1);  // rising edge
    EXPECT_EQ(drive.Write(kControl, 1, 1).Data(), 1u) << "waiting for the trigger";
    drive.Wait(20000);
    EXPECT_EQ(drive.Read(kControl), 1u);
    EXPECT_EQ(drive.Send(0x40, kData).Data(), AbortCode::kDeviceState);
    drive.model->SetInputPin(7, 1);
    drive.Wait(30000);
    EXPECT_EQ(drive.Read(kControl), 0u);
    uint32_t size = 0;
    std::string record = Upload(drive, size);
    ASSERT_EQ(record.size(), 20u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(Little(record, 2 * i, 2), i < 4 ? 0u : 0x40u) << "sample " << i;
    }
}

TEST(Capture, SampleMemoryLimitsTotalAndPretrigger) {
    TestDrive drive(FamilySource());
    const uint32_t codes[6] = {0x60410010, 0x60770010, 0x60780010,
                               0x20130710, 0x60640020, 0x606C0020};
    for (uint32_t slot = 0; slot < 6; ++slot) {
        EXPECT_EQ(drive.Write(0x230001 + slot, codes[slot], 4).command, 0x43);
    }
    EXPECT_EQ(drive.Write(kTotal, 4000, 2).Data(), 500u) << "8000 bytes of 16-byte samples";
    EXPECT_EQ(drive.Write(kPretrigger, 600, 2).Data(), 500u);
    EXPECT_EQ(drive.Write(0x230002, 0, 4).Data(), 0u);
    EXPECT_EQ(drive.Write(kTotal, 4000, 2).Data(), 571u);
}

TEST(Capture, SlotsTakeOnlyNumberObjectsOfTheirWidth) {
    TestDrive drive(FamilySource());
    struct Case {
        uint32_t key;
        uint32_t code;
        bool accepted;
    } cases[] = {
        {kSlot1, kPositionCode, false}, {kSlot5, kStatuswordCode, false},
        {kSlot1, 0x99990010, false},    {kSlot1, 0x10080010, false},
        {kSource, 0x60600008, true},    {kSource, 0x60600010, false},
        {kSlot5, kPositionCode, true},  {kSlot1, 0, true},
    };
    for (const Case& c : cases) {
        SdoReply reply = drive.Write(c.key, c.code, 4);
        EXPECT_EQ(reply.command != 0x80, c.accepted) << std::hex << c.code;
        if (!c.accepted) {
            EXPECT_EQ(reply.Data(), AbortCode::kValueOutOfRange);
        }
    }
    drive.Write(kSource, kVirtualInputsCode, 4);
    drive.Write(kLevel, 0x1000, 4);
    drive.Write(kControl, 1, 1);
    drive.Wait(5000);
    EXPECT_EQ(drive.Write(kControl, 0, 1).Data(), 0u) << "writing 0 stops the capture";
    EXPECT_EQ(drive.Write(kControl, 2, 1).Data(), AbortCode::kValueOutOfRange);
}

}  // namespace
}  // namespace tarvo::sim::test
