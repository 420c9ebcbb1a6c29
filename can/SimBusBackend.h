#pragma once

#include <string>

#include "can/CanBackend.h"

namespace tarvo::canbus {

// The simulated CAN bus that tarvo-drivesim serves on a local socket.
class SimBusBackend : public CanBackend {
public:
    explicit SimBusBackend(std::string socketPath) : path_(std::move(socketPath)) {}
    ~SimBusBackend() override { Close(); }

    std::string Open(uint32_t code, uint32_t bitsPerSecond) override;
    void Close() override;
    std::string Send(const Frame& frame) override;
    int Receive(Frame& frame, int timeoutMs, std::string& error) override;
    std::string TraceName() const override;
    bool Probe(std::string& detail) override;

private:
    std::string path_;
    int socket_ = -1;
};

}  // namespace tarvo::canbus
