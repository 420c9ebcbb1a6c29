#include "protocol/DriveObjects.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

// The well-known objects at the addresses the drive documents (index x 256 + subindex). A
// name that drifts from its number would send every request of the program, the tools and
// the simulated drive to another object.
TEST(DriveObjects, NamesHaveTheDocumentedAddresses) {
    struct Case {
        const char* name;
        uint32_t address;
        uint32_t documented;
    };
    const Case cases[] = {
        {"control word", DriveObject::kControlWord, 0x604000},
        {"status word", DriveObject::kStatusWord, 0x604100},
        {"modes of operation", DriveObject::kModesOfOperation, 0x606000},
        {"modes of operation display", DriveObject::kModesOfOperationDisplay, 0x606100},
        {"position actual value", DriveObject::kPositionActualValue, 0x606400},
        {"velocity actual value", DriveObject::kVelocityActualValue, 0x606C00},
        {"target position", DriveObject::kTargetPosition, 0x607A00},
        {"digital inputs", DriveObject::kDigitalInputs, 0x60FD00},
        {"target velocity", DriveObject::kTargetVelocity, 0x60FF00},
        {"heartbeat time", DriveObject::kHeartbeatTime, 0x101700},
        {"store control parameters", DriveObject::kStoreControlParameters, 0x2FF001},
        {"store motor parameters", DriveObject::kStoreMotorParameters, 0x2FF003},
        {"reboot", DriveObject::kReboot, 0x2FFF00},
        {"I/O object, subindex 0Bh", ObjectAddressOf(DriveObject::kIoIndex, 0x0B), 0x20100B},
        {"error control, low", DriveObject::kErrorControlLow, 0x260001},
        {"error control, high", DriveObject::kErrorControlHigh, 0x260002},
        {"error state, low", DriveObject::kErrorStateLow, 0x260100},
        {"error state, high", DriveObject::kErrorStateHigh, 0x260200},
        {"slot 1", CaptureObject::Address(CaptureObject::Sub::Slot1), 0x230001},
        {"slot 6", CaptureObject::Address(CaptureObject::Sub::Slot6), 0x230006},
        {"slot of channel 4", CaptureObject::Address(CaptureObject::SlotSub(4)), 0x230004},
        {"capture control", CaptureObject::Address(CaptureObject::Sub::CaptureControl), 0x230007},
        {"sample period", CaptureObject::Address(CaptureObject::Sub::SamplePeriod), 0x230008},
        {"pretrigger samples", CaptureObject::Address(CaptureObject::Sub::PretriggerSamples),
         0x230009},
        {"total samples", CaptureObject::Address(CaptureObject::Sub::TotalSamples), 0x23000A},
        {"trigger edge", CaptureObject::Address(CaptureObject::Sub::TriggerEdge), 0x23000B},
        {"trigger source", CaptureObject::Address(CaptureObject::Sub::TriggerSource), 0x23000C},
        {"trigger level", CaptureObject::Address(CaptureObject::Sub::TriggerLevel), 0x23000D},
        {"recorded samples", CaptureObject::Address(CaptureObject::Sub::RecordedSamples), 0x23000E},
        {"memory size", CaptureObject::Address(CaptureObject::Sub::MemorySize), 0x23000F},
        {"sample data", CaptureObject::Address(CaptureObject::Sub::SampleData), 0x230010},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.address, c.documented) << c.name;
    }
}

// The values written to the objects and the bits the drive acts on.
TEST(DriveObjects, CommandValuesAreTheDocumentedOnes) {
    EXPECT_EQ(DriveObject::kRebootValue, 0xAA55u);
    EXPECT_EQ(DriveObject::kStoreCommand, 1u);
    EXPECT_EQ(DriveObject::kRestoreCommand, 10u);
    EXPECT_EQ(DriveObject::kFaultResetBit, 0x0080u);
    EXPECT_EQ(CaptureObject::kStartCapture, 1u);
    EXPECT_EQ(CaptureObject::kRecordComplete, 0u);
}

TEST(DriveObjects, AddressesSplitIntoIndexAndSubindex) {
    EXPECT_EQ(ObjectAddressOf(0x2FF0, 0x03), 0x2FF003u);
    EXPECT_EQ(IndexOf(0x23000Du), 0x2300);
    EXPECT_EQ(SubIndexOf(0x23000Du), 0x0D);
    EXPECT_EQ(IndexOf(0xFFFFFFu), 0xFFFF);
    EXPECT_EQ(SubIndexOf(0xFFFFFFu), 0xFF);
}

}  // namespace
}  // namespace tarvo
