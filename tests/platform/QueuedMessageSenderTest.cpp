#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/QueuedMessageSender.h"

namespace tarvo {
namespace {

struct RecordingWindow : MessageTarget {
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
        seen.push_back({message, wParam, std::this_thread::get_id()});
        return 0;
    }
    struct Seen {
        uint32_t message;
        uintptr_t wParam;
        std::thread::id thread;
    };
    std::vector<Seen> seen;
};

TEST(QueuedMessageSenderTest, WorkerDeliveriesRunOnTheOwnerInOrder) {
    QueuedMessageSender sender;
    RecordingWindow window;
    std::thread worker([&] {
        for (uintptr_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(sender.Send(&window, WM_LINK_VALUE, i, 0));
        }
    });
    int delivered = 0;
    while (delivered < 3) {
        delivered += sender.Drain(std::chrono::milliseconds(100));
    }
    worker.join();
    ASSERT_EQ(window.seen.size(), 3u);
    for (uintptr_t i = 0; i < 3; ++i) {
        EXPECT_EQ(window.seen[i].wParam, i);
        EXPECT_EQ(window.seen[i].thread, std::this_thread::get_id());
    }
}

TEST(QueuedMessageSenderTest, AbandonReleasesABlockedWorker) {
    QueuedMessageSender sender;
    RecordingWindow window;
    std::atomic<int> result{-1};
    std::thread worker([&] { result = sender.Send(&window, WM_LINK_VALUE, 1, 0) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sender.Abandon();
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(window.seen.empty());
}

TEST(QueuedMessageSenderTest, OwnerThreadDeliversAtOnce) {
    QueuedMessageSender sender;
    RecordingWindow window;
    EXPECT_TRUE(sender.Send(&window, WM_LINK_ABORT, 7, 0));
    ASSERT_EQ(window.seen.size(), 1u);
    EXPECT_FALSE(sender.Send(nullptr, WM_LINK_ABORT, 7, 0));
}

}  // namespace
}  // namespace tarvo
