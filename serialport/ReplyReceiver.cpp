#include "serialport/ReplyReceiver.h"

#include <algorithm>
#include <cstring>

#include "protocol/ReplyMatcher.h"

namespace tarvo::serial {

void ReplyReceiver::Expect(const uint8_t* request, uint32_t length) {
    Clear();
    matchReply_ = request != nullptr && length == kReplyLength;
    std::memset(request_, 0, sizeof request_);
    if (matchReply_) {
        std::memcpy(request_, request, kReplyLength);
    }
}

void ReplyReceiver::ExpectAnything() {
    Clear();
    matchReply_ = false;
}

void ReplyReceiver::Clear() {
    count_ = 0;
    std::memset(buffer_, 0, sizeof buffer_);
}

uint8_t* ReplyReceiver::Space(uint32_t& room) {
    if (count_ >= kBufferSize) {
        count_ = 0;
    }
    room = kBufferSize - count_;
    return buffer_ + count_;
}

bool ReplyReceiver::Took(uint32_t count) {
    count_ = std::min(count_ + count, kBufferSize);
    if (matchReply_ ? FindReply() : count_ >= kReplyLength) {
        count_ = std::min(count_, kReplyLength);
        return true;
    }
    return false;
}

bool ReplyReceiver::FindReply() {
    // Slides byte by byte over what came in; bytes that may still begin the reply are kept
    // for the next round.
    uint32_t start = 0;
    for (; count_ - start >= kReplyLength; ++start) {
        if (tarvo::ReplyMatcher::MatchesFrame(request_, buffer_ + start)) {
            std::memmove(buffer_, buffer_ + start, kReplyLength);
            count_ = kReplyLength;
            std::memset(buffer_ + kReplyLength, 0, kBufferSize - kReplyLength);
            return true;
        }
    }
    count_ -= start;
    std::memmove(buffer_, buffer_ + start, count_);
    std::memset(buffer_ + count_, 0, kBufferSize - count_);
    return false;
}

}  // namespace tarvo::serial
