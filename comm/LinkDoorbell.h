#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tarvo {

// Wakes the control link's worker when something it waits for may have changed: a request
// was queued, a monitor entry registered or switched on, a switch written, the link told to
// stop. A waiter takes the count of rings before it looks at what there is to do and then
// waits only while no ring came since, so that a ring between looking and waiting is kept.
class LinkDoorbell {
public:
    void Ring();
    uint64_t Rings();
    // Returns once the bell rang after the count `seen` was taken.
    void WaitAfter(uint64_t seen);
    // Returns after `duration`, or earlier once `until` holds (looked at on every ring).
    void WaitFor(std::chrono::milliseconds duration, const std::function<bool()>& until);

private:
    std::mutex mutex_;
    std::condition_variable rung_;
    uint64_t rings_ = 0;
};

}  // namespace tarvo
