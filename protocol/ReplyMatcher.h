#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/DriveProtocol.h"

namespace tarvo {

// Tells whether a reply answers the request in flight. Request and reply are given as the
// eight protocol bytes that an RS232 frame (bytes 1-8) and a CAN message (data bytes 0-7)
// share: command, index low, index high, subindex, four data bytes. Kept free of every other
// part of the program: the serial and CAN libraries apply the same rules where they receive.
class ReplyMatcher {
public:
    // How long past the reply timeout a segment request still waits for its reply. A segment
    // request cannot be sent again (the drive would take it for the next one), so a reply
    // that comes late but answers it is worth the wait before the upload starts over.
    static constexpr uint32_t kSegmentGraceMs = 1500;
    // The wait for the reply to `request` (the eight protocol bytes) when `timeoutMs` is the
    // reply timeout.
    static uint32_t ReplyWaitMs(const uint8_t* request, uint32_t timeoutMs);

    // The reply command can answer the request command: a value (or the announcement of a
    // segmented transfer) for a read, an acknowledgement for a write, a segment with the
    // request's toggle for a segment request. An abort can answer every request.
    static bool Plausible(uint8_t requestCommand, uint8_t replyCommand);
    // Plausible and, unless the request asks for a segment (a segment names no object),
    // about the same index and subindex.
    static bool Matches(const uint8_t* request, const uint8_t* reply);
    // A whole 10-byte RS232 reply frame: the checksum adds up, the node byte is the request's
    // and the protocol bytes match.
    static bool MatchesFrame(const uint8_t* requestFrame, const uint8_t* replyFrame);
};

}  // namespace tarvo
