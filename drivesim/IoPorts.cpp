#include "drivesim/IoPorts.h"

#include <cmath>
#include "protocol/DriveObjects.h"

namespace tarvo::sim {

namespace {

uint32_t Bits(const SimObject* object) {
    return static_cast<uint32_t>(ObjectTable::Value(object));
}

}  // namespace

IoPorts::IoPorts(ObjectTable& table) {
    for (uint32_t sub = 1; sub < 0x19; ++sub) {
        io_[sub] = table.Find(ObjectAddressOf(DriveObject::kIoIndex, sub));
    }
    digitalInputs_ = table.Find(DriveObject::kDigitalInputs);
}

void IoPorts::Reset(bool changingInputs) {
    changingInputs_ = changingInputs;
    activeFunctions_ = 0;
}

void IoPorts::SetPin(int n, int level) {
    if (n < 1 || n > 8) {
        return;
    }
    uint32_t bit = 1u << (n - 1);
    if (level < 0) {
        heldMask_ &= ~bit;
    } else {
        heldMask_ |= bit;
        heldLevels_ = level != 0 ? heldLevels_ | bit : heldLevels_ & ~bit;
    }
}

void IoPorts::Step(double seconds, uint32_t outputSignals) {
    uint32_t pins = 0;
    if (changingInputs_) {
        if (std::fmod(seconds, 1.0) < 0.5) {
            pins |= 1u << 6;
        }
        if (std::fmod(seconds, 4.0) < 1.0) {
            pins |= 1u << 7;
        }
    }
    pins = (pins & ~heldMask_) | (heldLevels_ & heldMask_);

    uint32_t real = (pins ^ Bits(Object(0x01))) & 0xFF;
    uint32_t simulate = Bits(Object(0x02)) & 0xFF;
    uint32_t virtualStates = ((real & ~simulate) | (Bits(Object(0x0D)) & simulate)) & 0xFF;
    ObjectTable::Put(Object(0x0B), real);
    ObjectTable::Put(Object(0x0C), virtualStates);

    activeFunctions_ = 0;
    for (uint32_t n = 0; n < 8; ++n) {
        if ((virtualStates & (1u << n)) != 0) {
            activeFunctions_ |= Bits(Object(0x03 + n));
        }
    }
    uint32_t profileInputs = virtualStates << 16;
    if ((activeFunctions_ & kNegativeLimit) != 0) {
        profileInputs |= 0x1;
    }
    if ((activeFunctions_ & kPositiveLimit) != 0) {
        profileInputs |= 0x2;
    }
    if ((activeFunctions_ & kHomeSwitch) != 0) {
        profileInputs |= 0x4;
    }
    ObjectTable::Put(digitalInputs_, profileInputs);

    uint32_t functionStates = 0;
    for (uint32_t n = 0; n < 5; ++n) {
        if ((Bits(Object(0x10 + n)) & outputSignals) != 0) {
            functionStates |= 1u << n;
        }
    }
    uint32_t outputSimulate = Bits(Object(0x0F)) & 0x1F;
    uint32_t outputs = (functionStates & ~outputSimulate) | (Bits(Object(0x15)) & outputSimulate);
    ObjectTable::Put(Object(0x17), functionStates);
    ObjectTable::Put(Object(0x18), (outputs ^ Bits(Object(0x0E))) & 0x1F);
}

}  // namespace tarvo::sim
