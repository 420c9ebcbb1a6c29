#pragma once

#include <cstdint>

#include "drivesim/ObjectTable.h"

namespace tarvo::sim {

// The drive's 32 error state bits (2601h, 2602h) under the error control words (2600h:01h,
// 02h): a condition sets its bit, which stays latched until a fault reset finds the
// condition gone. Also keeps the error code (603Fh), the error register (1001h) and the
// history (2090h). Errors can be injected for tests and demonstrations.
class ErrorControl {
public:
    // Error state bits the drive raises itself.
    enum Bit {
        kInternal = 0,
        kOverCurrent = 1,
        kOverVoltage = 2,
        kLowVoltage = 3,
        kOverTemperature = 4,
        kFollowingError = 9,
        kPositiveLimit = 13,
        kNegativeLimit = 14,
        kMotorOverload = 17,
        kOverSpeed = 19,
    };

    explicit ErrorControl(ObjectTable& table);

    void Reset();
    // Present conditions, one bit per error state bit.
    void Update(uint32_t conditions);
    void FaultReset();
    // An injected error acts like a condition: a one-shot one is gone at the next fault
    // reset, a persistent one stays until ClearInjected.
    void Inject(int bit, bool persistent);
    void ClearInjected();
    void ClearHistory();

    // Shows the state anew, after a change of the error control words.
    void Refresh() { Publish(); }

    uint32_t State() const;
    bool Any() const { return State() != 0; }
    // The CiA 402 error code reported for an error state bit.
    static uint16_t CodeOf(int bit);

private:
    void Publish();

    SimObject* controlLow_;
    SimObject* controlHigh_;
    SimObject* stateLow_;
    SimObject* stateHigh_;
    SimObject* errorCode_;
    SimObject* errorRegister_;
    SimObject* history_[8];

    uint32_t conditions_ = 0;  // from the drive itself, without the injected ones
    uint32_t latched_ = 0;
    uint32_t injectedOnce_ = 0;
    uint32_t injectedPersistent_ = 0;
    uint32_t reported_ = 0;  // state bits already entered in the history
};

}  // namespace tarvo::sim
