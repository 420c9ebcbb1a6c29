#pragma once

#include <poll.h>

#include <cerrno>
#include <chrono>

namespace tarvo {

// Waits until `fd` has something to read or `deadline` has passed: 1 readable, 0 timed out.
inline int WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        pollfd entry{fd, POLLIN, 0};
        int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0 ? 1 : 0;
    }
}

}  // namespace tarvo
