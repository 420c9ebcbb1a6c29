#include <gtest/gtest.h>

#include <vector>

#include "oscilloscope/TrendSampler.h"

namespace tarvo {
namespace {

// The monitor walk as a recorder: the registered (window, address) pairs and which windows
// are switched on, so the test can deliver what the walk would.
struct FakeWalk {
    std::vector<std::pair<MessageTarget*, uint32_t>> entries;
    std::map<MessageTarget*, bool> enabled;

    TrendSampler::Monitor Monitor() {
        return {[this](MessageTarget* window, uint32_t address) {
                    entries.emplace_back(window, address);
                    return 1;
                },
                [this](MessageTarget* window) { return enabled[window] = true, 1; },
                [this](MessageTarget* window) { return enabled[window] = false, 0; }};
    }
    // What a walk step delivers to every switched-on entry of `address`.
    void Deliver(uint32_t message, uint32_t address, uint32_t value) {
        for (auto [window, entry] : entries) {
            if (entry == address && enabled[window]) {
                window->onMessage(message, value, static_cast<intptr_t>(address));
            }
        }
    }
};

struct Rig {
    TrendPlot plot{64};
    FakeWalk walk;
    double now = 0.0;
    TrendSampler sampler{{plot, walk.Monitor(), [this] { return now; },
                          [](uint32_t, uint32_t raw) -> std::optional<double> {
                              if (raw == 999) {
                                  return std::nullopt;  // the unit cannot convert it now
                              }
                              return raw * 0.5;
                          }}};
};

TEST(TrendSampler, KeepsConvertedValuesWithArrivalTimes) {
    Rig rig;
    ASSERT_EQ(rig.sampler.Add(0x606C00, "Velocity actual value", "rpm"), 0);
    ASSERT_EQ(rig.sampler.Add(0x606300, "Position actual value", ""), 1);
    EXPECT_EQ(rig.sampler.Add(0x606C00, "again", "rpm"), -1);
    EXPECT_EQ(rig.walk.entries.size(), 2u);
    rig.now = 0.25;
    rig.walk.Deliver(WM_LINK_VALUE, 0x606C00, 10);
    rig.walk.Deliver(WM_LINK_VALUE, 0x606C00, 999);  // not kept: no value to show
    rig.now = 0.5;
    rig.walk.Deliver(WM_LINK_VALUE, 0x606300, 7);
    rig.walk.Deliver(WM_LINK_VALUE, 0x999900, 7);  // no signal of that entry
    const TrendRing& velocity = *rig.plot.At(0).ring;
    ASSERT_EQ(velocity.Size(), 1u);
    EXPECT_DOUBLE_EQ(velocity.At(0).time, 0.25);
    EXPECT_DOUBLE_EQ(velocity.At(0).value, 5.0);
    EXPECT_DOUBLE_EQ(rig.plot.At(1).ring->At(0).value, 3.5);
}

TEST(TrendSampler, RemovedSignalsStopTheirReadsAndComeBackOnTheSameEntry) {
    Rig rig;
    rig.sampler.Add(0x606C00, "v", "rpm");
    rig.sampler.Add(0x606300, "p", "");
    MessageTarget* velocityWindow = rig.walk.entries[0].first;
    ASSERT_TRUE(rig.sampler.Remove(0));
    EXPECT_FALSE(rig.walk.enabled[velocityWindow]);
    EXPECT_TRUE(rig.walk.enabled[rig.walk.entries[1].first]);
    EXPECT_FALSE(rig.sampler.Remove(1));
    // Added again: the same window is switched on, nothing new is registered.
    EXPECT_EQ(rig.sampler.Add(0x606C00, "v", "rpm"), 1);
    EXPECT_EQ(rig.walk.entries.size(), 2u);
    EXPECT_TRUE(rig.walk.enabled[velocityWindow]);
}

TEST(TrendSampler, GapsForAbortsLossAndSilence) {
    Rig rig;
    rig.sampler.Add(0x606C00, "v", "rpm");
    rig.sampler.Add(0x606300, "p", "");
    // A signal without samples has no line to break.
    rig.sampler.OnConnectionLost();
    EXPECT_TRUE(rig.plot.At(0).ring->Empty());
    for (int i = 0; i <= 10; ++i) {  // ten samples a second on both
        rig.now = i * 0.1;
        rig.walk.Deliver(WM_LINK_VALUE, 0x606C00, 2);
        rig.walk.Deliver(WM_LINK_VALUE, 0x606300, 2);
    }
    rig.now = 1.1;
    rig.walk.Deliver(WM_LINK_ABORT, 0x606300, 0x06020000);
    EXPECT_TRUE(rig.plot.At(1).ring->Newest().gap);
    EXPECT_EQ(rig.plot.At(1).ring->Newest().reason, TrendGapReason::Abort);
    // Silence up to the limit is no gap; beyond it is.
    rig.now = 1.0 + TrendSampler::kSilence;
    rig.sampler.Tick();
    EXPECT_FALSE(rig.plot.At(0).ring->Newest().gap);
    rig.now = 1.01 + TrendSampler::kSilence;
    rig.sampler.Tick();
    EXPECT_TRUE(rig.plot.At(0).ring->Newest().gap);
    EXPECT_EQ(rig.plot.At(0).ring->Newest().reason, TrendGapReason::NoAnswer);
    EXPECT_EQ(rig.plot.At(1).ring->Newest().reason, TrendGapReason::Abort);  // kept, not doubled
    EXPECT_DOUBLE_EQ(rig.plot.Now(), rig.now);
    rig.now = 5;
    rig.walk.Deliver(WM_LINK_VALUE, 0x606C00, 4);
    rig.sampler.OnConnectionLost();
    EXPECT_EQ(rig.plot.At(0).ring->Newest().reason, TrendGapReason::ConnectionClosed);
    EXPECT_EQ(rig.plot.At(0).ring->Size(), 14u);  // 11 samples, 2 gaps and the new one
}

TEST(TrendSampler, TickAsksForARedrawOnlyWhenSomethingMoved) {
    Rig rig;
    rig.sampler.Add(0x606C00, "v", "rpm");
    EXPECT_TRUE(rig.sampler.Tick());
    rig.plot.SetPaused(true);
    EXPECT_FALSE(rig.sampler.Tick());
    rig.walk.Deliver(WM_LINK_VALUE, 0x606C00, 1);  // a sample while paused is still kept
    EXPECT_TRUE(rig.sampler.Tick());
    EXPECT_FALSE(rig.sampler.Tick());
    EXPECT_EQ(rig.plot.At(0).ring->Size(), 1u);
}

TEST(TrendSampler, AStoppedTrendReadsNothingAndMarksWhereItStopped) {
    Rig rig;
    rig.sampler.Add(0x606C00, "v", "rpm");
    rig.walk.Deliver(WM_LINK_VALUE, 0x606C00, 2);
    rig.now = 1;
    rig.sampler.SetSampling(false);
    MessageTarget* window = rig.walk.entries[0].first;
    EXPECT_FALSE(rig.walk.enabled[window]);
    EXPECT_EQ(rig.plot.At(0).ring->Newest().reason, TrendGapReason::Stopped);
    rig.sampler.Add(0x606300, "p", "");  // added while stopped: registered, not switched on
    EXPECT_FALSE(rig.walk.enabled[rig.walk.entries[1].first]);
    rig.now = 60;
    rig.sampler.Tick();  // no "no answer" while stopped
    EXPECT_EQ(rig.plot.At(0).ring->Newest().reason, TrendGapReason::Stopped);
    rig.sampler.SetSampling(true);
    EXPECT_TRUE(rig.walk.enabled[window]);
    EXPECT_TRUE(rig.walk.enabled[rig.walk.entries[1].first]);
}

}  // namespace
}  // namespace tarvo
