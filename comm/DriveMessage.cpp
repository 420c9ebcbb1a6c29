#include "DriveMessage.h"

#include <cstring>

namespace tarvo {

namespace {

constexpr uint8_t kAbortReply = 0x80;
constexpr uint8_t kReadCommand = 0x40;

bool IsWrite(uint8_t command) {
    return (command & 0xE0) == 0x20;
}

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
    auto exchange = [&](uint8_t cmd) {
        if (mode_ == CommLibrary::kSerial) {
            return ExchangeSerial(address, cmd, data);
        }
        if (mode_ == CommLibrary::kCan) {
            return ExchangeCan(address, cmd, data);
        }
        return int32_t{-1};
    };
    int32_t result = exchange(command);
    // A refused write is followed at once by a read of the same entry, so that the caller
    // learns the value the drive holds instead of the abort.
    if (result == 0 && IsWrite(command) && ReplyCommand() == kAbortReply) {
        result = exchange(kReadCommand);
    }
    return result;
}

int32_t DriveMessage::ExchangeSerial(uint32_t address, uint8_t command, uint32_t data) {
    serialRequest_ = BuildFrame(nodeId_, command, address, data);
    // A reply left from an earlier exchange must never pass for the answer to this one.
    serialReply_.fill(0);
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
            if (observer_) {
                observer_({serialRequest_.data(), serialRequest_.size(), serialReply_.data(),
                           serialReply_.size(), result});
            }
            if (Checksum(serialReply_.data(), 9) == serialReply_[9]) {
                return 0;
            }
            ++badReplyCount_;
        } else {
            serialReply_.fill(0);
            if (observer_) {
                observer_({serialRequest_.data(), serialRequest_.size(), nullptr, 0, result});
            }
            if (transmitRetry_.load() == 0) {
                return 0;
            }
            ++sendFailureCount_;
        }
        if (badReplyCount_ > 3) {
            return 1;
        }
        if (sendFailureCount_ > 3) {
            return 2;
        }
    }
}

int32_t DriveMessage::ExchangeCan(uint32_t address, uint8_t command, uint32_t data) {
    canRequest_ = BuildCanMessage(nodeId_, command, address, data);
    canReply_ = CanMessage{};
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
            // A transmission that brought no reply counts as failed, like a silent line.
            if (result != 0) {
                canReply_ = CanMessage{};
                result = result < 0 ? result : 2;
            }
        }
        if (observer_) {
            const auto* request = reinterpret_cast<const uint8_t*>(&canRequest_);
            const auto* reply = reinterpret_cast<const uint8_t*>(&canReply_);
            observer_({request, sizeof canRequest_, result == 0 ? reply : nullptr,
                       result == 0 ? sizeof canReply_ : 0, result});
        }
        if (result == 0) {
            return 0;
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

DriveSegment DriveMessage::GetSegment() const {
    DriveSegment segment;
    const uint8_t reply = ReplyCommand();
    const uint8_t* bytes =
        mode_ == CommLibrary::kCan ? canReply_.data + 1 : serialReply_.data() + 2;
    std::memcpy(segment.bytes.data(), bytes, segment.bytes.size());
    segment.count = static_cast<uint8_t>(7 - ((reply >> 1) & 0x07));
    segment.last = (reply & 0x01) != 0;
    return segment;
}

}  // namespace tarvo
