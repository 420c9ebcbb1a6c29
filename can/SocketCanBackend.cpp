#include "can/SocketCanBackend.h"

#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "can/CanLinkInfo.h"
#include "can/SocketWait.h"

namespace tarvo::canbus {

bool SocketCanBackend::Probe(std::string& detail) {
    CanLinkInfo info;
    std::string error;
    if (!CanLinkInfo::Query(interface_, info, error)) {
        detail = error;
        return false;
    }
    if (!info.exists) {
        detail = "no CAN interface " + interface_ + " (is the PCAN-USB adapter plugged in?)";
        return false;
    }
    detail = "SocketCAN " + interface_ + (info.kind.empty() ? "" : " (" + info.kind + ")");
    return true;
}

std::string SocketCanBackend::Open(uint32_t, uint32_t bitsPerSecond) {
    Close();
    CanLinkInfo info;
    std::string error;
    if (!CanLinkInfo::Query(interface_, info, error)) {
        return error;
    }
    std::string setUp =
        "ip link set " + interface_ + " up type can bitrate " + std::to_string(bitsPerSecond);
    if (!info.exists) {
        return "no CAN interface " + interface_ +
               " (is the PCAN-USB adapter plugged in? a virtual bus: ip link add dev vcan0 "
               "type vcan)";
    }
    if (!info.up) {
        return interface_ + " is down; bring it up with: " + setUp;
    }
    if (info.bitRate != 0 && info.bitRate != bitsPerSecond) {
        return "bit rate mismatch: " + interface_ + " runs at " + std::to_string(info.bitRate) +
               " bit/s, " + std::to_string(bitsPerSecond) +
               " bit/s was chosen; change the interface with: ip link set " + interface_ +
               " down; " + setUp;
    }
    socket_ = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
    if (socket_ < 0) {
        return std::string("cannot open a CAN socket: ") + std::strerror(errno);
    }
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = static_cast<int>(::if_nametoindex(interface_.c_str()));
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int failure = errno;
        Close();
        return "cannot bind to " + interface_ + ": " + std::strerror(failure);
    }
    return {};
}

void SocketCanBackend::Close() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

std::string SocketCanBackend::Send(const Frame& frame) {
    if (socket_ < 0) {
        return interface_ + " is not open";
    }
    can_frame raw{};
    raw.can_id = frame.id;
    raw.can_dlc = frame.length > 8 ? 8 : frame.length;
    std::memcpy(raw.data, frame.data, 8);
    // A scan sends many frames back to back: a full transmit queue (ENOBUFS) drains as the
    // frames go out, so the frame waits for room (about a second at most) before the send
    // counts as failed. The socket reports no room becoming free: the wait is in steps.
    constexpr int kRoomWaits = 1000;
    for (int waits = 0;;) {
        if (::write(socket_, &raw, sizeof raw) == static_cast<ssize_t>(sizeof raw)) {
            return {};
        }
        if (errno == EINTR) {
            continue;
        }
        if ((errno == ENOBUFS || errno == EAGAIN) && waits++ < kRoomWaits) {
            ::poll(nullptr, 0, 1);
            continue;
        }
        return "cannot send on " + interface_ + ": " + std::strerror(errno);
    }
}

int SocketCanBackend::Receive(Frame& frame, int timeoutMs, std::string& error) {
    if (socket_ < 0) {
        error = interface_ + " is not open";
        return -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (WaitReadable(socket_, deadline, wakeEvent_) == 0) {
            return 0;
        }
        can_frame raw{};
        ssize_t count = ::recv(socket_, &raw, sizeof raw, MSG_DONTWAIT);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count < 0) {
            error = "cannot receive on " + interface_ + ": " + std::strerror(errno);
            return -1;
        }
        if (count != static_cast<ssize_t>(sizeof raw) || (raw.can_id & CAN_ERR_FLAG) != 0) {
            continue;
        }
        frame.id = raw.can_id;
        frame.length = raw.can_dlc > 8 ? 8 : raw.can_dlc;
        std::memcpy(frame.data, raw.data, 8);
        return 1;
    }
}

}  // namespace tarvo::canbus
