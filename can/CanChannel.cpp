#include "can/CanChannel.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "can/PcanBasicBackend.h"
#include "can/PcanBitRate.h"
#include "can/SimBusBackend.h"
#include "can/SocketCanBackend.h"
#include "can/SocketWait.h"
#include "protocol/ReplyMatcher.h"

namespace tarvo::canbus {

namespace {

constexpr uint32_t kMaxTimeoutMs = 60000;

bool IsRequest(const Frame& frame) {
    uint32_t id = frame.Identifier();
    return !frame.IsExtended() && !frame.IsRemote() && id > kCanRequestBase &&
           id < kCanRequestBase + 0x80;
}

}  // namespace

CanChannel::CanChannel(std::string programFolder)
    : folder_(std::move(programFolder)), wakeEvent_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CanChannel::~CanChannel() {
    Close();
    if (wakeEvent_ >= 0) {
        ::close(wakeEvent_);
    }
}

void CanChannel::Fail(const std::string& error) {
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        lastError_ = error;
    }
    std::fprintf(stderr, "libCAN: %s\n", error.c_str());
}

std::string CanChannel::LastError() const {
    std::lock_guard<std::mutex> lock(errorMutex_);
    return lastError_;
}

std::unique_ptr<CanBackend> CanChannel::MakeBackend(const CanSettings& settings) const {
    switch (settings.backend) {
        case CanSettings::Backend::Pcan:
            return std::make_unique<PcanBasicBackend>(settings.library, settings.channel);
        case CanSettings::Backend::SimBus:
            return std::make_unique<SimBusBackend>(settings.socket);
        case CanSettings::Backend::SocketCan:
            break;
    }
    return std::make_unique<SocketCanBackend>(settings.interface);
}

uint32_t CanChannel::Open(const CommSettings* settings) {
    Close();
    if (settings == nullptr) {
        Fail("open without settings");
        return kNoSettings;
    }
    CanSettings ini;
    std::string error;
    if (!CanSettings::Load(folder_, ini, error)) {
        Fail(error);
        return kBadIniFile;
    }
    if (settings->nodeId < 1 || settings->nodeId > 127) {
        Fail("node ID " + std::to_string(settings->nodeId) + " is outside 1-127");
        return kBadNodeId;
    }
    uint32_t bitsPerSecond = PcanBitRate::BitsPerSecond(settings->rate);
    if (bitsPerSecond == 0 && ini.backend != CanSettings::Backend::Pcan) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%04X", settings->rate);
        Fail(std::string("bit-rate code ") + code + " is not a PCAN bit rate");
        return kUnknownBitRate;
    }
    std::unique_ptr<CanBackend> backend = MakeBackend(ini);
    error = backend->Open(settings->rate, bitsPerSecond);
    if (!error.empty()) {
        Fail(ini.Describe() + ": " + error);
        return kBackendFailed;
    }
    if (!ini.trace.empty()) {
        error = trace_.Open(ini.trace);
        if (!error.empty()) {
            Fail(error + " (the bus is open without a trace)");
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    backend_ = std::move(backend);
    backend_->SetWakeEvent(wakeEvent_);
    traceName_ = backend_->TraceName();
    timeoutMs_ = std::min(settings->replyTimeoutMs, kMaxTimeoutMs);
    expectReply_ = haveReply_ = false;
    return 0;
}

void CanChannel::Close() {
    // A transmit waiting for its reply sees the event and lets go of the lock, and so does
    // every transmit that gets the lock before this close does.
    if (wakeEvent_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wakeEvent_, &one, sizeof one);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (backend_) {
        backend_->Close();
        backend_.reset();
    }
    trace_.Close();
    expectReply_ = haveReply_ = false;
    if (wakeEvent_ >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t taken = ::read(wakeEvent_, &count, sizeof count);
    }
}

bool CanChannel::Matches(const Frame& reply) const {
    // The drive's replies carry eight data bytes; a shorter frame leaves bytes of the value
    // or segment unsent.
    if (reply.IsExtended() || reply.IsRemote() || reply.length != 8 ||
        reply.Identifier() != request_.Identifier() - kCanRequestBase + kCanReplyBase) {
        return false;
    }
    // A late reply to an earlier request, a segment of the wrong toggle or a reply of a kind
    // the request cannot have is skipped.
    return tarvo::ReplyMatcher::Matches(request_.data, reply.data);
}

void CanChannel::DrainStale() {
    // Frames left over from an earlier exchange are not the reply to this one.
    std::string error;
    Frame stale;
    while (backend_->Receive(stale, 0, error) == 1) {
        trace_.Write(stale, traceName_);
    }
}

std::string CanChannel::SendMessage(const CanMessage& message, Frame& frame) {
    bool extended = (message.type & 0x02) != 0;
    frame.id = extended ? ((message.id & 0x1FFFFFFFu) | Frame::kExtended) : (message.id & 0x7FFu);
    if ((message.type & 0x01) != 0) {
        frame.id |= Frame::kRemote;
    }
    frame.length = message.length > 8 ? 8 : message.length;
    std::memcpy(frame.data, message.data, 8);
    std::string error = backend_->Send(frame);
    if (error.empty()) {
        trace_.Write(frame, traceName_);
    }
    return error;
}

void CanChannel::Store(const Frame& frame, CanMessage& message) {
    std::memset(&message, 0, sizeof message);
    message.id = frame.Identifier();
    message.type =
        static_cast<uint8_t>((frame.IsExtended() ? 0x02 : 0) | (frame.IsRemote() ? 0x01 : 0));
    message.length = frame.length;
    std::memcpy(message.data, frame.data, 8);
}

uint32_t CanChannel::Probe(const CanMessage* requests, uint32_t count, CanMessage* replies) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!backend_ || requests == nullptr || replies == nullptr || Signalled(wakeEvent_)) {
        return kNotOpen;
    }
    DrainStale();
    std::vector<Frame> sent(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::memset(&replies[i], 0, sizeof replies[i]);
        std::string error = SendMessage(requests[i], sent[i]);
        if (!error.empty()) {
            Fail(error);
            return kSendFailed;
        }
    }
    // The single exchanges that follow do not take a reply of the scan for theirs.
    expectReply_ = haveReply_ = false;
    uint32_t open = count;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
    while (open > 0) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        Frame received;
        std::string error;
        int got = backend_->Receive(received, left > 0 ? left : 0, error);
        if (got < 0) {
            Fail(error);
            return kBusLost;
        }
        if (got == 0) {
            break;
        }
        trace_.Write(received, traceName_);
        if (received.IsExtended() || received.IsRemote() || received.length != 8) {
            continue;
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (replies[i].length == 0 && IsRequest(sent[i]) &&
                received.Identifier() == sent[i].Identifier() - kCanRequestBase + kCanReplyBase &&
                tarvo::ReplyMatcher::Matches(sent[i].data, received.data)) {
                Store(received, replies[i]);
                --open;
                break;
            }
        }
    }
    return 0;
}

