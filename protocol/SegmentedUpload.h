#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/DriveProtocol.h"

namespace tarvo {

// What the drive message layer knows of the segmented upload in progress: the entry, the size
// the drive announced and the segments delivered so far. With it an upload whose segment
// exchange failed is run again from its initiate request and checked against what the caller
// has already been given, and a segment that does not fit the announced size is refused.
class SegmentedUpload {
public:
    static uint8_t CountOf(uint8_t command) { return SegmentByteCount(command); }
    // The drive's last-segment bit, or fewer than seven bytes: callers stop there.
    static bool EndsUpload(uint8_t command) {
        return (command & kSegmentLastBit) != 0 || CountOf(command) < 7;
    }

    void Start(uint32_t address, uint32_t size);
    void Stop();

    bool active() const { return active_; }
    uint32_t address() const { return address_; }
    uint32_t size() const { return size_; }
    size_t delivered() const { return segments_.size(); }
    // The command of the next segment request: the toggle alternates from clear.
    SdoCommand NextCommand() const { return CommandOf(segments_.size()); }
    static SdoCommand CommandOf(size_t segment) {
        return segment % 2 == 0 ? SdoCommand::SegmentToggleClear : SdoCommand::SegmentToggleSet;
    }

    // A segment reply (command byte and seven bytes) that may follow the delivered ones:
    // it does not run past the announced size, and a last one completes it exactly.
    bool Fits(uint8_t command) const;
    // Records a delivered segment; the upload ends with its last one.
    void Deliver(uint8_t command, const uint8_t* bytes);
    // The segment `index`, fetched again, is the one delivered before.
    bool SameAsDelivered(size_t index, uint8_t command, const uint8_t* bytes) const;

private:
    struct Segment {
        uint8_t command = 0;
        std::array<uint8_t, 7> bytes{};
    };

    bool active_ = false;
    uint32_t address_ = 0;
    uint32_t size_ = 0;
    uint32_t bytesDelivered_ = 0;
    std::vector<Segment> segments_;
};

}  // namespace tarvo
