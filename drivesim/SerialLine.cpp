#include "drivesim/SerialLine.h"

#include <algorithm>

namespace tarvo::sim {

namespace {

constexpr uint8_t kStrayPattern[] = {0xA5, 0x5A, 0xC3, 0x3C};

}  // namespace

void SerialLine::Schedule(uint64_t nowUs, const SerialFramer::Frame& request,
                          const SerialFramer::Frame* reply, const FaultPlan::Decision& decision) {
    double byteUs = settings_.lineBaud != 0 ? 10e6 / settings_.lineBaud : 0;
    // The pseudo-terminal hands the request over at once; on a real line it took its time.
    double start = static_cast<double>(nowUs) + 10 * byteUs;
    if (settings_.echo) {
        chunks_.push_back({static_cast<uint64_t>(start), {request.begin(), request.end()}});
    }
    if (reply == nullptr) {
        return;
    }
    start += static_cast<double>(decision.delayUs);
    start = std::max(start, static_cast<double>(lineFreeUs_));
    std::vector<uint8_t> bytes;
    if (decision.stray) {
        for (uint32_t i = 0; i < settings_.strayBytes; ++i) {
            bytes.push_back(kStrayPattern[i % sizeof kStrayPattern]);
        }
    }
    size_t replyStart = bytes.size();
    bytes.insert(bytes.end(), reply->begin(), reply->end());
    if (decision.badChecksum) {
        bytes[replyStart + 9] ^= 0x5A;
    }
    size_t piece = settings_.splitBytes != 0 ? settings_.splitBytes : bytes.size();
    double gap = settings_.splitBytes != 0 ? settings_.splitGapUs : 0;
    double time = start;
    for (size_t offset = 0; offset < bytes.size(); offset += piece) {
        size_t count = std::min(piece, bytes.size() - offset);
        if (offset != 0) {
            time += gap;
        }
        // A piece is handed over when its last byte would be through the line, as a
        // USB serial adapter passes on what it has received.
        time += static_cast<double>(count) * byteUs;
        chunks_.push_back({static_cast<uint64_t>(time),
                           {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                            bytes.begin() + static_cast<std::ptrdiff_t>(offset + count)}});
    }
    lineFreeUs_ = static_cast<uint64_t>(time);
}

void SerialLine::TakeDue(uint64_t nowUs, std::vector<uint8_t>& out) {
    while (!chunks_.empty() && chunks_.front().dueUs <= nowUs) {
        out.insert(out.end(), chunks_.front().bytes.begin(), chunks_.front().bytes.end());
        chunks_.pop_front();
    }
}

int64_t SerialLine::NextDueUs() const {
    return chunks_.empty() ? -1 : static_cast<int64_t>(chunks_.front().dueUs);
}

}  // namespace tarvo::sim
