#pragma once

#include <cstdint>

namespace tarvo::canbus {

// One classic CAN frame as the CAN library, its backends and the simulated drive pass it
// around. The identifier carries SocketCAN's flags for extended and remote frames.
struct Frame {
    static constexpr uint32_t kExtended = 0x80000000u;
    static constexpr uint32_t kRemote = 0x40000000u;

    uint32_t id = 0;
    uint8_t length = 0;
    uint8_t data[8] = {};

    uint32_t Identifier() const { return id & (IsExtended() ? 0x1FFFFFFFu : 0x7FFu); }
    bool IsExtended() const { return (id & kExtended) != 0; }
    bool IsRemote() const { return (id & kRemote) != 0; }
};

}  // namespace tarvo::canbus
