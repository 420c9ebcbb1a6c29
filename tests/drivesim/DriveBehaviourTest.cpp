#include <gtest/gtest.h>

#include <cmath>

#include "protocol/DriveProtocol.h"
#include "tests/drivesim/TestDrive.h"
#include "tests/support/TempFolder.h"

namespace tarvo::sim::test {
namespace {

constexpr uint32_t kControlword = 0x604000;
constexpr uint32_t kStatusword = 0x604100;

uint32_t State(TestDrive& drive) {
    return drive.Read(kStatusword) & 0x6F;
}

void Enable(TestDrive& drive) {
    for (uint32_t word : {6u, 7u, 15u}) {
        drive.Write(kControlword, word, 2);
        drive.Wait(1000);
    }
}

TEST(DriveBehaviour, ControlwordWalksTheStatesAndBitThreeFollowsTheErrorState) {
    TestDrive drive(FamilySource());
    EXPECT_EQ(State(drive), 0x40u);  // switch on disabled
    drive.Write(kControlword, 6, 2);
    EXPECT_EQ(State(drive), 0x21u);
    drive.Write(kControlword, 7, 2);
    EXPECT_EQ(State(drive), 0x23u);
    drive.Write(kControlword, 15, 2);
    EXPECT_EQ(State(drive), 0x27u);

    drive.model->InjectError(1, false);
    drive.Wait(20000);
    EXPECT_EQ(State(drive), 0x08u) << "fault";
    EXPECT_EQ(drive.Read(0x260100), 0x0002u);
    EXPECT_EQ(drive.Read(0x603F00), 0x2310u);
    EXPECT_EQ(drive.Read(0x209001), (1u << 16) | 0x2310u);
    EXPECT_EQ(drive.Read(0x100100), 0x03u);

    drive.Write(kControlword, 0x80, 2);  // fault reset: the one-shot error has gone
    drive.Wait(1000);
    EXPECT_EQ(State(drive), 0x40u);
    EXPECT_EQ(drive.Read(0x260100), 0u);
    EXPECT_EQ(drive.Read(0x603F00), 0u);

    drive.model->InjectError(20, true);
    drive.Wait(1000);
    EXPECT_EQ(drive.Read(0x260200), 0x0010u) << "bit 20 is bit 4 of the high word";
    drive.Write(kControlword, 0, 2);
    drive.Write(kControlword, 0x80, 2);
    drive.Wait(1000);
    EXPECT_EQ(drive.Read(kStatusword) & 0x08, 0x08u) << "a persistent error stays";
    drive.model->ClearInjectedErrors();
    drive.Write(kControlword, 0, 2);
    drive.Write(kControlword, 0x80, 2);
    drive.Wait(1000);
    EXPECT_EQ(State(drive), 0x40u);
    EXPECT_EQ(drive.Read(0x209001) >> 16, 20u) << "most recent error first";
    EXPECT_EQ(drive.Read(0x209002) >> 16, 1u);
    drive.Write(0x209009, 1, 1);
    EXPECT_EQ(drive.Read(0x209001), 0u);
}

TEST(DriveBehaviour, MaskedErrorIsNeitherReportedNorAFault) {
    TestDrive drive(FamilySource());
    Enable(drive);
    drive.Write(0x260001, 0xFFFD, 2);
    drive.model->InjectError(1, true);
    drive.Wait(5000);
    EXPECT_EQ(drive.Read(0x260100), 0u);
    EXPECT_EQ(State(drive), 0x27u);
    drive.Write(0x260001, 0xFFFF, 2);
    EXPECT_EQ(drive.Read(0x260100), 0x0002u);
    drive.Wait(20000);
    EXPECT_EQ(State(drive), 0x08u);
}

TEST(DriveBehaviour, ProfileVelocityReachesItsTarget) {
    TestDrive drive(FamilySource());
    drive.Write(0x606000, 3, 1);
    drive.Write(0x60FF00, 5120, 4);  // 10 revolutions a second
    Enable(drive);
    drive.Wait(2000000);
    double velocity = static_cast<int32_t>(drive.Read(0x606C00));
    EXPECT_NEAR(velocity, 5120.0, 5120.0 * 0.05);
    EXPECT_GT(static_cast<int32_t>(drive.Read(0x606400)), 40000);
    EXPECT_NE(drive.Read(kStatusword) & 0x0400, 0u) << "target reached";
    EXPECT_EQ(drive.Read(0x606100), 3u);
    drive.Write(kControlword, 6, 2);  // power stage off: the motor coasts down
    drive.Wait(3000000);
    EXPECT_LT(std::abs(static_cast<int32_t>(drive.Read(0x606C00))), 100);
}

TEST(DriveBehaviour, ProfilePositionMoveEndsInPositionAndGainSetsFollowingError) {
    auto followingError = [](uint32_t gain) {
        TestDrive drive(FamilySource());
        drive.Write(0x201101, gain, 2);
        drive.Write(0x607A00, 40000, 4);
        Enable(drive);
        drive.Write(kControlword, 0x1F, 2);  // new set-point
        drive.Wait(600000);                  // cruising at the profile velocity
        int32_t error = static_cast<int32_t>(drive.Read(0x60F400));
        drive.Write(kControlword, 0x0F, 2);
        drive.Wait(4000000);
        EXPECT_NEAR(static_cast<int32_t>(drive.Read(0x606400)), 40000, 20);
        EXPECT_NE(drive.Read(kStatusword) & 0x0400, 0u);
        return std::abs(error);
    };
    int soft = followingError(150);
    int stiff = followingError(1500);
    EXPECT_GT(soft, 3 * stiff);
}

TEST(DriveBehaviour, StoreIsBusyThenIdleAndRebootBringsBackStoredValues) {
    TestDrive drive(FamilySource());
    EXPECT_EQ(drive.Write(0x201101, 500, 2).Data(), 500u);
    EXPECT_EQ(drive.Write(0x2FF001, 1, 1).Data(), 1u);
    EXPECT_EQ(drive.Read(0x2FF001), 1u);
    drive.Wait(40000);
    EXPECT_EQ(drive.Read(0x2FF001), 0u);
    drive.Write(0x201101, 700, 2);

    SdoReply reply = drive.Write(0x2FFF00, 0xAA55, 2);
    EXPECT_EQ(reply.command, 0x4B);
    EXPECT_EQ(reply.Data(), 0xAA55u);
    EXPECT_TRUE(drive.model->Silent());
    drive.Wait(20000);
    EXPECT_TRUE(drive.model->Silent());
    drive.Wait(40000);
    EXPECT_FALSE(drive.model->Silent());
    EXPECT_EQ(drive.Read(0x201101), 500u);
    EXPECT_EQ(drive.Read(0x2FF001), 0u);
}

TEST(DriveBehaviour, TenRestoresControlParametersButNotTheMotors) {
    TestDrive drive(FamilySource());
    drive.Write(0x201101, 900, 2);
    drive.Write(0x200003, 5000, 2);
    EXPECT_EQ(drive.Write(0x2FF001, 10, 1).Data(), 10u);
    EXPECT_EQ(drive.Read(0x201101), 300u);
    EXPECT_EQ(drive.Read(0x200003), 5000u);
    EXPECT_EQ(drive.Read(0x2FF001), 10u);
    EXPECT_EQ(drive.Write(0x2FF001, 0, 1).Data(), 0u) << "writing 0 acknowledges";
    EXPECT_EQ(drive.Read(0x2FF001), 0u);
}

TEST(DriveBehaviour, StoreAndRebootRefuseOtherValues) {
    TestDrive drive(FamilySource());
    EXPECT_EQ(drive.Write(0x2FF001, 5, 1).Data(), AbortCode::kValueOutOfRange);
    EXPECT_EQ(drive.Write(0x2FF003, 10, 1).Data(), AbortCode::kValueOutOfRange);
    EXPECT_EQ(drive.Write(0x2FFF00, 0x55AA, 2).Data(), AbortCode::kValueOutOfRange);
    EXPECT_FALSE(drive.model->Silent());
}

TEST(DriveBehaviour, StoreFileKeepsValuesAcrossRunsAndABadOneIsRefused) {
    tarvo::test::TempFolder folder;
    std::string file = folder.File("drive.nvm");
    {
        TestDrive drive(FamilySource(), file);
        drive.Write(0x201101, 1234, 2);
        drive.Write(0x200003, 5000, 2);
        drive.Write(0x2FF001, 1, 1);
        drive.Write(0x2FF003, 1, 1);
        drive.Wait(40000);
    }
    {
        TestDrive drive(FamilySource(), file);
        EXPECT_EQ(drive.Read(0x201101), 1234u);
        EXPECT_EQ(drive.Read(0x200003), 5000u);
    }
    folder.Write("bad.nvm", "2011:01=300\nnonsense\n");
    DriveModel model(FamilySource(), {30, 50, 1, false, folder.File("bad.nvm")});
    std::string error;
    EXPECT_FALSE(model.Start(error));
    EXPECT_NE(error.find("bad.nvm:2"), std::string::npos) << error;
}

TEST(DriveBehaviour, SimulateAndPolarityActOnTheInputs) {
    TestDrive drive(FamilySource());
    drive.model->SetInputPin(7, 1);
    drive.Wait(2000);
    EXPECT_EQ(drive.Read(0x20100B), 0x40u);
    EXPECT_EQ(drive.Read(0x20100C), 0x40u);
    EXPECT_EQ(drive.Read(0x60FD00), 0x40u << 16);
    drive.Write(0x201001, 0x40, 2);  // DIN7 active low
    drive.Wait(2000);
    EXPECT_EQ(drive.Read(0x20100B), 0u);
    drive.Write(0x20100D, 0x80, 2);  // DIN8 simulated high ...
    drive.Write(0x201002, 0x80, 2);  // ... and simulated
    drive.Wait(2000);
    EXPECT_EQ(drive.Read(0x20100B), 0u) << "the real state is the pin's";
    EXPECT_EQ(drive.Read(0x20100C), 0x80u);
}

TEST(DriveBehaviour, LimitInputRaisesItsErrorAndOutputsFollowTheirFunctions) {
    TestDrive drive(FamilySource());
    drive.Write(0x201011, 0x02, 4);  // DOUT2: fault
    drive.Write(0x20100D, 0x04, 2);  // DIN3 (positive limit) simulated active
    drive.Write(0x201002, 0x04, 2);
    drive.Wait(5000);
    EXPECT_EQ(drive.Read(0x260100) & (1u << 13), 1u << 13);
    EXPECT_EQ(drive.Read(kStatusword) & 0x0808, 0x0808u) << "fault and internal limit";
    EXPECT_EQ(drive.Read(0x60FD00) & 0x2, 0x2u);
    EXPECT_EQ(drive.Read(0x201018) & 0x02, 0x02u);
    drive.Write(0x20100E, 0x02, 2);  // DOUT2 inverted
    drive.Wait(2000);
    EXPECT_EQ(drive.Read(0x201018) & 0x02, 0u);
    drive.Write(0x20100D, 0, 2);
    drive.Wait(2000);
    drive.Write(kControlword, 0x80, 2);
    drive.Wait(5000);
    EXPECT_EQ(drive.Read(0x260100), 0u);
    EXPECT_EQ(State(drive), 0x40u);
}

TEST(DriveBehaviour, InputsChangeOverTime) {
    TestDrive drive(FamilySource(), {}, true);
    drive.Wait(250000);
    uint32_t first = drive.Read(0x20100B);
    drive.Wait(500000);
    uint32_t second = drive.Read(0x20100B);
    EXPECT_NE(first & 0x40, second & 0x40) << "DIN7 follows a 1 Hz square wave";
}

}  // namespace
}  // namespace tarvo::sim::test
