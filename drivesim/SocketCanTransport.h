#pragma once

#include <cstdint>
#include <string>

#include "drivesim/CanDriveNode.h"

namespace tarvo::sim {

// The drive on a real (or virtual) CAN bus through SocketCAN, for example can0 of a
// PCAN-USB adapter or vcan0.
class SocketCanTransport {
public:
    explicit SocketCanTransport(CanDriveNode& node) : node_(node) {}
    ~SocketCanTransport();
    SocketCanTransport(const SocketCanTransport&) = delete;
    SocketCanTransport& operator=(const SocketCanTransport&) = delete;

    bool Open(const std::string& interface, std::string& error);
    void Close();
    bool Closed() const { return socket_ < 0; }
    int Fd() const { return socket_; }

    void OnReadable(uint64_t nowUs);
    void Flush(uint64_t nowUs);
    int64_t NextDueUs() const { return node_.NextDueUs(); }

private:
    CanDriveNode& node_;
    int socket_ = -1;
};

}  // namespace tarvo::sim
