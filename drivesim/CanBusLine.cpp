#include "drivesim/CanBusLine.h"

#include <algorithm>

namespace tarvo::sim {

namespace {

// Standard frame: start, 11 identifier bits, RTR, IDE, r0, 4 length bits, 15 CRC bits.
// Extended frame: 18 more identifier bits, SRR and r1.
constexpr uint32_t kStuffedStandard = 34;
constexpr uint32_t kStuffedExtended = 54;
// CRC delimiter, the acknowledge slot and its delimiter, 7 end-of-frame bits and the
// 3-bit interframe space: never stuffed.
constexpr uint32_t kUnstuffedTail = 13;

}  // namespace

uint32_t CanBusLine::FrameBits(const canbus::Frame& frame) {
    uint32_t dataBits = frame.IsRemote() ? 0 : 8u * std::min<uint32_t>(frame.length, 8);
    uint32_t stuffed = (frame.IsExtended() ? kStuffedExtended : kStuffedStandard) + dataBits;
    return stuffed + (stuffed - 1) / 4 + kUnstuffedTail;
}

void CanBusLine::Send(const canbus::Frame& frame, int sender, uint64_t nowUs) {
    uint64_t startNs = std::max(nowUs * 1000, busFreeNs_);
    uint64_t endNs =
        bitRate_ == 0 ? startNs : startNs + uint64_t{FrameBits(frame)} * 1000000000u / bitRate_;
    busFreeNs_ = endNs;
    wire_.push_back({frame, sender, endNs});
}

void CanBusLine::TakePassed(uint64_t nowUs, std::vector<Passed>& out) {
    while (!wire_.empty() && wire_.front().endNs <= nowUs * 1000) {
        const OnWire& sent = wire_.front();
        out.push_back({sent.frame, sent.sender, (sent.endNs + 999) / 1000});
        wire_.pop_front();
    }
}

int64_t CanBusLine::NextDueUs() const {
    return wire_.empty() ? -1 : static_cast<int64_t>((wire_.front().endNs + 999) / 1000);
}

}  // namespace tarvo::sim
