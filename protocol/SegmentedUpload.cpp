#include "protocol/SegmentedUpload.h"

#include <algorithm>

namespace tarvo {

void SegmentedUpload::Start(uint32_t address, uint32_t size) {
    active_ = true;
    address_ = address;
    size_ = size;
    bytesDelivered_ = 0;
    segments_.clear();
}

void SegmentedUpload::Stop() {
    active_ = false;
    bytesDelivered_ = 0;
    segments_.clear();
}

bool SegmentedUpload::Fits(uint8_t command) const {
    uint64_t total = uint64_t{bytesDelivered_} + CountOf(command);
    return EndsUpload(command) ? total == size_ : total < size_;
}

void SegmentedUpload::Deliver(uint8_t command, const uint8_t* bytes) {
    Segment segment;
    segment.command = command;
    std::copy_n(bytes, segment.bytes.size(), segment.bytes.begin());
    segments_.push_back(segment);
    bytesDelivered_ += CountOf(command);
    if (EndsUpload(command)) {
        active_ = false;
    }
}

bool SegmentedUpload::SameAsDelivered(size_t index, uint8_t command, const uint8_t* bytes) const {
    if (index >= segments_.size() || segments_[index].command != command) {
        return false;
    }
    return std::equal(bytes, bytes + CountOf(command), segments_[index].bytes.begin());
}

}  // namespace tarvo
