#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "can/CanBackend.h"
#include "can/CanSettings.h"
#include "can/CanTrace.h"
#include "protocol/CanObjectAbi.h"

namespace tarvo::canbus {

// The CAN object behind the library's operation table. Open reads sys/can.ini, picks the
// backend and opens it at the bit rate of the chosen code. Transmit sends a request and
// waits for the drive's reply to it (identifier 0x580 + node and a reply that answers the
// request, see ReplyMatcher), skipping every other frame; so a drive that stays silent makes
// the transmit fail, and the message layer repeats it, instead of reading an empty reply.
class CanChannel {
public:
    // Open results besides 0.
    static constexpr uint32_t kNoSettings = 1;
    static constexpr uint32_t kBadIniFile = 2;
    static constexpr uint32_t kBadNodeId = 3;
    static constexpr uint32_t kUnknownBitRate = 4;
    static constexpr uint32_t kBackendFailed = 5;
    // Transmit results besides 0.
    static constexpr uint32_t kNotOpen = 1;
    static constexpr uint32_t kSendFailed = 2;
    static constexpr uint32_t kNoReply = 3;
    static constexpr uint32_t kBusLost = 4;

    explicit CanChannel(std::string programFolder);
    virtual ~CanChannel();
    CanChannel(const CanChannel&) = delete;
    CanChannel& operator=(const CanChannel&) = delete;

    uint32_t Open(const CommSettings* settings);
    uint32_t Transmit(const CanMessage* message);
    uint32_t Receive(CanMessage* message);
    // A bus scan: sends every request back to back, then takes the replies that answer them
    // until each request has its reply or the reply timeout has passed since the last send.
    // replies[i] gets the reply to requests[i] (length 8), or stays zeroed (length 0) when
    // none came. A frame that answers no request, or one already answered, is skipped.
    // 0, or kNotOpen, kSendFailed, kBusLost.
    uint32_t Probe(const CanMessage* requests, uint32_t count, CanMessage* replies);
    // Nonzero with "... :VERSION" in the 256-byte buffer when the backend's driver is there.
    uint32_t ReadVersion(char* text256);
    // Safe from another thread while a transmit waits for its reply: the wait ends at once
    // and the transmit fails.
    void Close();

    std::string LastError() const;

    static constexpr const char* kVersion = "1.0.0";

protected:
    // The backend that can.ini chooses; a stand-in bus (the fuzz targets' one) replaces it.
    virtual std::unique_ptr<CanBackend> MakeBackend(const CanSettings& settings) const;

private:
    bool Matches(const Frame& reply) const;
    // Sends one frame of the caller; empty on success, else what went wrong. Under mutex_.
    std::string SendMessage(const CanMessage& message, Frame& frame);
    void DrainStale();
    static void Store(const Frame& frame, CanMessage& message);
    void Fail(const std::string& error);

    std::string folder_;
    std::mutex mutex_;    // one exchange at a time; Close wakes it and waits for it to end
    int wakeEvent_ = -1;  // signalled by Close while it waits for mutex_
    std::unique_ptr<CanBackend> backend_;
    CanTrace trace_;
    std::string traceName_;
    uint32_t timeoutMs_ = 500;
    Frame request_;
    bool expectReply_ = false;
    bool haveReply_ = false;
    Frame reply_;

    mutable std::mutex errorMutex_;
    std::string lastError_;
};

}  // namespace tarvo::canbus
