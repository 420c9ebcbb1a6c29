#pragma once

#include <string>

#include "can/CanBackend.h"

namespace tarvo::canbus {

// A SocketCAN interface: a PCAN-USB adapter appears as can0 through the kernel's driver.
// The bit rate is set with ip link by the system's administrator; open checks it against
// the chosen one and reports a mismatch instead of talking at the wrong rate.
class SocketCanBackend : public CanBackend {
public:
    explicit SocketCanBackend(std::string interface) : interface_(std::move(interface)) {}
    ~SocketCanBackend() override { Close(); }

    std::string Open(uint32_t code, uint32_t bitsPerSecond) override;
    void Close() override;
    std::string Send(const Frame& frame) override;
    int Receive(Frame& frame, int timeoutMs, std::string& error) override;
    std::string TraceName() const override { return interface_; }
    bool Probe(std::string& detail) override;

private:
    std::string interface_;
    int socket_ = -1;
};

}  // namespace tarvo::canbus
