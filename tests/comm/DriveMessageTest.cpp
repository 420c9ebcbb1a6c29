#include "comm/DriveMessage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/MessageBox.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/serialport/PtyPeer.h"

namespace tarvo::test {
namespace {

TEST(DriveFrames, RequestFramesAndChecksums) {
    auto read = DriveMessage::BuildFrame(1, SdoCommand::Read, 0x604100, 0);
    EXPECT_EQ(Bytes(read.begin(), read.end()),
              (Bytes{0x01, 0x40, 0x41, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E}));
    auto write = DriveMessage::BuildFrame(5, SdoCommand::Write16, 0x2FFF00, 0x1234);
    EXPECT_EQ(Bytes(write.begin(), write.end()),
              (Bytes{0x05, 0x2B, 0xFF, 0x2F, 0x00, 0x34, 0x12, 0x00, 0x00, 0x5C}));
    // Bits 24-31 of the address are not sent.
    auto high = DriveMessage::BuildFrame(1, SdoCommand::Read, 0x7F604100, 0);
    EXPECT_EQ(high, read);

    CanMessage can = DriveMessage::BuildCanMessage(1, SdoCommand::Read, 0x604100, 0);
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
        // A peer thread that a loaded machine wakes late must still answer within the timeout,
        // or the tests below count one transmission too many.
        CommSettings settings = SettingsFor(peer_.PortName(), 1, 115200, 500);
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
        uint32_t written = r[5] | r[6] << 8 | r[7] << 16 | uint32_t{r[8]} << 24;
        switch (r[1]) {
            case 0x40:
                return ReplyTo(r, 0x4B, 0xAB0237);  // only two bytes are taken
            case 0x2B:
                return ReplyTo(r, 0x60, 0x00FF0000 | written);
            default:
                return ReplyTo(r, 0x60, 0x89ABCD00 | written);
        }
    });
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x0237u));
    EXPECT_EQ(peer_.Requests().back(), DriveFrame(1, 0x40, 0x6041, 0, 0));

    EXPECT_EQ(message_.Send(0x2FFF00, SdoCommand::Write16, 0x1234), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x1234u));
    EXPECT_EQ(message_.Send(0x2FFF00, SdoCommand::Write8, 0x12), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x12u));
    EXPECT_EQ(peer_.RequestCount(), 3u);
    // An acknowledgement without the value written may be a late reply to a read: the
    // entry is read at once, and the caller gets what the drive holds.
    EXPECT_EQ(message_.Send(0x2FFF00, SdoCommand::Write32, 0x12), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x0237u));
    EXPECT_EQ(peer_.Requests().back(), DriveFrame(1, 0x40, 0x2FFF, 0, 0x12));
}

TEST_F(SerialDriveMessageTest, AbortAndUndecodedReplies) {
    std::atomic<uint8_t> replyCommand{0x80};
    Answer([&](const Bytes& r) { return ReplyTo(r, replyCommand.load(), 0x06020000); });
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kAbort, 0x06020000u));
    replyCommand = 0x47;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(Decoded().first, ReplyKind::kUndecoded);
}

TEST_F(SerialDriveMessageTest, RefusedWriteTurnsIntoARead) {
    Answer([](const Bytes& r) {
        return r[1] == 0x40 ? ReplyTo(r, 0x4B, 0x0500) : ReplyTo(r, 0x80, 0x06090030);
    });
    EXPECT_EQ(message_.Send(0x607A00, SdoCommand::Write16, 0x1234), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x0500u));
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], DriveFrame(1, 0x2B, 0x607A, 0, 0x1234));
    // The read keeps the address and data bytes of the write.
    EXPECT_EQ(requests[1], DriveFrame(1, 0x40, 0x607A, 0, 0x1234));

    // When the read is refused as well, the caller sees its abort.
    Answer([](const Bytes& r) { return ReplyTo(r, 0x80, 0x06010002); });
    EXPECT_EQ(message_.Send(0x607A00, SdoCommand::Write32, 1), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kAbort, 0x06010002u));
}

TEST_F(SerialDriveMessageTest, FourBadChecksumsAreFourTransmissionsWithoutAReply) {
    Answer([](const Bytes& r) {
        Bytes reply = ReplyTo(r, 0x43, 1);
        reply[9] ^= 0x01;
        return reply;
    });
    // The serial library passes over a frame whose checksum does not add up and waits on.
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
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
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 77u));
    EXPECT_EQ(peer_.RequestCount(), 3u);
}