uint32_t CanChannel::Transmit(const CanMessage* message) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A close is under way: nothing more goes out.
    if (!backend_ || message == nullptr || Signalled(wakeEvent_)) {
        return kNotOpen;
    }
    DrainStale();
    Frame frame;
    std::string error = SendMessage(*message, frame);
    if (!error.empty()) {
        Fail(error);
        return kSendFailed;
    }
    request_ = frame;
    haveReply_ = false;
    expectReply_ = IsRequest(frame);
    if (!expectReply_) {
        return 0;
    }
    auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(tarvo::ReplyMatcher::ReplyWaitMs(frame.data, timeoutMs_));
    for (;;) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        Frame received;
        int got = backend_->Receive(received, left > 0 ? left : 0, error);
        if (got < 0) {
            Fail(error);
            return kBusLost;
        }
        if (got == 0) {
            return kNoReply;
        }
        trace_.Write(received, traceName_);
        if (Matches(received)) {
            reply_ = received;
            haveReply_ = true;
            return 0;
        }
    }
}

uint32_t CanChannel::Receive(CanMessage* message) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (message == nullptr || !haveReply_) {
        return 1;
    }
    Store(reply_, *message);
    haveReply_ = false;
    return 0;
}

uint32_t CanChannel::ReadVersion(char* text256) {
    if (text256 == nullptr) {
        return 0;
    }
    CanSettings ini;
    std::string error;
    if (!CanSettings::Load(folder_, ini, error)) {
        Fail(error);
        return 0;
    }
    std::unique_ptr<CanBackend> probe = MakeBackend(ini);
    std::string detail;
    if (!probe->Probe(detail)) {
        Fail(ini.Describe() + ": " + detail);
        return 0;
    }
    detail += " [" + ini.Describe() + "]";
    // Whatever stands before the version must not hold a ':' of its own.
    for (char& c : detail) {
        if (c == ':') {
            c = '.';
        }
    }
    std::string text = "TarvoStep CAN library, " + detail + ", version :" + kVersion;
    std::snprintf(text256, 256, "%s", text.c_str());
    return 1;
}

}  // namespace tarvo::canbus
