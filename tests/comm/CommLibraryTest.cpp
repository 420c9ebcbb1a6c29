#include "comm/CommLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "comm/DriveMessage.h"
#include "platform/MessageBox.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/serialport/PtyPeer.h"

#ifndef FAKE_CAN_LIBRARY
#error "FAKE_CAN_LIBRARY must name the stand-in CAN library"
#endif

namespace tarvo::test {
namespace {

TEST(CommLibraryLoad, OfflineLoadsNothing) {
    RecordingMessageBox box;
    CommLibrary library(StageFolder(), box);
    EXPECT_EQ(library.Load(6), 1);
    CommSettings settings = SettingsFor("ttyS0", 1, 9600, 500);
    EXPECT_EQ(library.Open(&settings), -1);
    EXPECT_EQ(library.Load(1), 1);
    EXPECT_EQ(library.Open(&settings), -1);
    EXPECT_EQ(library.Open(nullptr), -1);
    EXPECT_TRUE(box.texts.empty());
}

TEST(CommLibraryLoad, MissingLibraryIsReportedAtTheSerialOpen) {
    LibraryFolder folder;
    RecordingMessageBox box;
    CommLibrary library(folder.Path(), box);
    EXPECT_EQ(library.Load(2), 0);
    EXPECT_TRUE(box.texts.empty());
    CommSettings settings = SettingsFor("ttyS0", 1, 9600, 500);
    EXPECT_EQ(library.Open(&settings), -1);
    EXPECT_EQ(box.texts, std::vector<std::string>{"Load comm DLL failure"});

    // CAN: nothing shown, and nothing is called without an object.
    EXPECT_EQ(library.Load(5), 0);
    uint8_t frame[16] = {};
    EXPECT_EQ(library.Transact(frame, 16), -1);
    EXPECT_EQ(library.Open(&settings), -1);
    char version[256] = {};
    EXPECT_EQ(library.ReadVersion(version), 0);
    EXPECT_EQ(box.texts.size(), 1u);
}

TEST(CommLibraryLoad, FactoryFailuresAreShown) {
    LibraryFolder folder;
    folder.Put(NO_FACTORY_LIBRARY, "libCOM.so");
    folder.Put(NO_FACTORY_LIBRARY, "libCAN.so");
    RecordingMessageBox box;
    CommLibrary library(folder.Path(), box);
    EXPECT_EQ(library.Load(2), 0);
    EXPECT_EQ(library.Load(5), 0);
    EXPECT_EQ(box.texts, (std::vector<std::string>{"get Comm interface failure",
                                                   "get CAN interface failure"}));

    LibraryFolder nulls;
    nulls.Put(NULL_FACTORY_LIBRARY, "libCOM.so");
    nulls.Put(NULL_FACTORY_LIBRARY, "libCAN.so");
    RecordingMessageBox nullBox;
    CommLibrary nullLibrary(nulls.Path(), nullBox);
    EXPECT_EQ(nullLibrary.Load(2), 0);
    CommSettings settings = SettingsFor("ttyS0", 1, 9600, 500);
    EXPECT_EQ(nullLibrary.Open(&settings), -1);
    EXPECT_EQ(nullLibrary.Load(5), 0);
    EXPECT_EQ(nullBox.texts, (std::vector<std::string>{"Create comm instance failure",
                                                       "Create comm instance failure",
                                                       "Create CAN instance failure"}));
}

TEST(CommLibraryLoad, SecondSerialLoadReleasesTheFirstObject) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    RecordingMessageBox box;
    CommLibrary library(StageFolder(), box);
    ASSERT_EQ(library.Load(2), 1);
    CommSettings settings = SettingsFor(peer.PortName(), 1, 115200, 100);
    ASSERT_EQ(library.Open(&settings), 0);
    EXPECT_EQ(std::memcmp(&library.keptSettings(), &settings, sizeof settings), 0);
    // The first object still holds the port exclusively until it is released.
    ASSERT_EQ(library.Load(2), 1);
    EXPECT_EQ(library.Open(&settings), 0);
}

TEST(CommLibraryCan, ForwardsToTheCanObject) {
    LibraryFolder folder;
    folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
    RecordingMessageBox box;
    FakeCanState* state = nullptr;
    {
        CommLibrary library(folder.Path(), box);
        ASSERT_EQ(library.Load(5), 1);
        state = folder.CanState();
        ASSERT_NE(state, nullptr);
        CommSettings settings = SettingsFor("", 3, 0x011C, 500);
        EXPECT_EQ(library.Open(&settings), 0);
        EXPECT_EQ(state->lastSettings.nodeId, 3u);
        EXPECT_EQ(state->lastSettings.rate, 0x011Cu);

        char version[256] = {};
        EXPECT_NE(library.ReadVersion(version), 0);
        EXPECT_EQ(CommLibrary::VersionCaption(version), "CAN Ver:4.6.2");

        // A load while the connection is open keeps the open object; once it is closed, a
        // load replaces it and the first is released.
        EXPECT_EQ(library.openMode(), CommLibrary::kCan);
        ASSERT_EQ(library.Load(5), 1);
        EXPECT_EQ(state->objectsCreated, 1);
        library.Close();
        EXPECT_EQ(library.openMode(), CommLibrary::kNone);
        ASSERT_EQ(library.Load(5), 1);
        EXPECT_EQ(state->objectsCreated, 2);
        EXPECT_EQ(state->releases, 1);
    }
    // The binding ends the object it holds: close, then release.
    EXPECT_EQ(state->closes, 2);
    EXPECT_EQ(state->releases, 2);
    EXPECT_TRUE(box.texts.empty());
}

TEST(CommLibraryCan, VersionCaption) {
    EXPECT_EQ(CommLibrary::VersionCaption("driver: 1.2 build:77"), "CAN Ver:77");
    EXPECT_EQ(CommLibrary::VersionCaption("no version here"), "CAN Ver");
    EXPECT_EQ(CommLibrary::VersionCaption(nullptr), "CAN Ver");
}

class CanDriveMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Put(FAKE_CAN_LIBRARY, "libCAN.so");
        ASSERT_EQ(message_.Load(5), 1);
        state_ = folder_.CanState();
        ASSERT_NE(state_, nullptr);
        message_.SetNodeId(1);
        state_->reply.id = 0x581;
        state_->reply.length = 8;
        state_->reply.data[0] = 0x43;
        state_->reply.data[4] = 0x78;
        state_->reply.data[5] = 0x56;
    }

    LibraryFolder folder_;
    RecordingMessageBox box_;
    std::atomic<int32_t> retry_{1};
    DriveMessage message_{folder_.Path(), box_, retry_};
    FakeCanState* state_ = nullptr;
};

