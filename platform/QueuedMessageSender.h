#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/MessageSender.h"

namespace tarvo {

// The MessageSender of programs without Qt: a delivery waits in a queue until the owning
// thread drains it. Sends from the owning thread itself are delivered at once.
class QueuedMessageSender : public MessageSender {
public:
    QueuedMessageSender();

    bool Send(MessageTarget* target, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Runs the waiting deliveries on the calling (owning) thread; waits up to `wait` for
    // the first one. Returns the number delivered.
    int Drain(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

    // Releases every waiting and future Send with false; used at shutdown so that a worker
    // blocked in a delivery can end.
    void Abandon();

private:
    struct Delivery {
        MessageTarget* target;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        bool done = false;
        bool running = false;
    };

    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable handled_;
    std::deque<Delivery*> queue_;
    bool abandoned_ = false;
};

}  // namespace tarvo
