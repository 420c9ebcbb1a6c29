#include "DriveMessage.h"

#include <cstring>

#include "ReplyMatcher.h"

namespace tarvo {

namespace {

constexpr uint8_t kAbortReply = 0x80;
constexpr uint8_t kReadCommand = 0x40;
// How often an upload whose segment exchange failed is run again from its initiate request.
constexpr int kUploadRestarts = 2;

uint32_t Little32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

}  // namespace

DriveMessage::DriveMessage(const std::string& programFolder, MessageBox& messageBox,
                           const std::atomic<int32_t>& transmitRetry)
    : library_(programFolder, messageBox), transmitRetry_(transmitRetry) {}

int DriveMessage::Load(int32_t mode) {
    mode_ = mode;
    return library_.Load(mode);
}

uint8_t DriveMessage::Checksum(const uint8_t* bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    return static_cast<uint8_t>(-sum);
}

std::array<uint8_t, 10> DriveMessage::BuildFrame(uint32_t nodeId, uint8_t command, uint32_t address,
                                                 uint32_t data) {
    std::array<uint8_t, 10> frame{};
    frame[0] = static_cast<uint8_t>(nodeId);
    frame[1] = command;
    frame[2] = static_cast<uint8_t>(address >> 8);
    frame[3] = static_cast<uint8_t>(address >> 16);
    frame[4] = static_cast<uint8_t>(address);
    for (int i = 0; i < 4; ++i) {
        frame[5 + i] = static_cast<uint8_t>(data >> (8 * i));
    }
    frame[9] = Checksum(frame.data(), 9);
    return frame;
}

CanMessage DriveMessage::BuildCanMessage(uint32_t nodeId, uint8_t command, uint32_t address,
                                         uint32_t data) {
    CanMessage message{};
    message.id = 0x600 + nodeId;
    message.type = 0;
    message.length = 8;
    message.data[0] = command;
    message.data[1] = static_cast<uint8_t>(address >> 8);
    message.data[2] = static_cast<uint8_t>(address >> 16);
    message.data[3] = static_cast<uint8_t>(address);
    for (int i = 0; i < 4; ++i) {
        message.data[4 + i] = static_cast<uint8_t>(data >> (8 * i));
    }
    return message;
}

int32_t DriveMessage::Send(uint32_t address, uint8_t command, uint32_t data) {
    if (ReplyMatcher::IsSegmentRequest(command)) {
        return SendSegment(address, command, data);
    }
    int32_t result = Exchange(address, command, data, true);
    if (result != 0 || !replyTaken_) {
        return result;
    }
    // A refused write is followed at once by a read of the same entry, so that the caller
    // learns the value the drive holds instead of the abort. So is an acknowledgement that
    // does not carry the value written: it cannot be told from a late reply to an earlier
    // read of the entry.
    if (ReplyMatcher::IsWrite(command) &&
        (ReplyCommand() == kAbortReply || !AcknowledgesValue(command, data))) {
        command = kReadCommand;
        result = Exchange(address, command, data, true);
    }
    if (result == 0 && replyTaken_ && command == kReadCommand) {
        NoteReadReply(address);
    }
    return result;
}

int32_t DriveMessage::Exchange(uint32_t address, uint8_t command, uint32_t data, bool repeat) {
    if (mode_ == CommLibrary::kSerial) {
        return ExchangeSerial(address, command, data, repeat);
    }
    if (mode_ == CommLibrary::kCan) {
        return ExchangeCan(address, command, data, repeat);
    }
    replyTaken_ = false;
    return -1;
}

bool DriveMessage::AcknowledgesValue(uint8_t command, uint32_t data) const {
    int width = command == 0x2F ? 1 : command == 0x2B ? 2 : command == 0x27 ? 3 : 4;
    uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    return (Little32(ReplyData()) & mask) == (data & mask);
}

void DriveMessage::NoteReadReply(uint32_t address) {
    const uint8_t reply = ReplyCommand();
    const bool sameEntry = upload_.address() == address;
    if (expedited_.address == address) {
        expedited_.valid = false;
    }
    if (reply == 0x41) {
        // The drive starts a new upload and drops one it had left unfinished.
        upload_.Start(address, Little32(ReplyData()));
        return;
    }
    if (sameEntry) {
        upload_.Stop();
    }
    if (reply == kAbortReply) {
        return;
    }
    // 0x4F, 0x4B, 0x47, 0x43 say how many of the four bytes hold the value; 0x42 does not.
    expedited_.valid = true;
    expedited_.address = address;
    expedited_.count = (reply & 0x01) != 0 ? static_cast<uint8_t>(4 - ((reply >> 2) & 0x03)) : 4;
    std::memcpy(expedited_.bytes.data(), ReplyData(), expedited_.bytes.size());
}

int32_t DriveMessage::SendSegment(uint32_t address, uint8_t command, uint32_t data) {
    if (upload_.active() && upload_.address() == address && command == upload_.NextCommand()) {
        return FetchSegment(address, data);
    }
    if (expedited_.valid && expedited_.address == address && command == 0x60) {
        expedited_.valid = false;
        ServeExpedited(address);
        return 0;
    }
    // No upload of this entry is known to run: the drive's refusal is passed on, a segment
    // would belong to another entry's upload.
    int32_t result = Exchange(address, command, data, true);
    if (result == 0 && replyTaken_ && ReplyCommand() != kAbortReply) {
        replyTaken_ = false;
        return 2;
    }
    return result;
}

int32_t DriveMessage::FetchSegment(uint32_t address, uint32_t data) {
    const uint8_t command = upload_.NextCommand();
    // A segment request is not repeated: the drive may have taken the first one and would
    // refuse the same toggle again. The whole upload is run again instead.
    for (int attempt = 0;; ++attempt) {
        int32_t result = 2;
        if (attempt == 0 || RestartUpload(address)) {
            result = Exchange(address, command, data, false);
        }
        const bool answered = result == 0 && replyTaken_;
        if (answered && ReplyCommand() != kAbortReply && upload_.Fits(ReplyCommand())) {
            upload_.Deliver(ReplyCommand(), SegmentBytes());
            return 0;
        }
        if (attempt == kUploadRestarts) {
            upload_.Stop();
            if (answered && ReplyCommand() == kAbortReply) {
                return 0;  // the drive's refusal is passed on
            }
            replyTaken_ = false;
            return result != 0 ? result : 2;
        }
    }
}

bool DriveMessage::RestartUpload(uint32_t address) {
    const uint32_t size = upload_.size();
    if (Exchange(address, kReadCommand, 0, true) != 0 || !replyTaken_ || ReplyCommand() != 0x41 ||
        Little32(ReplyData()) != size) {
        return false;
    }
    // The segments delivered before are fetched again and must be the same.
    for (size_t index = 0; index < upload_.delivered(); ++index) {
        if (Exchange(address, SegmentedUpload::CommandOf(index), 0, false) != 0 || !replyTaken_ ||
            !upload_.SameAsDelivered(index, ReplyCommand(), SegmentBytes())) {
            return false;
        }
    }
    return true;
}

void DriveMessage::ServeExpedited(uint32_t address) {
    uint8_t segment[8] = {};
    segment[0] = static_cast<uint8_t>((7 - expedited_.count) << 1 | 0x01);
    std::memcpy(segment + 1, expedited_.bytes.data(), expedited_.count);
    if (mode_ == CommLibrary::kCan) {
        canRequest_ = BuildCanMessage(nodeId_, 0x60, address, 0);
        canReply_ = CanMessage{};
        canReply_.id = 0x580 + nodeId_;
        canReply_.length = 8;
        std::memcpy(canReply_.data, segment, sizeof segment);
    } else {
        serialRequest_ = BuildFrame(nodeId_, 0x60, address, 0);
        serialReply_[0] = static_cast<uint8_t>(nodeId_);
        std::memcpy(serialReply_.data() + 1, segment, sizeof segment);
        serialReply_[9] = Checksum(serialReply_.data(), 9);
    }
    replyTaken_ = true;
}

int32_t DriveMessage::ExchangeSerial(uint32_t address, uint8_t command, uint32_t data,
                                     bool repeat) {
    serialRequest_ = BuildFrame(nodeId_, command, address, data);
    // A reply left from an earlier exchange must never pass for the answer to this one.
    serialReply_.fill(0);
    replyTaken_ = false;
    badReplyCount_ = 0;
    sendFailureCount_ = 0;
    if (!library_.hasObject()) {
        return -1;
    }
    for (;;) {
        int32_t result = library_.Transact(serialRequest_.data(), serialRequest_.size());
        if (result == 0) {
            // The port may hold up to 32 bytes; the reply is its first 10.
            uint8_t received[32] = {};
            uint32_t length = 0;
            library_.FetchReply(received, &length);
            std::memcpy(serialReply_.data(), received, serialReply_.size());
            replyTaken_ = ReplyMatcher::MatchesFrame(serialRequest_.data(), serialReply_.data());
            if (!replyTaken_) {
                serialReply_.fill(0);
            }
            if (observer_) {
                observer_({serialRequest_.data(), serialRequest_.size(),
                           replyTaken_ ? serialReply_.data() : nullptr,
                           replyTaken_ ? serialReply_.size() : 0, result});
            }
            if (replyTaken_) {
                return 0;
            }
            ++badReplyCount_;
        } else {
            serialReply_.fill(0);
            if (observer_) {
                observer_({serialRequest_.data(), serialRequest_.size(), nullptr, 0, result});
            }
            if (!repeat) {
                return 2;
            }
            if (transmitRetry_.load() == 0) {
                return 0;
            }
            ++sendFailureCount_;
        }
        if (!repeat) {
            return 1;
        }
        if (badReplyCount_ > 3) {
            return 1;
        }
        if (sendFailureCount_ > 3) {
            return 2;
        }
    }
}

bool DriveMessage::CanReplyFits() const {
    // A reply carries eight data bytes, like the request: bytes past a shorter length were
    // never sent and must not pass for a value or a segment.
    return canReply_.id == 0x580 + nodeId_ && (canReply_.type & 0x03) == 0 &&
           canReply_.length == 8 && ReplyMatcher::Matches(canRequest_.data, canReply_.data);
}

int32_t DriveMessage::ExchangeCan(uint32_t address, uint8_t command, uint32_t data, bool repeat) {
    canRequest_ = BuildCanMessage(nodeId_, command, address, data);
    canReply_ = CanMessage{};
    replyTaken_ = false;
    sendFailureCount_ = 0;
    if (!library_.hasObject()) {
        return -1;
    }
    for (;;) {
        int32_t result = library_.Transact(&canRequest_, sizeof canRequest_);
        if (result == 0) {
            canReply_ = CanMessage{};
            uint32_t length = 0;
            result = library_.FetchReply(&canReply_, &length);
            // A transmission that brought no reply, or none that answers the request, counts
            // as failed, like a silent line.
            if (result == 0 && !CanReplyFits()) {
                result = 2;
            }
            if (result != 0) {
                canReply_ = CanMessage{};
                result = result < 0 ? result : 2;
            }
        }
        replyTaken_ = result == 0;
        if (observer_) {
            const auto* request = reinterpret_cast<const uint8_t*>(&canRequest_);
            const auto* reply = reinterpret_cast<const uint8_t*>(&canReply_);
            observer_({request, sizeof canRequest_, result == 0 ? reply : nullptr,
                       result == 0 ? sizeof canReply_ : 0, result});
        }
        if (result == 0) {
            return 0;
        }
        if (!repeat) {
            return 2;
        }
        if (transmitRetry_.load() == 0) {
            return 0;
        }
        if (++sendFailureCount_ > 2) {
            return 2;
        }
    }
}

uint8_t DriveMessage::ReplyCommand() const {
    return mode_ == CommLibrary::kCan ? canReply_.data[0] : serialReply_[1];
}

uint8_t DriveMessage::RequestCommand() const {
    return mode_ == CommLibrary::kCan ? canRequest_.data[0] : serialRequest_[1];
}

const uint8_t* DriveMessage::ReplyData() const {
    return mode_ == CommLibrary::kCan ? canReply_.data + 4 : serialReply_.data() + 5;
}

int DriveMessage::Decode(ReplyKind& kind, uint32_t& value) {
    if (mode_ != CommLibrary::kSerial && mode_ != CommLibrary::kCan) {
        return 0;
    }
    replyKind_ = ReplyKind::kUndecoded;
    if (!replyTaken_) {
        // No reply answered the request (the retry switch was off): nothing results.
        kind = replyKind_;
        value = replyValue_;
        return 1;
    }
    const uint8_t reply = ReplyCommand();
    const uint8_t* data = ReplyData();
    if (reply == kAbortReply) {
        replyKind_ = ReplyKind::kAbort;
        replyValue_ = Little32(data);
    } else {
        switch (RequestCommand()) {
            case 0x23:
                replyKind_ = ReplyKind::kValue;
                replyValue_ = Little32(data);
                break;
            case 0x2B:
                replyKind_ = ReplyKind::kValue;
                replyValue_ = uint32_t{data[0]} | uint32_t{data[1]} << 8;
                break;
            case 0x2F:
                replyKind_ = ReplyKind::kValue;
                replyValue_ = data[0];
                break;
            case kReadCommand:
                if (reply == 0x43) {
                    replyKind_ = ReplyKind::kValue;
                    replyValue_ = Little32(data);
                } else if (reply == 0x4B) {
                    replyKind_ = ReplyKind::kValue;
                    replyValue_ = uint32_t{data[0]} | uint32_t{data[1]} << 8;
                } else if (reply == 0x4F || reply == 0x42 || reply == 0x41) {
                    replyKind_ = ReplyKind::kValue;
                    replyValue_ = data[0];
                }
                break;
            case 0x60:
            case 0x70:
                replyKind_ = ReplyKind::kSegment;
                break;
            default:
                break;
        }
    }
    kind = replyKind_;
    value = replyValue_;
    return 1;
}

const uint8_t* DriveMessage::SegmentBytes() const {
    return mode_ == CommLibrary::kCan ? canReply_.data + 1 : serialReply_.data() + 2;
}

DriveSegment DriveMessage::GetSegment() const {
    DriveSegment segment;
    const uint8_t reply = ReplyCommand();
    std::memcpy(segment.bytes.data(), SegmentBytes(), segment.bytes.size());
    segment.count = static_cast<uint8_t>(7 - ((reply >> 1) & 0x07));
    segment.last = (reply & 0x01) != 0;
    return segment;
}

}  // namespace tarvo