TEST_F(SerialDriveMessageTest, SilenceGivesResultTwoAfterFourTransmissions) {
    Answer([](const Bytes&) { return Bytes{}; });
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    EXPECT_EQ(peer_.RequestCount(), 4u);
}

TEST_F(SerialDriveMessageTest, RetriesOffEndAfterOneTransmissionWithoutAStaleReply) {
    std::atomic<bool> silent{false};
    Answer([&](const Bytes& r) { return silent.load() ? Bytes{} : ReplyTo(r, 0x43, 0x1111); });
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kValue, 0x1111u));

    silent = true;
    retry_ = 0;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(peer_.RequestCount(), 2u);
    // The earlier reply must not come back as the answer to the read that got none.
    EXPECT_EQ(Decoded().first, ReplyKind::kUndecoded);
}

// A drive with one text entry at 1008:00 that answers an upload as the simulated drive does;
// the replies to the exchanges named in `lost` are not sent (the drive took the request).
class TextDrive {
public:
    explicit TextDrive(std::string text) : text_(std::move(text)) {}

    Bytes Answer(const Bytes& r) {
        std::lock_guard lock(mutex_);
        Bytes reply = Reply(r);
        return lost_.count(++exchanges) != 0 ? Bytes{} : reply;
    }
    void SetText(std::string text) {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }
    // Exchanges counted from the next one (1) whose replies are lost.
    void Lose(std::set<int> next) {
        std::lock_guard lock(mutex_);
        lost_.clear();
        for (int n : next) {
            lost_.insert(exchanges + n);
        }
    }

    std::atomic<int> exchanges{0};

private:
    Bytes Reply(const Bytes& r) {
        if (r[1] == 0x40) {
            running_ = true;
            offset_ = 0;
            toggle_ = 0;
            return ReplyTo(r, 0x41, static_cast<uint32_t>(text_.size()));
        }
        uint8_t toggle = (r[1] & 0x10) != 0 ? 1 : 0;
        if (!running_ || toggle != toggle_) {
            running_ = false;
            return ReplyTo(r, 0x80, 0x05030000);
        }
        size_t count = std::min<size_t>(7, text_.size() - offset_);
        bool last = offset_ + count == text_.size();
        Bytes reply = DriveFrame(r[0], 0, 0, 0, 0);
        reply[1] = static_cast<uint8_t>(toggle << 4 | (7 - count) << 1 | (last ? 1 : 0));
        std::memcpy(&reply[2], text_.data() + offset_, count);
        reply[9] = 0;
        uint8_t sum = 0;
        for (int i = 0; i < 9; ++i) {
            sum = static_cast<uint8_t>(sum + reply[i]);
        }
        reply[9] = static_cast<uint8_t>(-sum);
        offset_ += count;
        toggle_ ^= 1;
        running_ = !last;
        return reply;
    }

    std::mutex mutex_;
    std::set<int> lost_;
    std::string text_;
    bool running_ = false;
    size_t offset_ = 0;
    uint8_t toggle_ = 0;
};

class SerialUploadTest : public SerialDriveMessageTest {
protected:
    // Initiate and segments as a caller drives them; the text, or why it stopped.
    std::string Upload(uint32_t address, std::string& failure) {
        if (message_.Send(address, SdoCommand::Read, 0) != ExchangeResult::Answered ||
            Decoded().first != ReplyKind::kValue) {
            failure = "initiate";
            return {};
        }
        std::string text;
        for (size_t index = 0;; ++index) {
            ExchangeResult result = message_.Send(address, SegmentedUpload::CommandOf(index), 0);
            if (result != ExchangeResult::Answered) {
                failure = "result " + std::to_string(static_cast<int>(result));
                return text;
            }
            auto [kind, value] = Decoded();
            if (kind != ReplyKind::kSegment) {
                failure = "kind " + std::to_string(static_cast<int>(kind));
                return text;
            }
            DriveSegment segment = message_.GetSegment();
            text.append(segment.bytes.begin(), segment.bytes.begin() + segment.count);
            if (segment.last || segment.count < 7) {
                return text;
            }
        }
    }
};

