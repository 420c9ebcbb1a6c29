#include "drivesim/SerialFramer.h"

#include <algorithm>

namespace tarvo::sim {

uint8_t SerialFramer::Checksum(const uint8_t* nineBytes) {
    uint8_t sum = 0;
    for (int i = 0; i < 9; ++i) {
        sum = static_cast<uint8_t>(sum + nineBytes[i]);
    }
    return static_cast<uint8_t>(-sum);
}

SerialFramer::Frame SerialFramer::Encode(uint8_t node, const SdoReply& reply) {
    Frame frame{};
    frame[0] = node;
    reply.ToBytes(&frame[1]);
    frame[9] = Checksum(frame.data());
    return frame;
}

void SerialFramer::Feed(const uint8_t* data, size_t size, uint64_t nowUs,
                        std::vector<Frame>& frames) {
    if (size == 0) {
        return;
    }
    if (!buffer_.empty() && nowUs - lastByteUs_ > gapResetUs_) {
        badBytes_ += buffer_.size();
        buffer_.clear();
    }
    lastByteUs_ = nowUs;
    buffer_.insert(buffer_.end(), data, data + size);
    size_t start = 0;
    while (buffer_.size() - start >= 10) {
        const uint8_t* candidate = buffer_.data() + start;
        if (Checksum(candidate) != candidate[9]) {
            ++start;
            ++badBytes_;
            continue;
        }
        if (candidate[0] == node_) {
            Frame frame;
            std::copy_n(candidate, 10, frame.begin());
            frames.push_back(frame);
        } else {
            ++foreignFrames_;
        }
        start += 10;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start));
}

}  // namespace tarvo::sim
