#pragma once

#include <poll.h>

#include <cerrno>
#include <chrono>

namespace tarvo {

// Waits until `fd` has something to read or `deadline` has passed: 1 readable, 0 timed out
// or woken early through `wakeFd` (an event that stays readable while it is signalled).
inline int WaitReadable(int fd, std::chrono::steady_clock::time_point deadline, int wakeFd = -1) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        pollfd entries[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int ready = ::poll(entries, wakeFd >= 0 ? 2 : 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready > 0 && wakeFd >= 0 && entries[1].revents != 0) {
            return 0;
        }
        return ready > 0 ? 1 : 0;
    }
}

// True while the event `wakeFd` is signalled.
inline bool Signalled(int wakeFd) {
    if (wakeFd < 0) {
        return false;
    }
    pollfd entry{wakeFd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

}  // namespace tarvo
