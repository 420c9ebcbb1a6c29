#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "comm/CommLibrary.h"
#include "protocol/CanObjectAbi.h"
#include "protocol/DriveProtocol.h"
#include "protocol/Rs232Frame.h"
#include "protocol/SegmentedUpload.h"

namespace tarvo {

class MessageBox;

// The seven bytes behind a segment reply's command byte and how many of them hold data.
struct DriveSegment {
    std::array<uint8_t, 7> bytes{};
    uint8_t count = 0;
    bool last = false;  // the reply's last-segment bit: no further segment follows
};

// One transmission as it went over the line, for traces.
struct DriveExchange {
    const uint8_t* request = nullptr;
    size_t requestLength = 0;
    const uint8_t* reply = nullptr;  // the reply bytes taken, or null when none came
    size_t replyLength = 0;
    int32_t transactResult = 0;  // the library's result for this transmission
};

// One request and one reply in the style of an expedited SDO: builds the frame of the
// current interface, sends it with its repetitions, checks that the reply answers it and
// decodes it. Send, Decode and GetSegment belong to the control link's worker; Load, Open,
// Close, ReadVersion, SetNodeId and SetExchangeObserver may be called on another thread
// meanwhile and never wait for an exchange: each Send takes the interface's object, the
// node ID and the observer once, when it starts, and keeps them to its end.
//
// Uploads: a read answered with 0x41 starts a segmented upload of that entry; the segment
// requests that follow (0x60, 0x70, ... with the entry's address) are checked against it, and
// a segment exchange that fails runs the upload again from its initiate request (at most
// twice), so a caller is given each segment once, checked, or a failure. A segment request
// that follows a read answered with a value is answered with that value's bytes as the last
// segment. A segment request for an entry with no upload known to run gets the drive's
// refusal, or a failure when the drive answers with a segment (of another entry's upload).
class DriveMessage {
public:
    using ExchangeObserver = std::function<void(const DriveExchange&)>;

    DriveMessage(const std::string& programFolder, MessageBox& messageBox,
                 const std::atomic<int32_t>& transmitRetry);

    void SetNodeId(uint32_t nodeId) { nodeId_.store(nodeId); }
    int Load(int32_t mode);
    int32_t Open(const CommSettings* settings) { return library_.Open(settings); }
    void Close() { library_.Close(); }
    int32_t ReadVersion(char* text256) { return library_.ReadVersion(text256); }

    // Answered: a valid reply is in the reply buffer (or the retry switch is off).
    ExchangeResult Send(uint32_t address, SdoCommand command, uint32_t data);
    // 1 with kind and value written (the kind may be kUndecoded) in RS232 and CAN mode. A
    // Send that took no reply (the retry switch off) decodes as kUndecoded.
    int Decode(ReplyKind& kind, uint32_t& value);
    DriveSegment GetSegment() const;

    // Called on the sending thread after every transmission, with the reply accepted for it
    // (none when no reply answered it); from the next Send on.
    void SetExchangeObserver(ExchangeObserver observer);

    // What went wrong in the last Send beyond a missing reply (an upload given up after its
    // restarts), as a sentence for the user; empty when there is nothing more to say.
    std::string FailureReason() const;

    int32_t mode() const { return mode_.load(); }
    CommLibrary& library() { return library_; }

    static Rs232Frame::Bytes BuildFrame(uint32_t nodeId, SdoCommand command, uint32_t address,
                                        uint32_t data);
    static CanMessage BuildCanMessage(uint32_t nodeId, SdoCommand command, uint32_t address,
                                      uint32_t data);

private:
    // Bytes of an expedited reply to a read, kept for a segment request of that entry.
    struct ExpeditedValue {
        bool valid = false;
        uint32_t address = 0;
        std::array<uint8_t, 4> bytes{};
        uint8_t count = 0;
    };

    ExchangeResult SendOnPort(uint32_t address, SdoCommand command, uint32_t data);
    void Notify(const DriveExchange& exchange) const;
    // One exchange of the current mode; `repeat` allows the repetitions of a failed one.
    ExchangeResult Exchange(uint32_t address, SdoCommand command, uint32_t data, bool repeat);
    ExchangeResult ExchangeSerial(uint32_t address, SdoCommand command, uint32_t data, bool repeat);
    ExchangeResult ExchangeCan(uint32_t address, SdoCommand command, uint32_t data, bool repeat);
    bool CanReplyFits() const;
    // The write's acknowledgement carries the value written, cut to its width.
    bool AcknowledgesValue(SdoCommand command, uint32_t data) const;
    void NoteReadReply(uint32_t address);
    ExchangeResult SendSegment(uint32_t address, SdoCommand command, uint32_t data);
    ExchangeResult FetchSegment(uint32_t address, uint32_t data);
    bool RestartUpload(uint32_t address);
    void ServeExpedited(uint32_t address);
    const uint8_t* SegmentBytes() const;
    // The reply's eight protocol bytes, its command byte and its four data bytes, whichever
    // the interface.
    const uint8_t* ReplyProtocol() const;
    uint8_t ReplyCommand() const;
    uint8_t RequestCommand() const;
    const uint8_t* ReplyData() const;

    std::atomic<int32_t> mode_{1};
    ReplyKind replyKind_ = ReplyKind::kUndecoded;
    uint32_t replyValue_ = 0;
    uint8_t badReplyCount_ = 0;
    uint8_t sendFailureCount_ = 0;
    bool replyTaken_ = false;  // the reply buffer holds the reply to the last request
    CommLibrary library_;
    CanMessage canRequest_{};
    CanMessage canReply_{};
    Rs232Frame::Bytes serialRequest_{};
    Rs232Frame::Bytes serialReply_{};
    std::atomic<uint32_t> nodeId_{0};
    SegmentedUpload upload_;
    ExpeditedValue expedited_;
    const std::atomic<int32_t>& transmitRetry_;
    mutable std::mutex observerMutex_;
    std::shared_ptr<const ExchangeObserver> observer_;
    mutable std::mutex reasonMutex_;
    std::string failureReason_;
    // What the running Send works with, taken when it starts; the buffers above belong to
    // the interface of the last Send.
    CommLibrary::Port port_;
    int32_t exchangeMode_ = 1;
    uint32_t exchangeNode_ = 0;
    std::shared_ptr<const ExchangeObserver> exchangeObserver_;
};

}  // namespace tarvo
