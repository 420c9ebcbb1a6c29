#include "can/CanChannel.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/TempFolder.h"

namespace tarvo::canbus::test {
namespace {

// A bus that gives the frames put into it, then silence.
struct ScriptedBus : CanBackend {
    explicit ScriptedBus(std::shared_ptr<std::deque<Frame>> frames,
                         std::shared_ptr<std::vector<Frame>> sent,
                         std::shared_ptr<std::vector<size_t>> sentBeforeFirstWait)
        : frames(std::move(frames)),
          sent(std::move(sent)),
          sentBeforeFirstWait(std::move(sentBeforeFirstWait)) {}
    std::string Open(uint32_t, uint32_t) override { return ""; }
    void Close() override {}
    std::string Send(const Frame& frame) override {
        sent->push_back(frame);
        return "";
    }
    int Receive(Frame& frame, int timeoutMs, std::string&) override {
        // Frames of an earlier exchange are gone before the request goes out.
        if (timeoutMs == 0 || frames->empty()) {
            return 0;
        }
        if (sentBeforeFirstWait->empty()) {
            sentBeforeFirstWait->push_back(sent->size());
        }
        frame = frames->front();
        frames->pop_front();
        return 1;
    }
    std::string TraceName() const override { return "script0"; }
    bool Probe(std::string&) override { return true; }
    std::shared_ptr<std::deque<Frame>> frames;
    std::shared_ptr<std::vector<Frame>> sent;
    std::shared_ptr<std::vector<size_t>> sentBeforeFirstWait;
};

class ScriptedChannel : public CanChannel {
public:
    explicit ScriptedChannel(const std::string& folder) : CanChannel(folder) {}
    std::shared_ptr<std::deque<Frame>> frames = std::make_shared<std::deque<Frame>>();
    std::shared_ptr<std::vector<Frame>> sent = std::make_shared<std::vector<Frame>>();
    std::shared_ptr<std::vector<size_t>> sentBeforeFirstWait =
        std::make_shared<std::vector<size_t>>();

protected:
    std::unique_ptr<CanBackend> MakeBackend(const CanSettings&) const override {
        return std::make_unique<ScriptedBus>(frames, sent, sentBeforeFirstWait);
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

// The bus scan: every probe goes out before the first wait, and a node counts only with a
// reply that answers its own probe.
TEST(CanChannelProbe, TakesOnlyTheRepliesThatAnswerEachProbe) {
    tarvo::test::TempFolder folder;
    ScriptedChannel channel(folder.Path());
    CommSettings settings{};
    settings.nodeId = 1;
    settings.rate = 0x001C;
    settings.replyTimeoutMs = 1000;
    ASSERT_EQ(channel.Open(&settings), 0u);
    std::vector<CanMessage> probes(5);
    for (uint32_t node = 1; node <= 5; ++node) {
        CanMessage& probe = probes[node - 1];
        probe.id = 0x600 + node;
        probe.length = 8;
        probe.data[0] = 0x40;
        probe.data[2] = 0x10;  // 1000h:00
    }
    *channel.frames = {
        Reply(0x181, {0x43, 0x00, 0x10, 0x00, 1, 2, 3, 4}),     // a PDO, no reply
        Reply(0x589, {0x43, 0x00, 0x10, 0x00, 1, 0, 0, 0}),     // a node not probed
        Reply(0x582, {0x43, 0x08, 0x10, 0x00, 7, 0, 0, 0}),     // late: another entry's reply
        Reply(0x585, {0x43, 0x00, 0x10, 0x00, 5, 0, 0}),        // short
        Reply(0x582, {0x43, 0x00, 0x10, 0x00, 0x92, 1, 2, 0}),  // node 2
        Reply(0x582, {0x43, 0x00, 0x10, 0x00, 0x99, 0, 0, 0}),  // node 2 again: not taken
        Reply(0x583, {0x60, 0x00, 0x10, 0x00, 0, 0, 0, 0}),     // a write's acknowledgement
        Reply(0x584, {0x80, 0x00, 0x10, 0x00, 0, 0, 2, 6}),     // node 4 refuses: present
    };
    std::vector<CanMessage> replies(5);
    ASSERT_EQ(channel.Probe(probes.data(), 5, replies.data()), 0u);
    ASSERT_EQ(channel.sent->size(), 5u);
    EXPECT_EQ(channel.sentBeforeFirstWait->at(0), 5u);
    for (uint32_t node = 1; node <= 5; ++node) {
        EXPECT_EQ(channel.sent->at(node - 1).Identifier(), 0x600 + node);
    }
    std::vector<int> lengths;
    for (const CanMessage& reply : replies) {
        lengths.push_back(reply.length);
    }
    EXPECT_EQ(lengths, (std::vector<int>{0, 8, 0, 8, 0}));
    EXPECT_EQ(replies[1].id, 0x582u);
    EXPECT_EQ(replies[1].data[4], 0x92);
    EXPECT_EQ(replies[3].data[0], 0x80);

    // A single exchange after the scan waits for its own reply, not a scan's.
    CanMessage request = probes[1];
    *channel.frames = {Reply(0x582, {0x43, 0x00, 0x10, 0x00, 0x55, 0, 0, 0})};
    ASSERT_EQ(channel.Transmit(&request), 0u);
    CanMessage reply{};
    ASSERT_EQ(channel.Receive(&reply), 0u);
    EXPECT_EQ(reply.data[4], 0x55);

    channel.Close();
    EXPECT_EQ(channel.Probe(probes.data(), 5, replies.data()), CanChannel::kNotOpen);
}

}  // namespace
}  // namespace tarvo::canbus::test
