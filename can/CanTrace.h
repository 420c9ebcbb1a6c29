#pragma once

#include <cstdio>
#include <string>

#include "can/CanFrame.h"

namespace tarvo::canbus {

// A trace of every frame sent and received, in candump's log format
// "(seconds.microseconds) interface ID#DATA", which can-utils and Wireshark read. Lines are
// appended and flushed one by one, so the trace can be followed while it grows.
class CanTrace {
public:
    CanTrace() = default;
    ~CanTrace() { Close(); }
    CanTrace(const CanTrace&) = delete;
    CanTrace& operator=(const CanTrace&) = delete;

    // Empty on success, else what went wrong.
    std::string Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    void Write(const Frame& frame, const std::string& interface);

    // One line of the log without its newline.
    static std::string Line(const Frame& frame, const std::string& interface, long seconds,
                            long microseconds);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace tarvo::canbus
