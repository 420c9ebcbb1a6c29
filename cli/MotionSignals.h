#pragma once

#include <atomic>

namespace tarvo {

// Ctrl-C and SIGTERM while a motion command runs: instead of ending the process with the
// motor running, they set a flag that the command checks, and it stops the motor.
class MotionSignals {
public:
    // Installs the handlers and blocks both signals in this thread, so that the threads it
    // starts from now on (the link's) never take them; the previous handlers come back with
    // the object's end.
    MotionSignals();
    ~MotionSignals();
    MotionSignals(const MotionSignals&) = delete;
    MotionSignals& operator=(const MotionSignals&) = delete;

    // Lets this thread take the signals again: call once the connection's threads run.
    void Listen();

    // The number of the signal that came, 0 while none did.
    static const std::atomic<int>& Caught();
};

}  // namespace tarvo
