#include "platform/QueuedMessageSender.h"

namespace tarvo {

QueuedMessageSender::QueuedMessageSender() : owner_(std::this_thread::get_id()) {}

bool QueuedMessageSender::Send(MessageTarget* target, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    if (target == nullptr) {
        return false;
    }
    if (std::this_thread::get_id() == owner_) {
        target->onMessage(message, wParam, lParam);
        return true;
    }
    Delivery delivery{target, message, wParam, lParam};
    std::unique_lock lock(mutex_);
    if (abandoned_) {
        return false;
    }
    queue_.push_back(&delivery);
    queued_.notify_all();
    // A delivery already being handled is waited for even when abandoned: the drainer
    // still holds it.
    handled_.wait(lock, [&] { return delivery.done || (abandoned_ && !delivery.running); });
    if (!delivery.done) {
        std::erase(queue_, &delivery);
    }
    return delivery.done;
}

int QueuedMessageSender::Drain(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (wait.count() > 0) {
        queued_.wait_for(lock, wait, [&] { return !queue_.empty() || abandoned_; });
    }
    int delivered = 0;
    while (!queue_.empty() && !abandoned_) {
        Delivery* delivery = queue_.front();
        queue_.pop_front();
        delivery->running = true;
        // The window runs without the lock so it may queue requests or block briefly.
        lock.unlock();
        delivery->target->onMessage(delivery->message, delivery->wParam, delivery->lParam);
        lock.lock();
        delivery->done = true;
        delivery->running = false;
        ++delivered;
        handled_.notify_all();
    }
    return delivered;
}

void QueuedMessageSender::Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    handled_.notify_all();
    queued_.notify_all();
}

}  // namespace tarvo
