#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drivesim/SdoMessage.h"
#include "protocol/Rs232Frame.h"

namespace tarvo::sim {

// The drive's RS232 receiver: collects 10-byte frames (node, command, index, subindex, four
// data bytes, checksum) from the byte stream. A frame with a wrong checksum is dropped by
// sliding one byte on; a pause in the middle of a frame discards the bytes before it.
class SerialFramer {
public:
    using Frame = Rs232Frame::Bytes;

    explicit SerialFramer(uint8_t node, uint64_t gapResetUs = 50000)
        : node_(node), gapResetUs_(gapResetUs) {}

    // Appends received bytes; complete frames addressed to this node go to `frames`.
    void Feed(const uint8_t* data, size_t size, uint64_t nowUs, std::vector<Frame>& frames);

    static uint8_t Checksum(const uint8_t* nineBytes) { return Rs232Frame::Checksum(nineBytes); }
    static Frame Encode(uint8_t node, const SdoReply& reply);
    static SdoRequest Decode(const Frame& frame) {
        return SdoRequest::FromBytes(&frame[Rs232Frame::kProtocolOffset]);
    }

    uint64_t BadFrames() const { return badBytes_; }
    uint64_t ForeignFrames() const { return foreignFrames_; }

private:
    uint8_t node_;
    uint64_t gapResetUs_;
    std::vector<uint8_t> buffer_;
    uint64_t lastByteUs_ = 0;
    uint64_t badBytes_ = 0;
    uint64_t foreignFrames_ = 0;
};

}  // namespace tarvo::sim
