#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "comm/CommLibrary.h"
#include "comm/DriveMessage.h"
#include "dictionary/DictionarySource.h"
#include "platform/MessageBox.h"
#include "tests/drivesim/SimulatorRun.h"
#include "tests/support/TempFolder.h"

namespace tarvo::canbus::test {
namespace {

std::string SourceText(const std::string& index, const std::string& subIndex) {
    std::vector<SourceEntry> entries;
    std::string error;
    EXPECT_TRUE(DictionarySource::Load(std::string(TARVO_SOURCE_DIR) + "/drivedata/dictionary.json",
                                       entries, error));
    for (const SourceEntry& entry : entries) {
        if (entry.index == index && entry.subIndex == subIndex) {
            return entry.defaultText;
        }
    }
    return "(missing)";
}

// The program's own drive message layer on libCAN.so and the simulated bus.
class CanLink {
public:
    explicit CanLink(const tarvo::test::TempFolder& folder, uint32_t timeoutMs = 500)
        : message(folder.Path(), box, retry) {
        std::filesystem::create_directories(folder.File("data"));
        std::filesystem::copy_file(TARVO_LIBCAN_PATH, folder.File("data/libCAN.so"),
                                   std::filesystem::copy_options::overwrite_existing);
        folder.Write("sys/can.ini", "[can]\nbackend=sim\n");
        message.SetNodeId(1);
        loaded = message.Load(CommLibrary::kCan) == 1;
        CommSettings settings{};
        settings.nodeId = 1;
        settings.rate = 0x001C;
        settings.replyTimeoutMs = timeoutMs;
        opened = loaded && message.Open(&settings) == 0;
    }
    ReplyKind Send(uint32_t address, SdoCommand command, uint32_t data, uint32_t& value,
                   ExchangeResult* result = nullptr) {
        ExchangeResult sent = message.Send(address, command, data);
        if (result != nullptr) {
            *result = sent;
        }
        ReplyKind kind = ReplyKind::kUndecoded;
        message.Decode(kind, value);
        return kind;
    }

    RecordingMessageBox box;
    std::atomic<int32_t> retry{1};
    DriveMessage message;
    bool loaded = false;
    bool opened = false;
};

TEST(DriveMessageOverCan, ValuesAbortsReadBackAndUpload) {
    tarvo::test::TempFolder folder;
    sim::DriveSimOptions options;
    options.folder = folder.Path();
    options.canSim = true;
    sim::test::SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    CanLink link(folder);
    ASSERT_TRUE(link.opened) << (link.box.texts.empty() ? "" : link.box.texts[0]);

    uint32_t value = 0;
    EXPECT_EQ(link.Send(0x604100, SdoCommand::Read, 0, value), ReplyKind::kValue);
    EXPECT_EQ(value, 0x0250u);
    EXPECT_EQ(link.Send(0x201101, SdoCommand::Write16, 450, value), ReplyKind::kValue);
    EXPECT_EQ(value, 450u);
    // A refused write is read back: the caller sees the value the drive holds.
    EXPECT_EQ(link.Send(0x100000, SdoCommand::Write32, 1, value), ReplyKind::kValue);
    EXPECT_EQ(value, 0x20192u);
    EXPECT_EQ(link.Send(0x123400, SdoCommand::Read, 0, value), ReplyKind::kAbort);
    EXPECT_EQ(value, 0x06020000u);

    EXPECT_EQ(link.Send(0x20A002, SdoCommand::Read, 0, value), ReplyKind::kValue);
    std::string text;
    for (size_t index = 0; index < 10; ++index) {
        ASSERT_EQ(link.Send(0x20A002, SegmentedUpload::CommandOf(index), 0, value),
                  ReplyKind::kSegment);
        DriveSegment segment = link.message.GetSegment();
        text.append(reinterpret_cast<const char*>(segment.bytes.data()), segment.count);
        if (segment.last) {
            break;
        }
    }
    EXPECT_EQ(text, SourceText("20A0", "02")) << "a text of two full segments ends";

    char version[256] = {};
    ASSERT_NE(link.message.ReadVersion(version), 0);
    EXPECT_EQ(CommLibrary::VersionCaption(version), "CAN Ver:1.0.0");
}

TEST(DriveMessageOverCan, SilentDriveFailsAfterThreeTransmissions) {
    tarvo::test::TempFolder folder;
    sim::DriveSimOptions options;
    options.folder = folder.Path();
    options.canSim = true;
    options.faults.stopAfter = 1;
    sim::test::SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    CanLink link(folder, 30);
    ASSERT_TRUE(link.opened);
    uint32_t value = 0;
    ExchangeResult result = ExchangeResult::NoInterface;
    EXPECT_EQ(link.Send(0x604100, SdoCommand::Read, 0, value, &result), ReplyKind::kValue);
    EXPECT_EQ(result, ExchangeResult::Answered);
    link.Send(0x604100, SdoCommand::Read, 0, value, &result);
    EXPECT_EQ(result, ExchangeResult::TransmitFailed)
        << "no reply is a failed exchange, never a value";
}

}  // namespace
}  // namespace tarvo::canbus::test
