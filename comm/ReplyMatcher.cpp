#include "ReplyMatcher.h"

namespace tarvo {

namespace {

// A value of one, two, three or four bytes with its size given, or none given; 0x41 announces
// a segmented transfer with its size.
bool IsValueReply(uint8_t reply) {
    switch (reply) {
        case 0x42:
        case 0x43:
        case 0x47:
        case 0x4B:
        case 0x4F:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ReplyMatcher::Plausible(uint8_t requestCommand, uint8_t replyCommand) {
    if (replyCommand == kAbort) {
        return true;
    }
    if (requestCommand == 0x40) {
        return IsValueReply(replyCommand) || replyCommand == 0x41;
    }
    if (IsWrite(requestCommand)) {
        // The drive acknowledges a write with the value it now holds, or plainly with 0x60.
        return IsValueReply(replyCommand) || replyCommand == 0x60;
    }
    if (IsSegmentRequest(requestCommand)) {
        return (replyCommand & 0xE0) == 0 && (replyCommand & 0x10) == (requestCommand & 0x10);
    }
    // A command of no known kind: anything but its own echo.
    return replyCommand != requestCommand;
}

bool ReplyMatcher::Matches(const uint8_t* request, const uint8_t* reply) {
    if (!Plausible(request[0], reply[0])) {
        return false;
    }
    if (IsSegmentRequest(request[0])) {
        return true;
    }
    return reply[1] == request[1] && reply[2] == request[2] && reply[3] == request[3];
}

bool ReplyMatcher::ChecksumFits(const uint8_t* frame) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kFrameLength; ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
    }
    return sum == 0;
}

bool ReplyMatcher::MatchesFrame(const uint8_t* requestFrame, const uint8_t* replyFrame) {
    return replyFrame[0] == requestFrame[0] && ChecksumFits(replyFrame) &&
           Matches(requestFrame + 1, replyFrame + 1);
}

}  // namespace tarvo
