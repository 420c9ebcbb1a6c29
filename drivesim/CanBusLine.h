#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "can/CanFrame.h"

namespace tarvo::sim {

// The wire of the simulated CAN bus at a bit rate: the frames take their turns in the order
// they were sent, and each holds the bus for its bit time, so that CAN figures have a
// physical limit to be compared with. A bit rate of 0 passes every frame at once.
class CanBusLine {
public:
    struct Passed {
        canbus::Frame frame;
        int sender;      // who sent it, as given to Send
        uint64_t endUs;  // when its last bit left the bus
    };

    explicit CanBusLine(uint32_t bitRate) : bitRate_(bitRate) {}

    // The bits a frame holds the bus for, from the start of frame to the end of the
    // interframe space. Stuffing is estimated at its worst case: one stuff bit after every
    // four of the bits it may follow, from the start of frame to the end of the CRC.
    static uint32_t FrameBits(const canbus::Frame& frame);

    // A frame handed to the bus at nowUs: it starts once the frames before it have passed.
    void Send(const canbus::Frame& frame, int sender, uint64_t nowUs);
    // Appends the frames that have passed by nowUs, in order.
    void TakePassed(uint64_t nowUs, std::vector<Passed>& out);
    // When the next frame will have passed, or -1 when none is on its way.
    int64_t NextDueUs() const;
    uint32_t BitRate() const { return bitRate_; }

private:
    struct OnWire {
        canbus::Frame frame;
        int sender;
        uint64_t endNs;
    };

    uint32_t bitRate_;
    std::deque<OnWire> wire_;
    uint64_t busFreeNs_ = 0;
};

}  // namespace tarvo::sim
