#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "oscilloscope/ScopeSamples.h"

namespace tarvo {

// How the drive laid out one sample instant: the slots it reported as non-zero, in the
// fixed order Slot1, Slot2, Slot5, Slot3, Slot4, Slot6, little-endian.
struct RecordLayout {
    std::array<uint32_t, 6> slotCodes{};  // Slot1..Slot6 as the drive reported them
    std::array<bool, 4> channelSigned{};  // the item selected on channel 1..4 is signed
    int slot5Channel = 1;                 // channel 1 or 2
    int slot6Channel = 3;                 // channel 3 or 4

    size_t BytesPerRecord() const;
};

// Turns an uploaded record into the samples of the four channels.
class RecordDecoder {
public:
    // Replaces `samples` by every complete record; returns the number of records. Bytes of
    // an incomplete last record are left out.
    static size_t Decode(const uint8_t* bytes, size_t count, const RecordLayout& layout,
                         ScopeSamples& samples);
};

}  // namespace tarvo
