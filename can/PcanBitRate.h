#pragma once

#include <cstdint>

namespace tarvo::canbus {

// The PCAN-USB bit-rate codes (BTR0/BTR1 register values) that the CAN form stores, and the
// bit rates they stand for on SocketCAN and the simulated bus.
class PcanBitRate {
public:
    // Bits per second of a code, 0 for a code that is not one of PEAK's standard rates.
    static uint32_t BitsPerSecond(uint32_t code);
};

}  // namespace tarvo::canbus
