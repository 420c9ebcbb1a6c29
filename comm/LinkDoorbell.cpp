#include "comm/LinkDoorbell.h"

namespace tarvo {

void LinkDoorbell::Ring() {
    {
        std::lock_guard lock(mutex_);
        ++rings_;
    }
    rung_.notify_all();
}

uint64_t LinkDoorbell::Rings() {
    std::lock_guard lock(mutex_);
    return rings_;
}

void LinkDoorbell::WaitAfter(uint64_t seen) {
    std::unique_lock lock(mutex_);
    rung_.wait(lock, [&] { return rings_ != seen; });
}

void LinkDoorbell::WaitFor(std::chrono::milliseconds duration, const std::function<bool()>& until) {
    std::unique_lock lock(mutex_);
    rung_.wait_for(lock, duration, until);
}

}  // namespace tarvo