TEST_F(SerialUploadTest, ALostSegmentReplyRunsTheUploadAgain) {
    TextDrive drive("TSD2405 drive, RS232");  // 20 bytes: 7 + 7 + 6
    Answer([&](const Bytes& r) { return drive.Answer(r); });
    std::string failure;
    EXPECT_EQ(Upload(0x100800, failure), "TSD2405 drive, RS232") << failure;
    EXPECT_EQ(peer_.RequestCount(), 4u);

    // The reply to the second segment request is lost: initiate, first segment again and
    // then the second, each checked.
    drive.Lose({3});
    EXPECT_EQ(Upload(0x100800, failure), "TSD2405 drive, RS232") << failure;
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size(), 11u);
    std::vector<uint8_t> commands;
    for (size_t i = 4; i < requests.size(); ++i) {
        commands.push_back(requests[i][1]);
    }
    EXPECT_EQ(commands, (std::vector<uint8_t>{0x40, 0x60, 0x70, 0x40, 0x60, 0x70, 0x60}));

    // Lost every time: after two new starts the caller sees a failure, never a short text.
    drive.Lose({3, 6, 9});
    failure.clear();
    EXPECT_EQ(Upload(0x100800, failure), "TSD2405");
    EXPECT_EQ(failure, "result 2");
    EXPECT_EQ(message_.FailureReason(),
              "the upload of 1008:00 was given up after it was started over 2 times: the "
              "drive's segment replies came late or not at all");
    ASSERT_EQ(message_.Send(0x100800, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(message_.FailureReason(), "");

    // The entry changed between the first run and the new start: a failure as well.
    const int first = drive.exchanges;
    drive.Lose({3});
    Answer([&](const Bytes& r) {
        Bytes reply = drive.Answer(r);
        if (drive.exchanges == first + 3) {
            drive.SetText("tsd2405 drive, rs232");
        }
        return reply;
    });
    failure.clear();
    EXPECT_EQ(Upload(0x100800, failure), "TSD2405");
    EXPECT_EQ(failure, "result 2");
    EXPECT_NE(message_.FailureReason().find("answered the new start differently or not at all"),
              std::string::npos);
    peer_.StopServing();  // the peer's answers use `drive`, which goes first
}

TEST_F(SerialUploadTest, SegmentRequestsWithoutAnUploadOfTheirEntry) {
    // A read answered with a value: the segment request gets its bytes without traffic.
    Answer([](const Bytes& r) { return ReplyTo(r, 0x43, 1000); });
    std::string failure;
    EXPECT_EQ(Upload(0x608100, failure), std::string("\xE8\x03\0\0", 4)) << failure;
    EXPECT_EQ(peer_.RequestCount(), 1u);

    // No upload known: the drive's refusal is passed on, a segment it sends is not taken.
    Answer([](const Bytes& r) { return ReplyTo(r, 0x80, 0x05040001); });
    EXPECT_EQ(message_.Send(0x100800, SdoCommand::SegmentToggleSet, 0), ExchangeResult::Answered);
    EXPECT_EQ(Decoded(), std::make_pair(ReplyKind::kAbort, 0x05040001u));
    TextDrive drive("another entry's text");
    Answer([&](const Bytes& r) { return drive.Answer(r); });
    EXPECT_EQ(message_.Send(0x100800, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_NE(message_.Send(0x100A00, SdoCommand::SegmentToggleClear, 0), ExchangeResult::Answered);
    peer_.StopServing();
}

TEST_F(SerialDriveMessageTest, PulledCableFailsQuickly) {
    peer_.CloseMaster();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // no hang
}

TEST(DriveMessageModes, OfflineAndMissingObjects) {
    RecordingMessageBox box;
    std::atomic<int32_t> retry{1};
    DriveMessage message(StageFolder(), box, retry);
    ReplyKind kind = ReplyKind::kValue;
    uint32_t value = 0;
    EXPECT_EQ(message.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::NoInterface);
    EXPECT_EQ(message.Decode(kind, value), 0);
    EXPECT_EQ(message.Load(1), 1);
    EXPECT_EQ(message.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::NoInterface);
    EXPECT_TRUE(box.texts.empty());
}

}  // namespace
}  // namespace tarvo::test
