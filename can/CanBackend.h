#pragma once

#include <cstdint>
#include <string>

#include "can/CanFrame.h"

namespace tarvo::canbus {

// One way onto a CAN bus: SocketCAN, PCAN-Basic or the simulated bus.
class CanBackend {
public:
    virtual ~CanBackend() = default;

    // Opens the bus at the PCAN bit-rate code and its rate in bit/s; empty on success, else
    // what went wrong, for the user.
    virtual std::string Open(uint32_t code, uint32_t bitsPerSecond) = 0;
    virtual void Close() = 0;
    // Empty on success, else what went wrong.
    virtual std::string Send(const Frame& frame) = 0;
    // Waits up to timeoutMs (0: only looks) for a frame: 1 received, 0 none (also when the
    // wake event was signalled meanwhile), -1 the bus is gone (error text in `error`).
    virtual int Receive(Frame& frame, int timeoutMs, std::string& error) = 0;
    // Interface name for the trace (can0, pcan81, cansim0).
    virtual std::string TraceName() const = 0;
    // Whether the backend's driver is there, with a description for the version text, or
    // the reason it is not in `detail`.
    virtual bool Probe(std::string& detail) = 0;

    // An event that ends a Receive's wait early while it is signalled; -1 for none.
    void SetWakeEvent(int wakeFd) { wakeEvent_ = wakeFd; }

protected:
    int wakeEvent_ = -1;
};

}  // namespace tarvo::canbus
