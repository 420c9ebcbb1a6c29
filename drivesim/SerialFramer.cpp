#include "drivesim/SerialFramer.h"

#include <algorithm>

namespace tarvo::sim {

SerialFramer::Frame SerialFramer::Encode(uint8_t node, const SdoReply& reply) {
    uint8_t protocol[Rs232Frame::kProtocolLength];
    reply.ToBytes(protocol);
    return Rs232Frame::Encode(node, protocol);
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
    while (buffer_.size() - start >= Rs232Frame::kLength) {
        const uint8_t* candidate = buffer_.data() + start;
        if (!Rs232Frame::ChecksumFits(candidate)) {
            ++start;
            ++badBytes_;
            continue;
        }
        if (candidate[Rs232Frame::kNodeOffset] == node_) {
            Frame frame;
            std::copy_n(candidate, frame.size(), frame.begin());
            frames.push_back(frame);
        } else {
            ++foreignFrames_;
        }
        start += Rs232Frame::kLength;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start));
}

}  // namespace tarvo::sim
