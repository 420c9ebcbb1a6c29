#include "DriveMessage.h"

#include <gtest/gtest.h>

#include <atomic>

#include "CommTestSupport.h"
#include "MessageBox.h"
#include "PtyPeer.h"

namespace tarvo::test {
namespace {

TEST(DriveFrames, RequestFramesAndChecksums) {
    auto read = DriveMessage::BuildFrame(1, 0x40, 0x604100, 0);
    EXPECT_EQ(Bytes(read.begin(), read.end()),
              (Bytes{0x01, 0x40, 0x41, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E}));
    auto write = DriveMessage::BuildFrame(5, 0x2B, 0x2FFF00, 0x1234);
    EXPECT_EQ(Bytes(write.begin(), write.end()),
              (Bytes{0x05, 0x2B, 0xFF, 0x2F, 0x00, 0x34, 0x12, 0x00, 0x00, 0x5C}));
    // Bits 24-31 of the address are not sent.
    auto high = DriveMessage::BuildFrame(1, 0x40, 0x7F604100, 0);
    EXPECT_EQ(high, read);

    CanMessage can = DriveMessage::BuildCanMessage(1, 0x40, 0x604100, 0);
    EXPECT_EQ(can.id, 0x601u);
    EXPECT_EQ(can.type, 0);
    EXPECT_EQ(can.length, 8);
    EXPECT_EQ(Bytes(can.data, can.data + 8), (Bytes{0x40, 0x41, 0x60, 0x00, 0, 0, 0, 0}));
}

// A drive message layer bound to the real serial library, talking to a peer on a pty.
class SerialDriveMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.ok());
        ASSERT_EQ(message_.Load(2), 1) << "data/libCOM.so missing under " << StageFolder();
        message_.SetNodeId(1);
        CommSettings settings = SettingsFor(peer_.PortName(), 1, 115200, 60);
        ASSERT_EQ(message_.Open(&settings), 0);
    }

    void TearDown() override { peer_.StopServing(); }

    void Answer(std::function<Bytes(const Bytes&)> reply) {
        peer_.Serve([reply](const Bytes& request) {
            Bytes bytes = reply(request);
            return bytes.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{bytes};
        });
    }

    std::pair<ReplyKind, uint32_t> Decoded() {
        ReplyKind kind = ReplyKind::kUndecoded;
        uint32_t value = 0;
        EXPECT_EQ(message_.Decode(kind, value), 1);
        return {kind, value};
    }

    PtyPeer peer_;
    RecordingMessageBox box_;
    std::atomic<int32_t> retry_{1};
    DriveMessage message_{StageFolder(), box_, retry_};
};

TEST_F(SerialDriveMessageTest, ReadAndWriteReplies) {
    Answer([](const Bytes& r) {
        switch (r[1]) {
            case 0x40:
                return ReplyTo(r, 0x4B, 0xAB0237);  // only two bytes are taken
            case 0x2B:
                return ReplyTo(r, 0x60, 0x00FF1234);
            default:
                return ReplyTo(r, 0x60, 0x89ABCDEF);
        }
    });
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x0237u));
    EXPECT_EQ(peer_.Requests().back(), DriveFrame(1, 0x40, 0x6041, 0, 0));

    EXPECT_EQ(message_.Send(0x2FFF00, 0x2B, 0x1234), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x1234u));
    EXPECT_EQ(message_.Send(0x2FFF00, 0x2F, 0x12), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0xEFu));
    EXPECT_EQ(message_.Send(0x2FFF00, 0x23, 0x12), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x89ABCDEFu));
}

TEST_F(SerialDriveMessageTest, AbortAndUndecodedReplies) {
    std::atomic<uint8_t> replyCommand{0x80};
    Answer([&](const Bytes& r) { return ReplyTo(r, replyCommand.load(), 0x06020000); });
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kAbort, 0x06020000u));
    replyCommand = 0x47;
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 0);
    EXPECT_EQ(Decoded().first, ReplyKind::kUndecoded);
}

TEST_F(SerialDriveMessageTest, RefusedWriteTurnsIntoARead) {
    Answer([](const Bytes& r) {
        return r[1] == 0x40 ? ReplyTo(r, 0x4B, 0x0500) : ReplyTo(r, 0x80, 0x06090030);
    });
    EXPECT_EQ(message_.Send(0x607A00, 0x2B, 0x1234), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x0500u));
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], DriveFrame(1, 0x2B, 0x607A, 0, 0x1234));
    // The read keeps the address and data bytes of the write.
    EXPECT_EQ(requests[1], DriveFrame(1, 0x40, 0x607A, 0, 0x1234));

    // When the read is refused as well, the caller sees its abort.
    Answer([](const Bytes& r) { return ReplyTo(r, 0x80, 0x06010002); });
    EXPECT_EQ(message_.Send(0x607A00, 0x23, 1), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kAbort, 0x06010002u));
}

