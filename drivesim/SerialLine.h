#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "drivesim/FaultPlan.h"
#include "drivesim/SerialFramer.h"

namespace tarvo::sim {

// The drive's transmit side of the RS232 line: when each byte of a reply (and of an echo
// or stray bytes) goes out, with the turnaround, delays, pieces and line rate of the
// fault settings.
class SerialLine {
public:
    explicit SerialLine(const FaultSettings& settings) : settings_(settings) {}

    // Schedules the bytes for one request that was received completely at nowUs; `reply`
    // is null when the drive does not answer.
    void Schedule(uint64_t nowUs, const SerialFramer::Frame& request,
                  const SerialFramer::Frame* reply, const FaultPlan::Decision& decision);
    // Appends the bytes due by nowUs.
    void TakeDue(uint64_t nowUs, std::vector<uint8_t>& out);
    // Time of the next byte, or -1 when nothing waits.
    int64_t NextDueUs() const;
    bool Idle() const { return chunks_.empty(); }

private:
    struct Chunk {
        uint64_t dueUs;
        std::vector<uint8_t> bytes;
    };

    FaultSettings settings_;
    std::deque<Chunk> chunks_;
    uint64_t lineFreeUs_ = 0;
};

}  // namespace tarvo::sim
