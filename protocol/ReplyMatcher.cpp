#include "protocol/ReplyMatcher.h"

#include "protocol/Rs232Frame.h"

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

uint32_t ReplyMatcher::ReplyWaitMs(const uint8_t* request, uint32_t timeoutMs) {
    // A timeout of 0 asks for no wait at all.
    return timeoutMs != 0 && IsSegmentCommand(request[0]) ? timeoutMs + kSegmentGraceMs : timeoutMs;
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

bool ReplyMatcher::MatchesFrame(const uint8_t* requestFrame, const uint8_t* replyFrame) {
    constexpr size_t kNode = Rs232Frame::kNodeOffset;
    constexpr size_t kProtocol = Rs232Frame::kProtocolOffset;
    return replyFrame[kNode] == requestFrame[kNode] && Rs232Frame::ChecksumFits(replyFrame) &&
           Matches(requestFrame + kProtocol, replyFrame + kProtocol);
}

}  // namespace tarvo
