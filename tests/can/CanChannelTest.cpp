#include "can/CanChannel.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <utility>

#include "tests/support/TempFolder.h"

namespace tarvo::canbus::test {
namespace {

// A bus that gives the frames put into it, then silence.
struct ScriptedBus : CanBackend {
    explicit ScriptedBus(std::shared_ptr<std::deque<Frame>> frames) : frames(std::move(frames)) {}
    std::string Open(uint32_t, uint32_t) override { return ""; }
    void Close() override {}
    std::string Send(const Frame&) override { return ""; }
    int Receive(Frame& frame, int timeoutMs, std::string&) override {
        // Frames of an earlier exchange are gone before the request goes out.
        if (timeoutMs == 0 || frames->empty()) {
            return 0;
        }
        frame = frames->front();
        frames->pop_front();
        return 1;
    }
    std::string TraceName() const override { return "script0"; }
    bool Probe(std::string&) override { return true; }
    std::shared_ptr<std::deque<Frame>> frames;
};

class ScriptedChannel : public CanChannel {
public:
    explicit ScriptedChannel(const std::string& folder) : CanChannel(folder) {}
    std::shared_ptr<std::deque<Frame>> frames = std::make_shared<std::deque<Frame>>();

protected:
    std::unique_ptr<CanBackend> MakeBackend(const CanSettings&) const override {
        return std::make_unique<ScriptedBus>(frames);
    }
};

Frame Reply(uint32_t id, std::initializer_list<uint8_t> data) {
    Frame frame;
    frame.id = id;
    frame.length = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), frame.data);
    return frame;
}

// Found by fuzzing: a reply of seven data bytes was taken, and the value's last byte was
// whatever the frame's buffer held. Short frames are passed over; the full reply counts.
TEST(CanChannelReplies, FramesShorterThanEightBytesAreNotTheReply) {
    tarvo::test::TempFolder folder;
    ScriptedChannel channel(folder.Path());
    CommSettings settings{};
    settings.nodeId = 6;
    settings.rate = 0x0014;
    settings.replyTimeoutMs = 1000;
    ASSERT_EQ(channel.Open(&settings), 0u);

    CanMessage request{};
    request.id = 0x606;
    request.length = 8;
    const uint8_t read[8] = {0x40, 0x08, 0x10, 0x00, 0, 0, 0, 0};
    std::copy(read, read + 8, request.data);
    *channel.frames = {Reply(0x586, {0x43, 0x08, 0x10, 0x00, 0x00, 0x27, 0x00}),
                       Reply(0x586, {0x43, 0x08, 0x10, 0x00, 0x00, 0x27, 0x00, 0x12})};
    ASSERT_EQ(channel.Transmit(&request), 0u);
    CanMessage reply{};
    ASSERT_EQ(channel.Receive(&reply), 0u);
    EXPECT_EQ(reply.length, 8);
    EXPECT_EQ(reply.data[7], 0x12);

    *channel.frames = {Reply(0x586, {0x43, 0x08, 0x10, 0x00, 0x00, 0x27, 0x00})};
    EXPECT_EQ(channel.Transmit(&request), CanChannel::kNoReply);
    EXPECT_NE(channel.Receive(&reply), 0u);
}

}  // namespace
}  // namespace tarvo::canbus::test
