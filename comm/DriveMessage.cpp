#include "comm/DriveMessage.h"

#include <cstdio>
#include <cstring>

#include "protocol/ReplyMatcher.h"
#include "protocol/Rs232Frame.h"

namespace tarvo {

namespace {

constexpr uint8_t kAbortReply = ToByte(SdoReplyCommand::Abort);
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

void DriveMessage::SetExchangeObserver(ExchangeObserver observer) {
    auto shared = observer ? std::make_shared<const ExchangeObserver>(std::move(observer))
                           : std::shared_ptr<const ExchangeObserver>();
    std::lock_guard lock(observerMutex_);
    observer_ = std::move(shared);
}

void DriveMessage::Notify(const DriveExchange& exchange) const {
    if (exchangeObserver_) {
        (*exchangeObserver_)(exchange);
    }
}

Rs232Frame::Bytes DriveMessage::BuildFrame(uint32_t nodeId, SdoCommand command, uint32_t address,
                                           uint32_t data) {
    return Rs232Frame::Encode(static_cast<uint8_t>(nodeId), ToByte(command), address, data);
}

CanMessage DriveMessage::BuildCanMessage(uint32_t nodeId, SdoCommand command, uint32_t address,
                                         uint32_t data) {
    CanMessage message{};
    message.id = kCanRequestBase + nodeId;
    message.type = 0;
    message.length = 8;
    Rs232Frame::Put(message.data, ToByte(command), address, data);
    return message;
}

std::string DriveMessage::FailureReason() const {
    std::lock_guard lock(reasonMutex_);
    return failureReason_;
}

ExchangeResult DriveMessage::Send(uint32_t address, SdoCommand command, uint32_t data) {
    {
        std::lock_guard lock(reasonMutex_);
        failureReason_.clear();
    }
    port_ = library_.Acquire();
    exchangeMode_ = port_.mode();
    exchangeNode_ = nodeId_.load();
    {
        std::lock_guard lock(observerMutex_);
        exchangeObserver_ = observer_;
    }
    ExchangeResult result = SendOnPort(address, command, data);
    // An object that Load replaced meanwhile is released here, its exchange over.
    port_ = CommLibrary::Port();
    exchangeObserver_.reset();
    return result;
}

ExchangeResult DriveMessage::SendOnPort(uint32_t address, SdoCommand command, uint32_t data) {
    if (IsSegmentCommand(command)) {
        return SendSegment(address, command, data);
    }
    ExchangeResult result = Exchange(address, command, data, true);
    if (result != ExchangeResult::Answered || !replyTaken_) {
        return result;
    }
    // A refused write is followed at once by a read of the same entry, so that the caller
    // learns the value the drive holds instead of the abort. So is an acknowledgement that
    // does not carry the value written: it cannot be told from a late reply to an earlier
    // read of the entry.
    if (IsWriteCommand(command) &&
        (ReplyCommand() == kAbortReply || !AcknowledgesValue(command, data))) {
        command = SdoCommand::Read;
        result = Exchange(address, command, data, true);
    }
    if (result == ExchangeResult::Answered && replyTaken_ && command == SdoCommand::Read) {
        NoteReadReply(address);
    }
    return result;
}

ExchangeResult DriveMessage::Exchange(uint32_t address, SdoCommand command, uint32_t data,
                                      bool repeat) {
    if (exchangeMode_ == CommLibrary::kSerial) {
        return ExchangeSerial(address, command, data, repeat);
    }
    if (exchangeMode_ == CommLibrary::kCan) {
        return ExchangeCan(address, command, data, repeat);
    }
    replyTaken_ = false;
    return ExchangeResult::NoInterface;
}

bool DriveMessage::AcknowledgesValue(SdoCommand command, uint32_t data) const {
    int width = WidthOfWrite(command);
    uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    return (Little32(ReplyData()) & mask) == (data & mask);
}

void DriveMessage::NoteReadReply(uint32_t address) {
    const uint8_t reply = ReplyCommand();
    const bool sameEntry = upload_.address() == address;
    if (expedited_.address == address) {
        expedited_.valid = false;
    }
    if (reply == ToByte(SdoReplyCommand::UploadInitiate)) {
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
    expedited_.valid = true;
    expedited_.address = address;
    expedited_.count = ExpeditedByteCount(reply);
    std::memcpy(expedited_.bytes.data(), ReplyData(), expedited_.bytes.size());
}

ExchangeResult DriveMessage::SendSegment(uint32_t address, SdoCommand command, uint32_t data) {
    if (upload_.active() && upload_.address() == address && command == upload_.NextCommand()) {
        return FetchSegment(address, data);
    }
    if (expedited_.valid && expedited_.address == address &&
        command == SdoCommand::SegmentToggleClear) {
        expedited_.valid = false;
        ServeExpedited(address);
        return ExchangeResult::Answered;
    }
    // No upload of this entry is known to run: the drive's refusal is passed on, a segment
    // would belong to another entry's upload.
    ExchangeResult result = Exchange(address, command, data, true);
    if (result == ExchangeResult::Answered && replyTaken_ && ReplyCommand() != kAbortReply) {
        replyTaken_ = false;
        return ExchangeResult::TransmitFailed;
    }
    return result;
}

ExchangeResult DriveMessage::FetchSegment(uint32_t address, uint32_t data) {
    const SdoCommand command = upload_.NextCommand();
    // A segment request is not repeated: the drive may have taken the first one and would
    // refuse the same toggle again. The whole upload is run again instead.
    for (int attempt = 0;; ++attempt) {
        ExchangeResult result = ExchangeResult::TransmitFailed;
        const bool started = attempt == 0 || RestartUpload(address);
        if (started) {
            result = Exchange(address, command, data, false);
        }
        const bool answered = result == ExchangeResult::Answered && replyTaken_;
        if (answered && ReplyCommand() != kAbortReply && upload_.Fits(ReplyCommand())) {
            upload_.Deliver(ReplyCommand(), SegmentBytes());
            return ExchangeResult::Answered;
        }
        if (attempt == kUploadRestarts) {
            upload_.Stop();
            if (answered && ReplyCommand() == kAbortReply) {
                return ExchangeResult::Answered;  // the drive's refusal is passed on
            }
            replyTaken_ = false;
            const char* cause = !started ? "the drive answered the new start differently or not "
                                           "at all"
                                : answered
                                    ? "the drive's segments did not fit the size it announced"
                                    : "the drive's segment replies came late or not at all";
            char text[200];
            std::snprintf(text, sizeof text,
                          "the upload of %04X:%02X was given up after it was started over %d "
                          "times: %s",
                          address >> 8, address & 0xFF, kUploadRestarts, cause);
            {
                std::lock_guard lock(reasonMutex_);
                failureReason_ = text;
            }
            return result != ExchangeResult::Answered ? result : ExchangeResult::TransmitFailed;
        }
    }
}

bool DriveMessage::RestartUpload(uint32_t address) {
    const uint32_t size = upload_.size();
    if (Exchange(address, SdoCommand::Read, 0, true) != ExchangeResult::Answered || !replyTaken_ ||
        ReplyCommand() != ToByte(SdoReplyCommand::UploadInitiate) ||
        Little32(ReplyData()) != size) {
        return false;
    }
    // The segments delivered before are fetched again and must be the same.
    for (size_t index = 0; index < upload_.delivered(); ++index) {
        if (Exchange(address, SegmentedUpload::CommandOf(index), 0, false) !=
                ExchangeResult::Answered ||
            !replyTaken_ || !upload_.SameAsDelivered(index, ReplyCommand(), SegmentBytes())) {
            return false;
        }
    }
    return true;
}

void DriveMessage::ServeExpedited(uint32_t address) {
    uint8_t segment[8] = {};
    segment[0] = SegmentReplyByte(false, expedited_.count, true);
    std::memcpy(segment + 1, expedited_.bytes.data(), expedited_.count);
    if (exchangeMode_ == CommLibrary::kCan) {
        canRequest_ = BuildCanMessage(exchangeNode_, SdoCommand::SegmentToggleClear, address, 0);
        canReply_ = CanMessage{};
        canReply_.id = kCanReplyBase + exchangeNode_;
        canReply_.length = 8;
        std::memcpy(canReply_.data, segment, sizeof segment);
    } else {
        serialRequest_ = BuildFrame(exchangeNode_, SdoCommand::SegmentToggleClear, address, 0);
        serialReply_ = Rs232Frame::Encode(static_cast<uint8_t>(exchangeNode_), segment);
    }
    replyTaken_ = true;
}

ExchangeResult DriveMessage::ExchangeSerial(uint32_t address, SdoCommand command, uint32_t data,
                                            bool repeat) {
    serialRequest_ = BuildFrame(exchangeNode_, command, address, data);
    // A reply left from an earlier exchange must never pass for the answer to this one.
    serialReply_.fill(0);
    replyTaken_ = false;
    badReplyCount_ = 0;
    sendFailureCount_ = 0;
    if (!port_.valid()) {
        return ExchangeResult::NoInterface;
    }
    for (;;) {
        int32_t result = port_.Transact(serialRequest_.data(), serialRequest_.size());
        if (result == 0) {
            // The port may hold up to 32 bytes; the reply is its first 10.
            uint8_t received[32] = {};
            uint32_t length = 0;
            port_.FetchReply(received, &length);
            std::memcpy(serialReply_.data(), received, serialReply_.size());
            replyTaken_ = ReplyMatcher::MatchesFrame(serialRequest_.data(), serialReply_.data());
            if (!replyTaken_) {
                serialReply_.fill(0);
            }
            Notify({serialRequest_.data(), serialRequest_.size(),
                    replyTaken_ ? serialReply_.data() : nullptr,
                    replyTaken_ ? serialReply_.size() : 0, result});
            if (replyTaken_) {
                return ExchangeResult::Answered;
            }
            ++badReplyCount_;
        } else {
            serialReply_.fill(0);
            Notify({serialRequest_.data(), serialRequest_.size(), nullptr, 0, result});
            if (!repeat) {
                return ExchangeResult::TransmitFailed;
            }
            if (transmitRetry_.load() == 0) {
                return ExchangeResult::Answered;
            }
            ++sendFailureCount_;
        }
        if (!repeat || badReplyCount_ > 3) {
            return ExchangeResult::BadReplies;
        }
        if (sendFailureCount_ > 3) {
            return ExchangeResult::TransmitFailed;
        }
    }
}

bool DriveMessage::CanReplyFits() const {
    // A reply carries eight data bytes, like the request: bytes past a shorter length were
    // never sent and must not pass for a value or a segment.
    return canReply_.id == kCanReplyBase + exchangeNode_ && (canReply_.type & 0x03) == 0 &&
           canReply_.length == 8 && ReplyMatcher::Matches(canRequest_.data, canReply_.data);
}

ExchangeResult DriveMessage::ExchangeCan(uint32_t address, SdoCommand command, uint32_t data,
                                         bool repeat) {
    canRequest_ = BuildCanMessage(exchangeNode_, command, address, data);
    canReply_ = CanMessage{};
    replyTaken_ = false;
    sendFailureCount_ = 0;
    if (!port_.valid()) {
        return ExchangeResult::NoInterface;
    }
    for (;;) {
        int32_t result = port_.Transact(&canRequest_, sizeof canRequest_);
        if (result == 0) {
            canReply_ = CanMessage{};
            uint32_t length = 0;
            result = port_.FetchReply(&canReply_, &length);
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
        const auto* request = reinterpret_cast<const uint8_t*>(&canRequest_);
        const auto* reply = reinterpret_cast<const uint8_t*>(&canReply_);
        Notify({request, sizeof canRequest_, result == 0 ? reply : nullptr,
                result == 0 ? sizeof canReply_ : 0, result});
        if (result == 0) {
            return ExchangeResult::Answered;
        }
        if (!repeat) {
            return ExchangeResult::TransmitFailed;
        }
        if (transmitRetry_.load() == 0) {
            return ExchangeResult::Answered;
        }
        if (++sendFailureCount_ > 2) {
            return ExchangeResult::TransmitFailed;
        }
    }
}

const uint8_t* DriveMessage::ReplyProtocol() const {
    return exchangeMode_ == CommLibrary::kCan ? canReply_.data
                                              : serialReply_.data() + Rs232Frame::kProtocolOffset;
}

uint8_t DriveMessage::ReplyCommand() const {
    return ReplyProtocol()[0];
}

uint8_t DriveMessage::RequestCommand() const {
    return exchangeMode_ == CommLibrary::kCan ? canRequest_.data[0]
                                              : serialRequest_[Rs232Frame::kProtocolOffset];
}

const uint8_t* DriveMessage::ReplyData() const {
    return ReplyProtocol() + 4;
}

int DriveMessage::Decode(ReplyKind& kind, uint32_t& value) {
    const int32_t mode = mode_.load();
    if (mode != CommLibrary::kSerial && mode != CommLibrary::kCan) {
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
        switch (static_cast<SdoCommand>(RequestCommand())) {
            case SdoCommand::Write32:
                replyKind_ = ReplyKind::kValue;
                replyValue_ = Little32(data);
                break;
            case SdoCommand::Write16:
                replyKind_ = ReplyKind::kValue;
                replyValue_ = uint32_t{data[0]} | uint32_t{data[1]} << 8;
                break;
            case SdoCommand::Write8:
                replyKind_ = ReplyKind::kValue;
                replyValue_ = data[0];
                break;
            case SdoCommand::Read:
                if (reply == ToByte(SdoReplyCommand::Value32)) {
                    replyKind_ = ReplyKind::kValue;
                    replyValue_ = Little32(data);
                } else if (reply == ToByte(SdoReplyCommand::Value16)) {
                    replyKind_ = ReplyKind::kValue;
                    replyValue_ = uint32_t{data[0]} | uint32_t{data[1]} << 8;
                } else if (reply == ToByte(SdoReplyCommand::Value8) ||
                           reply == ToByte(SdoReplyCommand::ValueUnsized) ||
                           reply == ToByte(SdoReplyCommand::UploadInitiate)) {
                    replyKind_ = ReplyKind::kValue;
                    replyValue_ = data[0];
                }
                break;
            case SdoCommand::SegmentToggleClear:
            case SdoCommand::SegmentToggleSet:
                replyKind_ = ReplyKind::kSegment;
                break;
            default:  // 0x27 among them: no value results
                break;
        }
    }
    kind = replyKind_;
    value = replyValue_;
    return 1;
}

const uint8_t* DriveMessage::SegmentBytes() const {
    return ReplyProtocol() + 1;
}

DriveSegment DriveMessage::GetSegment() const {
    DriveSegment segment;
    const uint8_t reply = ReplyCommand();
    std::memcpy(segment.bytes.data(), SegmentBytes(), segment.bytes.size());
    segment.count = SegmentByteCount(reply);
    segment.last = (reply & kSegmentLastBit) != 0;
    return segment;
}

}  // namespace tarvo