TEST_F(SerialDriveMessageTest, FourBadChecksumsGiveResultOne) {
    Answer([](const Bytes& r) {
        Bytes reply = ReplyTo(r, 0x43, 1);
        reply[9] ^= 0x01;
        return reply;
    });
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 1);
    EXPECT_EQ(peer_.RequestCount(), 4u);
}

TEST_F(SerialDriveMessageTest, BadChecksumThenGoodReplySucceeds) {
    Answer([count = 0](const Bytes& r) mutable {
        Bytes reply = ReplyTo(r, 0x43, 77);
        if (++count < 3) {
            reply[6] ^= 0x10;
        }
        return reply;
    });
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 77u));
    EXPECT_EQ(peer_.RequestCount(), 3u);
}

TEST_F(SerialDriveMessageTest, SilenceGivesResultTwoAfterFourTransmissions) {
    Answer([](const Bytes&) { return Bytes{}; });
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 2);
    EXPECT_EQ(peer_.RequestCount(), 4u);
}

TEST_F(SerialDriveMessageTest, RetriesOffEndAfterOneTransmissionWithoutAStaleReply) {
    std::atomic<bool> silent{false};
    Answer([&](const Bytes& r) { return silent.load() ? Bytes{} : ReplyTo(r, 0x43, 0x1111); });
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 0);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x1111u));

    silent = true;
    retry_ = 0;
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 0);
    EXPECT_EQ(peer_.RequestCount(), 2u);
    // The earlier reply must not come back as the answer to the read that got none.
    EXPECT_EQ(Decoded().first, ReplyKind::kUndecoded);
}

TEST_F(SerialDriveMessageTest, SegmentsReportCountAndLastSegment) {
    std::atomic<uint8_t> replyCommand{0x00};
    Answer([&](const Bytes& r) {
        Bytes reply = {r[0], replyCommand.load(), 'a', 'b', 'c', 'd', 'e', 'f', 'g', 0};
        uint8_t sum = 0;
        for (int i = 0; i < 9; ++i) {
            sum = static_cast<uint8_t>(sum + reply[i]);
        }
        reply[9] = static_cast<uint8_t>(-sum);
        return reply;
    });
    ASSERT_EQ(message_.Send(0x100800, 0x60, 0), 0);
    EXPECT_EQ(Decoded().first, ReplyKind::kSegment);
    DriveSegment segment = message_.GetSegment();
    EXPECT_EQ(segment.count, 7);
    EXPECT_FALSE(segment.last);
    EXPECT_EQ(std::string(segment.bytes.begin(), segment.bytes.end()), "abcdefg");

    replyCommand = 0x0B;  // n = 5, last segment
    ASSERT_EQ(message_.Send(0x100800, 0x70, 0), 0);
    EXPECT_EQ(Decoded().first, ReplyKind::kSegment);
    segment = message_.GetSegment();
    EXPECT_EQ(segment.count, 2);
    EXPECT_TRUE(segment.last);

    // A text whose length is a multiple of seven ends with a full last segment.
    replyCommand = 0x11;
    ASSERT_EQ(message_.Send(0x100800, 0x60, 0), 0);
    segment = message_.GetSegment();
    EXPECT_EQ(segment.count, 7);
    EXPECT_TRUE(segment.last);
}

TEST_F(SerialDriveMessageTest, PulledCableFailsQuickly) {
    peer_.CloseMaster();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(message_.Send(0x604100, 0x40, 0), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(DriveMessageModes, OfflineAndMissingObjects) {
    RecordingMessageBox box;
    std::atomic<int32_t> retry{1};
    DriveMessage message(StageFolder(), box, retry);
    ReplyKind kind = ReplyKind::kValue;
    uint32_t value = 0;
    EXPECT_EQ(message.Send(0x604100, 0x40, 0), -1);
    EXPECT_EQ(message.Decode(kind, value), 0);
    EXPECT_EQ(message.Load(1), 1);
    EXPECT_EQ(message.Send(0x604100, 0x40, 0), -1);
    EXPECT_TRUE(box.texts.empty());
}

}  // namespace
}  // namespace tarvo::test
