#include "protocol/ReplyMatcher.h"

namespace tarvo {

namespace {

// A value of one, two, three or four bytes with its size given, or none given.
bool IsValueReply(uint8_t reply) {
    switch (static_cast<SdoReplyCommand>(reply)) {
        case SdoReplyCommand::ValueUnsized:
        case SdoReplyCommand::Value32:
        case SdoReplyCommand::Value24:
        case SdoReplyCommand::Value16:
        case SdoReplyCommand::Value8:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ReplyMatcher::Plausible(uint8_t requestCommand, uint8_t replyCommand) {
    if (replyCommand == ToByte(SdoReplyCommand::Abort)) {
        return true;
    }
    if (requestCommand == ToByte(SdoCommand::Read)) {
        return IsValueReply(replyCommand) ||
               replyCommand == ToByte(SdoReplyCommand::UploadInitiate);
    }
    if (IsWriteCommand(requestCommand)) {
        // The drive acknowledges a write with the value it now holds, or plainly.
        return IsValueReply(replyCommand) || replyCommand == ToByte(SdoReplyCommand::DownloadAck);
    }
    if (IsSegmentCommand(requestCommand)) {
        return (replyCommand & 0xE0) == 0 &&
               (replyCommand & kSegmentToggleBit) == (requestCommand & kSegmentToggleBit);
    }
    // A command of no known kind: anything but its own echo.
    return replyCommand != requestCommand;
}

bool ReplyMatcher::Matches(const uint8_t* request, const uint8_t* reply) {
    if (!Plausible(request[0], reply[0])) {
        return false;
    }
    if (IsSegmentCommand(request[0])) {
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
