#include <gtest/gtest.h>

#include "protocol/DriveProtocol.h"
#include "tests/drivesim/TestDrive.h"

namespace tarvo::sim::test {
namespace {

std::vector<SourceEntry> ProtocolSource() {
    return {
        Entry("1000", "00", "UNSIGNED32", "", 0x20192, 0x20192, 0x20192),
        Entry("1008", "00", "VISIBLE STRING", "", 0, 0, 0, "TSD2405-CAN"),
        Entry("20A0", "02", "VISIBLE STRING", "", 0, 0, 0, "TS24050B000317"),
        Entry("20A0", "0A", "VISIBLE STRING", "", 0, 0, 0, ""),
        Entry("2011", "01", "UNSIGNED16", "WS", 300, 0, 30000),
        Entry("2030", "02", "INTEGER16", "WS", 0, -2000, 2000),
        Entry("6060", "00", "INTEGER8", "WSM", 1, -7, 10),
        Entry("607A", "00", "INTEGER32", "WM", 0, -2147483648LL, 2147483647LL),
        Entry("6081", "00", "UNSIGNED32", "WSM", 5120, 0, 409600),
        Entry("2300", "10", "DOMAIN", "", 0, 0, 0),
        Entry("1234", "00", "REAL64", "W", 0, 0, 0),
    };
}

struct Segment {
    uint8_t command;
    std::string bytes;
};

Segment Take(const SdoReply& reply) {
    int count = 7 - ((reply.command >> 1) & 7);
    return {reply.command, std::string(reinterpret_cast<const char*>(reply.bytes), count)};
}

TEST(SdoServer, ExpeditedReadsAnswerWithTheEntrysWidthAndEchoTheAddress) {
    TestDrive drive(ProtocolSource());
    SdoReply reply = drive.Send(0x40, 0x201101);
    EXPECT_EQ(reply.command, 0x4B);
    EXPECT_EQ(reply.bytes[0], 0x11);  // index low
    EXPECT_EQ(reply.bytes[1], 0x20);  // index high
    EXPECT_EQ(reply.bytes[2], 0x01);  // subindex
    EXPECT_EQ(reply.Data(), 300u);
    EXPECT_EQ(drive.Send(0x40, 0x606000).command, 0x4F);
    reply = drive.Send(0x40, 0x100000);
    EXPECT_EQ(reply.command, 0x43);
    EXPECT_EQ(reply.Data(), 0x20192u);
}

TEST(SdoServer, WriteReplyCarriesTheValueTheDriveNowHolds) {
    TestDrive drive(ProtocolSource());
    // A signed 16-bit value sent sign-extended in four bytes is held as its two bytes.
    SdoReply reply = drive.Write(0x203002, 0xFFFFFFFEu, 2);
    EXPECT_EQ(reply.command, 0x4B);
    EXPECT_EQ(reply.Data(), 0xFFFEu);
    EXPECT_EQ(drive.Read(0x203002), 0xFFFEu);
    EXPECT_EQ(drive.Write(0x607A00, 0x80000000u, 4).Data(), 0x80000000u);
    EXPECT_EQ(drive.Write(0x606000, 0xFA, 1).Data(), 0xFAu);  // -6
}

TEST(SdoServer, RefusedRequestsAreAbortedWithTheirCodes) {
    TestDrive drive(ProtocolSource());
    struct Case {
        uint8_t command;
        uint32_t key;
        uint32_t data;
        uint32_t code;
    } cases[] = {
        {0x40, 0x123400, 0, AbortCode::kNoSuchObject},  // a type the drive cannot hold
        {0x40, 0x201102, 0, AbortCode::kNoSuchObject},
        {0x2B, 0x201102, 1, AbortCode::kNoSuchObject},
        {0x23, 0x100000, 1, AbortCode::kWriteReadOnly},
        {0x23, 0x100800, 1, AbortCode::kWriteReadOnly},
        {0x23, 0x201101, 1, AbortCode::kWrongLength},
        {0x2F, 0x201101, 1, AbortCode::kWrongLength},
        {0x2B, 0x201101, 30001, AbortCode::kValueOutOfRange},
        {0x2B, 0x203002, static_cast<uint32_t>(-2001), AbortCode::kValueOutOfRange},
        {0x2F, 0x606000, 11, AbortCode::kValueOutOfRange},
        {0x21, 0x201101, 0, AbortCode::kUnknownCommand},
        {0xA0, 0x201101, 0, AbortCode::kUnknownCommand},
    };
    for (const Case& c : cases) {
        SdoReply reply = drive.Send(c.command, c.key, c.data);
        EXPECT_EQ(reply.command, 0x80) << std::hex << c.key;
        EXPECT_EQ(reply.Data(), c.code) << std::hex << c.key;
        EXPECT_EQ(reply.bytes[2], c.key & 0xFF);
    }
    EXPECT_EQ(drive.Read(0x201101), 300u) << "a refused write leaves the value";
}

TEST(SdoServer, TextUploadEndsWithTheLastSegmentBit) {
    TestDrive drive(ProtocolSource());
    SdoReply start = drive.Send(0x40, 0x100800);
    EXPECT_EQ(start.command, 0x41);
    EXPECT_EQ(start.Data(), 11u);
    Segment first = Take(drive.Send(0x60, 0x100800));
    EXPECT_EQ(first.command, 0x00);  // toggle 0, all seven bytes, more to come
    EXPECT_EQ(first.bytes, "TSD2405");
    Segment last = Take(drive.Send(0x70, 0x100800));
    EXPECT_EQ(last.command, 0x10 | 3 << 1 | 1);
    EXPECT_EQ(last.bytes, "-CAN");
    SdoReply after = drive.Send(0x60, 0x100800);
    EXPECT_EQ(after.command, 0x80);
    EXPECT_EQ(after.Data(), AbortCode::kUnknownCommand);
}

TEST(SdoServer, TextOfAMultipleOfSevenEndsOnAFullSegment) {
    TestDrive drive(ProtocolSource());
    EXPECT_EQ(drive.Send(0x40, 0x20A002).Data(), 14u);
    EXPECT_EQ(Take(drive.Send(0x60, 0x20A002)).command, 0x00);
    Segment last = Take(drive.Send(0x70, 0x20A002));
    EXPECT_EQ(last.command, 0x11);  // seven bytes and the last-segment bit
    EXPECT_EQ(last.bytes, "B000317");
    EXPECT_EQ(drive.Send(0x40, 0x20A00A).Data(), 0u);
    Segment empty = Take(drive.Send(0x60, 0x20A00A));
    EXPECT_EQ(empty.command, 7 << 1 | 1);
    EXPECT_TRUE(empty.bytes.empty());
}

TEST(SdoServer, WrongToggleAbortsTheUpload) {
    TestDrive drive(ProtocolSource());
    drive.Send(0x40, 0x20A002);
    SdoReply reply = drive.Send(0x70, 0x20A002);
    EXPECT_EQ(reply.command, 0x80);
    EXPECT_EQ(reply.Data(), AbortCode::kToggleNotAlternated);
    EXPECT_EQ(drive.Send(0x60, 0x20A002).Data(), AbortCode::kUnknownCommand) << "upload ended";

    drive.Send(0x40, 0x20A002);
    drive.Send(0x60, 0x20A002);
    reply = drive.Send(0x60, 0x20A002);  // the same toggle twice
    EXPECT_EQ(reply.Data(), AbortCode::kToggleNotAlternated);
}

TEST(SdoServer, UploadSurvivesExpeditedRequestsAndANewReadRestartsIt) {
    TestDrive drive(ProtocolSource());
    drive.Send(0x40, 0x20A002);
    EXPECT_EQ(Take(drive.Send(0x60, 0x20A002)).bytes, "TS24050");
    EXPECT_EQ(drive.Read(0x201101), 300u);  // a poll between two segments
    EXPECT_EQ(Take(drive.Send(0x70, 0x20A002)).bytes, "B000317");
    drive.Send(0x40, 0x100800);
    drive.Send(0x60, 0x100800);
    drive.Send(0x40, 0x20A002);  // a new upload replaces the unfinished one
    EXPECT_EQ(Take(drive.Send(0x60, 0x20A002)).bytes, "TS24050");
}

}  // namespace
}  // namespace tarvo::sim::test
