#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "can/CanFrame.h"
#include "drivesim/FaultPlan.h"
#include "drivesim/SimulatedDrive.h"

namespace tarvo::sim {

// The drive as a node on a CAN bus: answers requests on 0x600 + node with replies on
// 0x580 + node, sends its boot-up message after power-on and its heartbeat (1017h). The
// stray-frame fault puts a heartbeat, a PDO and another node's reply before the answer.
class CanDriveNode {
public:
    CanDriveNode(SimulatedDrive& drive, uint8_t node, const FaultSettings& faults);

    // A frame seen on the bus at nowUs.
    void OnFrame(const canbus::Frame& frame, uint64_t nowUs);
    // Frames due by nowUs, in order.
    void TakeDue(uint64_t nowUs, std::vector<canbus::Frame>& out);
    // The time the next frame is due, or -1.
    int64_t NextDueUs() const;
    // True once the fault settings ask for the bus to close.
    bool CloseRequested() const { return closeRequested_ && queue_.empty(); }
    const FaultPlan& Faults() const { return faults_; }

private:
    struct Timed {
        uint64_t dueUs;
        canbus::Frame frame;
    };
    void Queue(uint64_t dueUs, const canbus::Frame& frame);

    SimulatedDrive& drive_;
    uint8_t node_;
    FaultPlan faults_;
    std::deque<Timed> queue_;
    bool wasSilent_ = true;  // the boot-up message follows the first power-on too
    uint64_t nextHeartbeatUs_ = 0;
    uint64_t heartbeatPeriodUs_ = 0;
    bool closeRequested_ = false;
};

}  // namespace tarvo::sim
