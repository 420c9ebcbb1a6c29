#pragma once

#include <chrono>

namespace tarvo {

// The control link's pauses, taken from outside so that tests can run them faster and
// see which pauses were taken.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

}  // namespace tarvo
