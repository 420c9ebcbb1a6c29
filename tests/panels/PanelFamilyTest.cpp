#include "panels/PanelFamily.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "panels/PanelDescription.h"
#include "panels/ParameterColumns.h"
#include "platform/ProfileFile.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

std::string Folder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr ? value : fallback;
}

TEST(PanelFamilyTest, NumbersAndCommandsAreUniqueAndFindTheirMember) {
    std::set<int> numbers;
    std::set<uint32_t> commands;
    for (const PanelDescription& member : PanelFamily::Members()) {
        EXPECT_TRUE(numbers.insert(member.panelNumber).second) << member.panelName;
        EXPECT_TRUE(commands.insert(member.command).second) << member.panelName;
        EXPECT_EQ(PanelFamily::ByCommand(member.command), &member);
        EXPECT_EQ(PanelFamily::ByPanelNumber(member.panelNumber), &member);
    }
    EXPECT_EQ(PanelFamily::ByCommand(1218), nullptr);    // the I/O panel is no list panel
    EXPECT_EQ(PanelFamily::ByPanelNumber(18), nullptr);  // nor is the oscilloscope
}

// The panel reads its rows from sys/<panelName>.ini, section [panelName]: every member's file
// is staged with rows, and every panel file shipped has its member (a dropped row would leave
// its file unused).
TEST(PanelFamilyTest, EveryMemberHasItsStagedDefinitionAndEveryDefinitionItsMember) {
    const std::string stage = Folder("TARVO_STAGE", TARVO_STAGE_DIR);
    std::set<std::string> members;
    for (const PanelDescription& member : PanelFamily::Members()) {
        const std::string path = stage + "/sys/" + member.panelName + ".ini";
        ASSERT_TRUE(fs::exists(path)) << path;
        ProfileFile file(path);
        EXPECT_GT(std::atoi(file.GetString(member.panelName, "num", "0", 32).c_str()), 0)
            << member.panelName;
        EXPECT_FALSE(file.GetString(member.panelName, "1", "", 32).empty()) << member.panelName;
        members.insert(member.panelName);
    }
    // The other files of sys/: the I/O and error names, the oscilloscope lists, the CAN bus.
    const std::set<std::string> notPanels = {"DataInOut", "RealTimeError", "Oscilloscope", "can"};
    const fs::path shipped = Folder("TARVO_SOURCE", TARVO_SOURCE_DIR) + "/drivedata/sys";
    for (const auto& entry : fs::directory_iterator(shipped)) {
        std::string name = entry.path().stem().string();
        if (entry.path().extension() == ".ini" && notPanels.count(name) == 0) {
            EXPECT_EQ(members.count(name), 1u) << name << ".ini belongs to no panel";
        }
    }
}

// Facts of the documented family, written out here rather than read from the table.
TEST(PanelFamilyTest, DocumentedMembers) {
    struct Fact {
        uint32_t command;
        int panelNumber;
        const char* panelName;
        int form;
        int listControl;
    };
    const Fact facts[] = {
        {1227, 2, "BasicOperate", 126, 1134},      {1248, 5, "CurrentLoop", 121, 1138},
        {1245, 8, "DinFunctionConfig", 156, 1138}, {1253, 15, "HomingMode", 137, 1254},
        {1234, 46, "DriverProperty", 143, 1076},   {1229, 47, "MotorConfig", 129, 1063},
        {32825, 21, "EtherCAT", 150, 1138},        {32826, 22, "PdoOther", 150, 1138},
        {32839, 30, "RPDO8", 150, 1138},           {32852, 33, "TPDO3", 150, 1138},
    };
    for (const Fact& fact : facts) {
        const PanelDescription* member = PanelFamily::ByCommand(fact.command);
        ASSERT_NE(member, nullptr) << fact.command;
        EXPECT_EQ(member->panelNumber, fact.panelNumber) << fact.command;
        EXPECT_EQ(std::string(member->panelName), fact.panelName) << fact.command;
        EXPECT_EQ(member->form, fact.form) << fact.command;
        EXPECT_EQ(member->listControl, fact.listControl) << fact.command;
    }
    // Where the members depart from the common behaviour.
    EXPECT_TRUE(PanelFamily::ByCommand(1234)->traits.fixedColumns);
    EXPECT_TRUE(PanelFamily::ByCommand(1234)->traits.segmentedText);
    EXPECT_FALSE(PanelFamily::ByCommand(1222)->traits.followsConnection);
    EXPECT_FALSE(PanelFamily::ByCommand(1229)->traits.deleteRenumbers);
    EXPECT_FALSE(PanelFamily::ByCommand(1228)->traits.helpNeedsSelection);
    EXPECT_TRUE(PanelFamily::ByCommand(32834)->traits.labelsFromZero);
    EXPECT_FALSE(PanelFamily::ByCommand(1227)->traits.labelsFromZero);
}

TEST(PanelFamilyTest, ColumnWidths) {
    std::array<std::string, 3> labels{"name", "data", "unit"};
    std::array<int32_t, 5> widths{257, 115, 105, 244, 48};
    ParameterColumnLayout common =
        ParameterColumns::Layout(PanelFamily::ByCommand(1227)->traits, 96, labels, widths);
    ParameterColumnLayout fixed =
        ParameterColumns::Layout(PanelFamily::ByCommand(1234)->traits, 96, labels, widths);
    ParameterColumnLayout fixedLarge =
        ParameterColumns::Layout(PanelFamily::ByCommand(1234)->traits, 120, labels, widths);
    std::vector<int> got;
    for (const auto* layout : {&common, &fixed, &fixedLarge}) {
        for (const ParameterColumn& column : *layout) {
            got.push_back(column.width);
        }
    }
    EXPECT_EQ(got, (std::vector<int>{50,  0, 257, 0,  115, 0,   105, 50,  0, 150, 0,
                                     260, 0, 80,  50, 0,   200, 0,   320, 0, 90}));
    EXPECT_EQ(common[1].header, "ID");
    EXPECT_EQ(common[6].header, "unit");
}

}  // namespace
}  // namespace tarvo
