#include "comm/UnstoredChanges.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tarvo::test {
namespace {

// Stored entries of the test: two control parameters and one motor parameter; 6040h is
// written often but not stored.
constexpr uint32_t kControlA = 0x606001;  // any index but 2000h
constexpr uint32_t kControlB = 0x250003;
constexpr uint32_t kMotor = 0x200005;
constexpr uint32_t kVolatile = 0x604000;
constexpr uint32_t kStoreControl = 0x2FF001;
constexpr uint32_t kStoreMotor = 0x2FF003;
constexpr uint32_t kReboot = 0x2FFF00;

struct Step {
    enum Kind { kConfirmed, kOpened } kind = kConfirmed;
    SdoCommand command = SdoCommand::Write16;
    uint32_t address = 0;
    uint32_t data = 0;
    std::string drive;
};

Step Write(uint32_t address, uint32_t data = 5) {
    return {Step::kConfirmed, SdoCommand::Write16, address, data, {}};
}
Step Read(uint32_t address) {
    return {Step::kConfirmed, SdoCommand::Read, address, 0, {}};
}
Step Command(uint32_t address, uint32_t data) {
    return {Step::kConfirmed, SdoCommand::Write8, address, data, {}};
}
Step Opened(const std::string& drive) {
    return {Step::kOpened, SdoCommand::Read, 0, 0, drive};
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::set<uint32_t> marked;
    int notifications;
};

// A refused write (abort or no answer) never reaches the tracker: the link hands it only the
// writes the drive confirmed, so "refused" cases are the ones without the confirmation.
TEST(UnstoredChangesTest, MarksFollowWritesStoresAndConnections) {
    const std::vector<Case> cases = {
        {"confirmed write of a stored entry", {Write(kControlA)}, {kControlA}, 1},
        {"volatile entry is not marked", {Write(kVolatile)}, {}, 0},
        {"a read marks nothing", {Read(kControlA)}, {}, 0},
        {"write of another width",
         {{Step::kConfirmed, SdoCommand::Write32, kMotor, 1, {}}},
         {kMotor},
         1},
        {"same entry twice counts once", {Write(kControlA), Write(kControlA, 7)}, {kControlA}, 1},
        {"control store keeps the motor mark",
         {Write(kControlA), Write(kControlB), Write(kMotor), Command(kStoreControl, 1)},
         {kMotor},
         4},
        {"motor store keeps the control marks",
         {Write(kControlA), Write(kMotor), Command(kStoreMotor, 1)},
         {kControlA},
         3},
        {"both stores clear everything",
         {Write(kControlA), Write(kMotor), Command(kStoreMotor, 1), Command(kStoreControl, 1)},
         {},
         4},
        {"initialising stores nothing",
         {Write(kControlA), Command(kStoreControl, 10)},
         {kControlA},
         1},
        {"store acknowledgement of 0 is no store",
         {Write(kControlA), Command(kStoreControl, 0)},
         {kControlA},
         1},
        {"a store read is no store", {Write(kControlA), Read(kStoreControl)}, {kControlA}, 1},
        {"write after a store marks again",
         {Write(kControlA), Command(kStoreControl, 1), Write(kControlA)},
         {kControlA},
         3},
        {"restart brings the stored values back",
         {Write(kControlA),
          Write(kMotor),
          {Step::kConfirmed, SdoCommand::Write16, kReboot, 0xAA55, {}}},
         {},
         3},
        {"another value at the restart object restarts nothing",
         {Write(kControlA), Command(kReboot, 1)},
         {kControlA},
         1},
        {"reconnect to the same drive keeps the marks",
         {Opened("2:ttyUSB0:1"), Write(kControlA), Opened("2:ttyUSB0:1")},
         {kControlA},
         1},
        {"a connection to another node forgets them",
         {Opened("2:ttyUSB0:1"), Write(kControlA), Opened("2:ttyUSB0:2"), Write(kControlB)},
         {kControlB},
         3},
        {"the first connection after marks of no drive forgets them",
         {Write(kControlA), Opened("5::1")},
         {},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnstoredChanges changes;
        changes.SetStoredEntry([](uint32_t key) { return key != kVolatile; });
        int notifications = 0;
        changes.SetListener([&] { ++notifications; });
        for (const Step& step : c.steps) {
            if (step.kind == Step::kOpened) {
                changes.OnConnectionOpened(step.drive);
            } else {
                changes.OnConfirmed(step.command, step.address, step.data);
            }
        }
        EXPECT_EQ(changes.Keys(), c.marked);
        EXPECT_EQ(changes.Count(), c.marked.size());
        EXPECT_EQ(notifications, c.notifications);
        for (uint32_t key : {kControlA, kControlB, kMotor, kVolatile}) {
            EXPECT_EQ(changes.IsUnstored(key), c.marked.count(key) != 0) << std::hex << key;
        }
    }
}

TEST(UnstoredChangesTest, WithoutTheDictionaryNothingIsKnownToBeStored) {
    UnstoredChanges changes;
    changes.OnConfirmed(SdoCommand::Write16, kControlA, 1);
    EXPECT_EQ(changes.Count(), 0u);
}

}  // namespace
}  // namespace tarvo::test
