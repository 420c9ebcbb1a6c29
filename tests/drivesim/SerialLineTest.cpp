#include <gtest/gtest.h>

#include "drivesim/FaultPlan.h"
#include "drivesim/SerialFramer.h"
#include "drivesim/SerialLine.h"

namespace tarvo::sim::test {
namespace {

using Frame = SerialFramer::Frame;

Frame Request(uint8_t node, uint8_t command, uint32_t key, uint32_t data = 0) {
    SdoReply asBytes = SdoReply::Expedited(command, key, data);
    return SerialFramer::Encode(node, asBytes);
}

TEST(SerialFramer, FramesAndChecksumsOfTheProtocol) {
    Frame read = Request(1, 0x40, 0x604100);
    EXPECT_EQ(read, (Frame{0x01, 0x40, 0x41, 0x60, 0x00, 0, 0, 0, 0, 0x1E}));
    Frame write = Request(5, 0x2B, 0x2FFF00, 0x1234);
    EXPECT_EQ(write[9], 0x5C);
    SdoRequest decoded = SerialFramer::Decode(write);
    EXPECT_EQ(decoded.command, 0x2B);
    EXPECT_EQ(decoded.Key(), 0x2FFF00u);
    EXPECT_EQ(decoded.data, 0x1234u);
}

TEST(SerialFramer, FindsFramesBehindGarbageInPiecesAndSkipsOtherNodes) {
    SerialFramer framer(1);
    std::vector<Frame> frames;
    Frame good = Request(1, 0x40, 0x604100);
    Frame foreign = Request(2, 0x40, 0x604100);
    Frame broken = good;
    broken[9] ^= 0xFF;
    std::vector<uint8_t> stream = {0xA5, 0x5A, 0xC3};
    stream.insert(stream.end(), broken.begin(), broken.end());
    stream.insert(stream.end(), foreign.begin(), foreign.end());
    stream.insert(stream.end(), good.begin(), good.end());
    framer.Feed(stream.data(), 7, 0, frames);
    framer.Feed(stream.data() + 7, stream.size() - 7, 100, frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], good);
    EXPECT_EQ(framer.ForeignFrames(), 1u);
    EXPECT_GE(framer.BadFrames(), 13u);
}

TEST(SerialFramer, APauseInsideAFrameDiscardsItsStart) {
    SerialFramer framer(1, 50000);
    std::vector<Frame> frames;
    Frame good = Request(1, 0x40, 0x604100);
    framer.Feed(good.data(), 4, 0, frames);
    framer.Feed(good.data(), 10, 100000, frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], good);
}

TEST(FaultPlan, EveryNthAndStopAndClose) {
    FaultSettings settings;
    settings.dropEvery = 3;
    settings.badChecksumEvery = 2;
    settings.delayEvery = 4;
    settings.delayUs = 7000;
    settings.turnaroundUs = 1000;
    settings.stopAfter = 6;
    settings.closeAfter = 5;
    FaultPlan plan(settings);
    std::vector<FaultPlan::Decision> decisions;
    for (int i = 0; i < 8; ++i) {
        decisions.push_back(plan.Next());
    }
    EXPECT_TRUE(decisions[0].answer);
    EXPECT_FALSE(decisions[2].answer);
    EXPECT_FALSE(decisions[5].answer);
    EXPECT_TRUE(decisions[1].badChecksum);
    EXPECT_FALSE(decisions[2].badChecksum);
    EXPECT_EQ(decisions[0].delayUs, 1000u);
    EXPECT_EQ(decisions[3].delayUs, 8000u);
    EXPECT_TRUE(decisions[4].closeAfter);
    EXPECT_FALSE(decisions[6].answer) << "silent after six exchanges";
    EXPECT_FALSE(decisions[7].answer);
}

TEST(SerialLine, LineRateTurnaroundAndPieces) {
    FaultSettings settings;
    settings.lineBaud = 115200;
    settings.turnaroundUs = 1000;
    SerialLine line(settings);
    Frame request = Request(1, 0x40, 0x604100);
    Frame reply = Request(1, 0x4B, 0x604100, 0x250);
    FaultPlan plan(settings);
    line.Schedule(0, request, &reply, plan.Next());
    // Ten bytes in, the turnaround, ten bytes out at 86.8 us each: the reply is handed over
    // when its last byte is through.
    EXPECT_EQ(line.NextDueUs(), 868 + 1000 + 868);
    std::vector<uint8_t> out;
    line.TakeDue(868 + 1000 + 867, out);
    EXPECT_TRUE(out.empty());
    line.TakeDue(868 + 1000 + 868, out);
    EXPECT_EQ(out, std::vector<uint8_t>(reply.begin(), reply.end()));
    EXPECT_TRUE(line.Idle());
    line.Schedule(3000, request, &reply, plan.Next());
    EXPECT_EQ(line.NextDueUs(), 3000 + 868 + 1000 + 868) << "the line is free again";

    FaultSettings pieces;
    pieces.splitBytes = 3;
    pieces.splitGapUs = 2000;
    SerialLine split(pieces);
    FaultPlan none(pieces);
    split.Schedule(0, request, &reply, none.Next());
    out.clear();
    split.TakeDue(0, out);
    EXPECT_EQ(out.size(), 3u);
    split.TakeDue(5999, out);
    EXPECT_EQ(out.size(), 9u);
    split.TakeDue(6000, out);
    EXPECT_EQ(out.size(), 10u);
}

TEST(SerialLine, EchoStrayBytesAndBadChecksumComeAsAsked) {
    FaultSettings settings;
    settings.echo = true;
    settings.strayEvery = 1;
    settings.strayBytes = 2;
    settings.badChecksumEvery = 1;
    SerialLine line(settings);
    FaultPlan plan(settings);
    Frame request = Request(1, 0x40, 0x604100);
    Frame reply = Request(1, 0x4B, 0x604100, 0x250);
    line.Schedule(0, request, &reply, plan.Next());
    std::vector<uint8_t> out;
    line.TakeDue(0, out);
    ASSERT_EQ(out.size(), 22u);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), out.begin()));
    EXPECT_EQ(out[10], 0xA5);
    EXPECT_EQ(out[11], 0x5A);
    EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 9, out.begin() + 12));
    EXPECT_NE(out[21], reply[9]);

    line.Schedule(10, request, nullptr, plan.Next());
    out.clear();
    line.TakeDue(10, out);
    EXPECT_EQ(out.size(), 10u) << "a dropped reply still has its echo";
}

}  // namespace
}  // namespace tarvo::sim::test
