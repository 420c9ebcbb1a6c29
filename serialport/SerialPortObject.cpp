#include "serialport/SerialPortObject.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "protocol/ReplyMatcher.h"
#include "protocol/Rs232Frame.h"
#include "serialport/PortPath.h"

namespace tarvo::serial {

namespace {

// How long the transmit step waits for room in the output queue before it gives up.
constexpr int kWriteTimeoutMs = 1000;
// Bytes keep each wait for the reply alive, but a line that keeps talking without ever
// answering ends the transaction after this many reply timeouts.
constexpr int64_t kTalkingLineTimeouts = 4;

void SignalEvent(int fd) {
    if (fd >= 0) {
        uint64_t one = 1;
        (void)::write(fd, &one, sizeof one);
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// The exclusive mode belongs to the terminal, not to the descriptor: left set, it outlives
// the close wherever the terminal stays (a pseudo-terminal whose other end is open) and
// refuses every later open of a user without privileges.
void ClosePort(int& fd) {
    if (fd >= 0) {
        (void)::ioctl(fd, TIOCNXCL);
        CloseFd(fd);
    }
}

}  // namespace

SerialPortObject::~SerialPortObject() {
    Close();
}

uint32_t SerialPortObject::Open(const SerialConfig* config) {
    if (config == nullptr) {
        return EINVAL;
    }
    std::string path;
    if (!PortPath::FromName(config->portName, path)) {
        return EINVAL;
    }
    // A second Open on an open object starts over rather than leaking the first port.
    Close();

    std::lock_guard lock(lock_);
    settings_.baudRate = config->dcb.BaudRate;
    settings_.byteSize = config->dcb.ByteSize;
    settings_.parity = config->dcb.Parity;
    settings_.stopBits = config->dcb.StopBits;
    replyTimeoutMs_ = config->replyTimeoutMs;
    path_ = path;

    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return static_cast<uint32_t>(errno);
    }
    bool exclusive = false;
    auto fail = [&](int error) {
        if (exclusive) {
            ClosePort(fd);
        } else {
            CloseFd(fd);
        }
        return static_cast<uint32_t>(error);
    };
    if (!::isatty(fd)) {
        return fail(ENOTTY);
    }
    // The port is ours alone: the lock refuses other users of this library even when they
    // run with privileges, TIOCEXCL refuses later opens. The lock comes first, so that an
    // open refused by it never clears the exclusive mode of the object holding the port.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return fail(errno);
    }
    exclusive = true;
    if (int error = LineControl::Apply(fd, settings_); error != 0) {
        return fail(error);
    }
    LineControl::DropModemLines(fd);
    LineControl::RequestLowLatency(fd, path.c_str());
    if (int error = LineControl::Purge(fd); error != 0) {
        return fail(error);
    }

