#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "protocol/DriveProtocol.h"

namespace tarvo {

// The requesting side of a segmented upload: after the read that announced it, the caller asks
// for segments with NextCommand(), hands each segment reply to Take() and follows its answer.
// A segment with seven bytes and no last-segment bit is followed by another; the toggle of the
// requests alternates from clear. The bytes of all segments are kept in order.
//
//     SegmentedUploadClient upload;
//     upload.Start(kRecordBytes);
//     request(upload.NextCommand());
//     ... for each segment reply:
//     switch (upload.Take(count, bytes, last)) { ... }
class SegmentedUploadClient {
public:
    enum class Step : uint8_t {
        NextSegment,  // request the next segment with NextCommand()
        Complete,     // the segment ended the upload
        Overrun,      // the segment runs past the most the upload may hold; it was not taken
    };

    static constexpr size_t kNoLimit = std::numeric_limits<size_t>::max();

    // Begins an upload of at most `limit` bytes: no bytes, the toggle clear.
    void Start(size_t limit = kNoLimit);

    // The command of the next segment request.
    SdoCommand NextCommand() const { return next_; }

    // Takes one segment reply: `count` of the seven `bytes` hold data (a count above seven
    // counts as seven), `last` is the drive's last-segment bit. After Complete or Overrun the
    // upload is over and further segments are overruns.
    Step Take(uint8_t count, const uint8_t* bytes, bool last);

    // Between Start and the segment that completed or overran the upload.
    bool active() const { return active_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    static constexpr size_t kSegmentBytes = 7;

    std::vector<uint8_t> bytes_;
    size_t limit_ = kNoLimit;
    SdoCommand next_ = SdoCommand::SegmentToggleClear;
    bool active_ = false;
};

}  // namespace tarvo
