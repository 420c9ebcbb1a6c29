#pragma once

#include <thread>

#include "comm/Sleeper.h"

namespace tarvo {

// Real pauses, for the program and the tools.
class SystemSleeper : public Sleeper {
public:
    void Sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

}  // namespace tarvo