    std::lock_guard handles(handleMutex_);
    port_ = fd;
    stopEvent_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    stopRequested_ = false;
    return 0;
}

uint32_t SerialPortObject::Transact(const uint8_t* frame, uint32_t length) {
    if (length > kBufferSize || (frame == nullptr && length != 0)) {
        return kSerialNoReply;
    }
    if (!BeginUse()) {
        return kSerialNotOpen;
    }
    std::memset(transmitBuffer_, 0, sizeof transmitBuffer_);
    transmitLength_ = length;
    if (length != 0) {
        std::memcpy(transmitBuffer_, frame, length);
    }
    receiver_.Expect(transmitBuffer_, length);
    transmitRequested_ = true;
    uint32_t result = WaitLoop();
    if (result != kSerialReplyReady && receiver_.Matching()) {
        // Bytes that may have begun a reply are no reply.
        receiver_.Clear();
    }
    EndUse();
    return result;
}

uint32_t SerialPortObject::WaitLoop() {
    if (port_ < 0) {
        return kSerialNotOpen;
    }
    // A segment request waits a grace period longer: it cannot be sent again.
    const uint32_t replyWait =
        transmitLength_ == kReplyLength
            ? tarvo::ReplyMatcher::ReplyWaitMs(transmitBuffer_ + tarvo::Rs232Frame::kProtocolOffset,
                                               replyTimeoutMs_)
            : replyTimeoutMs_;
    const int timeout = static_cast<int>(std::min<uint32_t>(replyWait, INT_MAX / 8));
    using Clock = std::chrono::steady_clock;
    Clock::time_point giveUp = Clock::time_point::max();
    for (;;) {
        if (port_ < 0) {
            return kSerialNotOpen;
        }
        // The stop request goes before everything, as it heads the wait set.
        if (stopRequested_.load()) {
            std::lock_guard handles(handleMutex_);
            CloseHandles();
            continue;
        }
        // A requested transmission is served before the line is watched: its step purges
        // whatever came in before it, and no reply can precede its request.
        if (transmitRequested_) {
            transmitRequested_ = false;
            receiver_.Clear();
            if (!TransmitStep()) {
                return kSerialNoReply;
            }
            giveUp = Clock::now() + std::chrono::milliseconds(timeout * kTalkingLineTimeouts);
            continue;
        }
        int wait = timeout;
        if (giveUp != Clock::time_point::max()) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - Clock::now());
            if (left.count() <= 0 && timeout > 0) {
                return kSerialNoReply;
            }
            wait = static_cast<int>(std::clamp<int64_t>(left.count(), 0, timeout));
        }
        // Until the first transmission, bytes already on the line are not watched for.
        pollfd set[2] = {{stopEvent_, POLLIN, 0},
                         {port_, static_cast<short>(firstUse_ != 0 ? 0 : POLLIN), 0}};
        int ready = ::poll(set, 2, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kSerialNotOpen;
        }
        if (ready == 0) {
            return kSerialNoReply;
        }
        if (set[0].revents != 0) {
            std::lock_guard handles(handleMutex_);
            CloseHandles();
            continue;
        }
        if ((set[1].revents & POLLIN) != 0 && ReceiveStep() && receiver_.Count() >= kReplyLength) {
            return kSerialReplyReady;
        }
        // A hung-up or failed line (the cable pulled, the adapter gone) ends the wait.
        if ((set[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return kSerialNotOpen;
        }
    }
}

bool SerialPortObject::TransmitStep() {
    std::lock_guard lock(lock_);
    firstUse_ = 0;
    if (LineControl::Purge(port_) != 0) {
        return false;
    }
    uint32_t written = 0;
    while (written < transmitLength_) {
        ssize_t n = ::write(port_, transmitBuffer_ + written, transmitLength_ - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return false;
        }
        pollfd out{port_, POLLOUT, 0};
        if (::poll(&out, 1, kWriteTimeoutMs) <= 0 || (out.revents & POLLOUT) == 0) {
            return false;
        }
    }
    return true;
}

bool SerialPortObject::ReceiveStep() {
    std::lock_guard lock(lock_);
    bool took = false;
    for (;;) {
        int queued = 0;
        if (::ioctl(port_, FIONREAD, &queued) != 0 || queued <= 0) {
            return took;
        }
        // Never more than the buffer holds; any surplus stays queued for the next round.
        uint32_t room = 0;
        uint8_t* space = receiver_.Space(room);
        ssize_t n = ::read(port_, space, std::min<size_t>(static_cast<size_t>(queued), room));
        if (n < 0) {
            return took || errno == EAGAIN || errno == EINTR;
        }
        if (n == 0) {
            return took;
        }
        took = true;
        if (receiver_.Took(static_cast<uint32_t>(n))) {
            return true;
        }
    }
}

uint32_t SerialPortObject::FetchReply(uint8_t* buffer, uint32_t* length) {
    if (receiver_.Count() == 0 || buffer == nullptr) {
        return 0;
    }
    std::memcpy(buffer, receiver_.Bytes(), receiver_.Count());
    if (length != nullptr) {
        *length = receiver_.Count();
    }
    return 1;
}

uint32_t SerialPortObject::ReadNow(uint8_t* buffer, uint32_t* length) {
    if (!BeginUse()) {
        return 1;
    }
    receiver_.ExpectAnything();  // no request to answer: the bytes are taken as they are
    firstUse_ = 0;
    bool ok = ReceiveStep();
    EndUse();
    if (!ok) {
        return 1;
    }
    if (buffer != nullptr && receiver_.Count() != 0) {
        std::memcpy(buffer, receiver_.Bytes(), receiver_.Count());
    }
    if (length != nullptr) {
        *length = receiver_.Count();
    }
    return 0;
}

bool SerialPortObject::BeginUse() {
    std::lock_guard handles(handleMutex_);
    if (port_ < 0 || inUse_) {
        return false;
    }
    inUse_ = true;
    user_ = std::this_thread::get_id();
    return true;
}

void SerialPortObject::EndUse() {
    std::lock_guard handles(handleMutex_);
    inUse_ = false;
    useEnded_.notify_all();
}

void SerialPortObject::Close() {
    std::unique_lock handles(handleMutex_);
    if (inUse_ && user_ != std::this_thread::get_id()) {
        stopRequested_ = true;
        SignalEvent(stopEvent_);
        useEnded_.wait(handles, [&] { return !inUse_; });
    }
    CloseHandles();
}

void SerialPortObject::CloseHandles() {
    ClosePort(port_);
    CloseFd(stopEvent_);
}

}  // namespace tarvo::serial