TEST_F(CanDriveMessageTest, ReadGoesOutAsACanFrame) {
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(state_->lastRequest.id, 0x601u);
    EXPECT_EQ(state_->lastRequest.length, 8);
    EXPECT_EQ(Bytes(state_->lastRequest.data, state_->lastRequest.data + 8),
              (Bytes{0x40, 0x41, 0x60, 0x00, 0, 0, 0, 0}));
    ReplyKind kind = ReplyKind::kUndecoded;
    uint32_t value = 0;
    EXPECT_EQ(message_.Decode(kind, value), 1);
    EXPECT_EQ(kind, ReplyKind::kValue);
    EXPECT_EQ(value, 0x5678u);
}

TEST_F(CanDriveMessageTest, FailedTransmissionsAreRepeatedThreeTimesAtMost) {
    state_->transmitResult = 1;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    EXPECT_EQ(state_->transmits, 3);

    retry_ = 0;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    EXPECT_EQ(state_->transmits, 4);
}

TEST_F(CanDriveMessageTest, MissingReplyCountsAsAFailedTransmission) {
    state_->receiveResult = 1;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    EXPECT_EQ(state_->transmits, 3);
    retry_ = 0;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::Answered);
    ReplyKind kind = ReplyKind::kValue;
    uint32_t value = 0;
    message_.Decode(kind, value);
    EXPECT_EQ(kind, ReplyKind::kUndecoded);
}

TEST_F(CanDriveMessageTest, SegmentBytesFollowTheCommandByte) {
    state_->reply.data[0] = 0x41;  // a segmented upload of two bytes
    std::memcpy(state_->reply.data + 4, "\x02\0\0\0", 4);
    ASSERT_EQ(message_.Send(0x100800, SdoCommand::Read, 0), ExchangeResult::Answered);
    state_->reply.data[0] = 0x0B;
    std::memcpy(state_->reply.data + 4, "WXYZ", 4);
    ASSERT_EQ(message_.Send(0x100800, SdoCommand::SegmentToggleClear, 0), ExchangeResult::Answered);
    DriveSegment segment = message_.GetSegment();
    EXPECT_EQ(segment.count, 2);
    EXPECT_TRUE(segment.last);
    EXPECT_EQ(segment.bytes[0], 0x08);  // data byte 1: index low, copied by the stand-in
    EXPECT_EQ(segment.bytes[3], 'W');
}

TEST_F(CanDriveMessageTest, RepliesOfAnotherNodeOrEntryAreNotTaken) {
    state_->reply.id = 0x582;
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    state_->reply.id = 0x581;
    state_->reply.data[0] = 0x60;  // a write's acknowledgement cannot answer a read
    EXPECT_EQ(message_.Send(0x604100, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    EXPECT_EQ(state_->transmits, 6);
}

// Found by fuzzing: a reply of seven data bytes gave a value whose last byte the drive
// never sent.
TEST_F(CanDriveMessageTest, RepliesShorterThanEightBytesAreNotTaken) {
    state_->reply.length = 7;
    const uint8_t shortReply[8] = {0x43, 0x08, 0x10, 0x00, 0x00, 0x27, 0x00, 0xEE};
    std::memcpy(state_->reply.data, shortReply, sizeof shortReply);
    EXPECT_EQ(message_.Send(0x100800, SdoCommand::Read, 0), ExchangeResult::TransmitFailed);
    retry_ = 0;
    EXPECT_EQ(message_.Send(0x100800, SdoCommand::Read, 0), ExchangeResult::Answered);
    ReplyKind kind = ReplyKind::kValue;
    uint32_t value = 0;
    message_.Decode(kind, value);
    EXPECT_EQ(kind, ReplyKind::kUndecoded);
}

}  // namespace
}  // namespace tarvo::test
