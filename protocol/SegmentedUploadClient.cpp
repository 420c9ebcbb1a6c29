#include "protocol/SegmentedUploadClient.h"

#include <algorithm>

namespace tarvo {

void SegmentedUploadClient::Start(size_t limit) {
    bytes_.clear();
    limit_ = limit;
    next_ = SdoCommand::SegmentToggleClear;
    active_ = true;
}

SegmentedUploadClient::Step SegmentedUploadClient::Take(uint8_t count, const uint8_t* bytes,
                                                        bool last) {
    size_t taken = std::min<size_t>(count, kSegmentBytes);
    if (!active_ || taken > limit_ - bytes_.size()) {
        active_ = false;
        return Step::Overrun;
    }
    bytes_.insert(bytes_.end(), bytes, bytes + taken);
    // The drive ends an upload with its last-segment bit or with a segment of fewer bytes.
    if (taken < kSegmentBytes || last) {
        active_ = false;
        return Step::Complete;
    }
    next_ = next_ == SdoCommand::SegmentToggleClear ? SdoCommand::SegmentToggleSet
                                                    : SdoCommand::SegmentToggleClear;
    return Step::NextSegment;
}

}  // namespace tarvo
