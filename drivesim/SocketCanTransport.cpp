#include "drivesim/SocketCanTransport.h"

#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tarvo::sim {

SocketCanTransport::~SocketCanTransport() {
    Close();
}

bool SocketCanTransport::Open(const std::string& interface, std::string& error) {
    if (interface.empty() || interface.size() >= IFNAMSIZ) {
        error = "--socketcan " + interface + ": not a network interface name";
        return false;
    }
    unsigned index = ::if_nametoindex(interface.c_str());
    if (index == 0) {
        error = "--socketcan " + interface + ": no such CAN interface (is it up? for a test " +
                "bus: ip link add dev vcan0 type vcan && ip link set up vcan0)";
        return false;
    }
    socket_ = ::socket(PF_CAN, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, CAN_RAW);
    if (socket_ < 0) {
        error = std::string("cannot open a CAN socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = static_cast<int>(index);
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot bind to " + interface + ": " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

void SocketCanTransport::Close() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

void SocketCanTransport::OnReadable(uint64_t nowUs) {
    for (;;) {
        can_frame raw{};
        ssize_t count = ::read(socket_, &raw, sizeof raw);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count != static_cast<ssize_t>(sizeof raw)) {
            return;
        }
        if ((raw.can_id & CAN_ERR_FLAG) != 0) {
            continue;
        }
        canbus::Frame frame;
        frame.id = raw.can_id;  // SocketCAN's flags are the frame's flags
        frame.length = raw.can_dlc > 8 ? 8 : raw.can_dlc;
        std::memcpy(frame.data, raw.data, 8);
        node_.OnFrame(frame, nowUs);
    }
}

void SocketCanTransport::Flush(uint64_t nowUs) {
    if (socket_ < 0) {
        return;
    }
    std::vector<canbus::Frame> frames;
    node_.TakeDue(nowUs, frames);
    for (const canbus::Frame& frame : frames) {
        can_frame raw{};
        raw.can_id = frame.id;
        raw.can_dlc = frame.length;
        std::memcpy(raw.data, frame.data, 8);
        if (::write(socket_, &raw, sizeof raw) < 0 && errno != EAGAIN) {
            break;
        }
    }
    if (node_.CloseRequested()) {
        Close();
    }
}

}  // namespace tarvo::sim
