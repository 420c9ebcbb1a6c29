#pragma once

// The drive's well-known objects: the ones the program, the tools and the simulated drive
// name in code rather than take from the dictionary. An object address is index x 256 +
// subindex (0x2FFF:00 is 0x2FFF00), as requests carry it.

#include <cstdint>

namespace tarvo {

constexpr uint32_t ObjectAddressOf(uint16_t index, uint8_t subIndex) {
    return static_cast<uint32_t>(index) << 8 | subIndex;
}

constexpr uint16_t IndexOf(uint32_t address) {
    return static_cast<uint16_t>(address >> 8);
}

constexpr uint8_t SubIndexOf(uint32_t address) {
    return static_cast<uint8_t>(address & 0xFF);
}

namespace DriveObject {
// CiA 402 device control.
constexpr uint32_t kControlWord = ObjectAddressOf(0x6040, 0);
constexpr uint32_t kStatusWord = ObjectAddressOf(0x6041, 0);
constexpr uint32_t kModesOfOperation = ObjectAddressOf(0x6060, 0);
constexpr uint32_t kModesOfOperationDisplay = ObjectAddressOf(0x6061, 0);
constexpr uint32_t kPositionActualValue = ObjectAddressOf(0x6064, 0);
constexpr uint32_t kVelocityActualValue = ObjectAddressOf(0x606C, 0);
constexpr uint32_t kTargetPosition = ObjectAddressOf(0x607A, 0);
constexpr uint32_t kDigitalInputs = ObjectAddressOf(0x60FD, 0);
constexpr uint32_t kTargetVelocity = ObjectAddressOf(0x60FF, 0);

// The period of the drive's CAN heartbeat in milliseconds; 0 sends none.
constexpr uint32_t kHeartbeatTime = ObjectAddressOf(0x1017, 0);

// Control word bit 7: a rising edge resets a fault.
constexpr uint16_t kFaultResetBit = 0x0080;

// Storing and restoring parameters: 1 written to a store object saves its parameters,
// 10 written to the control parameters' object initialises them; both read 0 when idle.
constexpr uint16_t kStoreIndex = 0x2FF0;
constexpr uint32_t kStoreControlParameters = ObjectAddressOf(kStoreIndex, 0x01);
constexpr uint32_t kStoreMotorParameters = ObjectAddressOf(kStoreIndex, 0x03);
constexpr uint32_t kStoreCommand = 1;
constexpr uint32_t kRestoreCommand = 10;

// Restarting the drive: only this value, written as two bytes, restarts it.
constexpr uint32_t kReboot = ObjectAddressOf(0x2FFF, 0);
constexpr uint32_t kRebootValue = 0xAA55;

// The digital inputs and outputs.
constexpr uint16_t kIoIndex = 0x2010;

// The drive's 32 error bits: their control words and their state words, one of each for the
// low and the high 16 bits.
constexpr uint16_t kErrorControlIndex = 0x2600;
constexpr uint32_t kErrorControlLow = ObjectAddressOf(kErrorControlIndex, 0x01);
constexpr uint32_t kErrorControlHigh = ObjectAddressOf(kErrorControlIndex, 0x02);
constexpr uint32_t kErrorStateLow = ObjectAddressOf(0x2601, 0);
constexpr uint32_t kErrorStateHigh = ObjectAddressOf(0x2602, 0);
}  // namespace DriveObject

// The capture object of the drive's oscilloscope and its subindices.
namespace CaptureObject {
constexpr uint16_t kIndex = 0x2300;

enum class Sub : uint8_t {
    Slot1 = 0x01,  // 16-bit objects of channels 1 to 4
    Slot2 = 0x02,
    Slot3 = 0x03,
    Slot4 = 0x04,
    Slot5 = 0x05,  // the 32-bit object of channel 1 or 2
    Slot6 = 0x06,  // the 32-bit object of channel 3 or 4
    CaptureControl = 0x07,
    SamplePeriod = 0x08,
    PretriggerSamples = 0x09,
    TotalSamples = 0x0A,
    TriggerEdge = 0x0B,
    TriggerSource = 0x0C,
    TriggerLevel = 0x0D,
    RecordedSamples = 0x0E,  // how many samples the running capture holds so far
    MemorySize = 0x0F,       // the drive's sample memory in bytes
    SampleData = 0x10,
};

constexpr uint32_t Address(Sub sub) {
    return ObjectAddressOf(kIndex, static_cast<uint8_t>(sub));
}

// The slot of channel 1 to 6 (1-based).
constexpr Sub SlotSub(int slot) {
    return static_cast<Sub>(slot);
}

// Writing this to CaptureControl starts a capture; reading it gives 0 once the record is
// complete.
constexpr uint32_t kStartCapture = 1;
constexpr uint32_t kRecordComplete = 0;
}  // namespace CaptureObject

}  // namespace tarvo
