#include "drivesim/ErrorControl.h"

#include "protocol/DriveObjects.h"

namespace tarvo::sim {

ErrorControl::ErrorControl(ObjectTable& table) {
    controlLow_ = table.Find(DriveObject::kErrorControlLow);
    controlHigh_ = table.Find(DriveObject::kErrorControlHigh);
    stateLow_ = table.Find(DriveObject::kErrorStateLow);
    stateHigh_ = table.Find(DriveObject::kErrorStateHigh);
    errorCode_ = table.Find(ObjectAddressOf(0x603F, 0));
    errorRegister_ = table.Find(ObjectAddressOf(0x1001, 0));
    for (uint32_t i = 0; i < 8; ++i) {
        history_[i] = table.Find(ObjectAddressOf(0x2090, i + 1));
    }
}

void ErrorControl::Reset() {
    conditions_ = latched_ = injectedOnce_ = injectedPersistent_ = reported_ = 0;
    Publish();
}

uint32_t ErrorControl::State() const {
    // Without the control words every error is detected.
    uint32_t mask = static_cast<uint32_t>(ObjectTable::Value(controlLow_, 0xFFFF) & 0xFFFF) |
                    static_cast<uint32_t>(ObjectTable::Value(controlHigh_, 0xFFFF) & 0xFFFF) << 16;
    return latched_ & mask;
}

void ErrorControl::Update(uint32_t conditions) {
    conditions_ = conditions;
    latched_ |= conditions_ | injectedOnce_ | injectedPersistent_;
    Publish();
}

void ErrorControl::FaultReset() {
    injectedOnce_ = 0;
    latched_ &= conditions_ | injectedPersistent_;
    Publish();
}

void ErrorControl::Inject(int bit, bool persistent) {
    if (bit < 0 || bit > 31) {
        return;
    }
    (persistent ? injectedPersistent_ : injectedOnce_) |= 1u << bit;
    Update(conditions_);
}

void ErrorControl::ClearInjected() {
    injectedOnce_ = injectedPersistent_ = 0;
}

void ErrorControl::ClearHistory() {
    for (SimObject* entry : history_) {
        ObjectTable::Put(entry, 0);
    }
}

uint16_t ErrorControl::CodeOf(int bit) {
    static const uint16_t kCodes[32] = {
        0x6100, 0x2310, 0x3210, 0x3220, 0x4310, 0x5112, 0x5113, 0x5530,  // 0-7
        0x7120, 0x8611, 0x8100, 0x8A00, 0x5441, 0xFF0D, 0xFF0E, 0x7305,  // 8-15
        0x3130, 0x2320, 0x2350, 0x8400, 0x7113, 0x8A01, 0x8612, 0xFF18,  // 16-23
        0x6320, 0x7112, 0x8210, 0x8700, 0x8130, 0x5442, 0xFF1E, 0xFF1F,  // 24-31
    };
    return bit >= 0 && bit < 32 ? kCodes[bit] : 0;
}

void ErrorControl::Publish() {
    uint32_t state = State();
    ObjectTable::Put(stateLow_, state & 0xFFFF);
    ObjectTable::Put(stateHigh_, state >> 16);
    uint32_t fresh = state & ~reported_;
    for (int bit = 0; bit < 32; ++bit) {
        if ((fresh & (1u << bit)) == 0) {
            continue;
        }
        for (int i = 7; i > 0; --i) {
            if (history_[i] != nullptr && history_[i - 1] != nullptr) {
                history_[i]->raw = history_[i - 1]->raw;
            }
        }
        ObjectTable::Put(history_[0], static_cast<int64_t>(bit) << 16 | CodeOf(bit));
        ObjectTable::Put(errorCode_, CodeOf(bit));
    }
    reported_ = state;
    if (state == 0) {
        ObjectTable::Put(errorCode_, 0);
    }
    uint32_t registerBits = 0;
    if (state != 0) {
        registerBits |= 0x01;
    }
    if ((state & (1u << kOverCurrent | 1u << kMotorOverload | 1u << 18)) != 0) {
        registerBits |= 0x02;
    }
    if ((state & (1u << kOverVoltage | 1u << kLowVoltage | 1u << 5)) != 0) {
        registerBits |= 0x04;
    }
    if ((state & (1u << kOverTemperature)) != 0) {
        registerBits |= 0x08;
    }
    if ((state & (1u << 10 | 1u << 27 | 1u << 28)) != 0) {
        registerBits |= 0x10;
    }
    if ((state & ~(1u << kOverCurrent | 1u << kMotorOverload | 1u << 18 | 1u << kOverVoltage |
                   1u << kLowVoltage | 1u << 5 | 1u << kOverTemperature | 1u << 10 | 1u << 27 |
                   1u << 28)) != 0) {
        registerBits |= 0x80;
    }
    ObjectTable::Put(errorRegister_, registerBits);
}

}  // namespace tarvo::sim
