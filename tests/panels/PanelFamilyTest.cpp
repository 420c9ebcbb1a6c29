#include "panels/PanelFamily.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "panels/PanelDescription.h"
#include "panels/ParameterColumns.h"

namespace tarvo {
namespace {

TEST(PanelFamilyTest, EveryMemberIsDistinctAndShipsItsDefinition) {
    std::set<int> numbers;
    std::set<uint32_t> commands;
    const char* root = std::getenv("TARVO_SOURCE");
    std::string source = root != nullptr ? root : TARVO_SOURCE_DIR;
    for (const PanelDescription& member : PanelFamily::Members()) {
        EXPECT_TRUE(numbers.insert(member.panelNumber).second) << member.className;
        EXPECT_TRUE(commands.insert(member.command).second) << member.className;
        EXPECT_EQ(PanelFamily::ByCommand(member.command), &member);
        EXPECT_TRUE(std::filesystem::exists(source + "/drivedata/sys/" + member.panelName + ".ini"))
            << member.panelName;
    }
    EXPECT_EQ(PanelFamily::Members().size(), 18u + 18u);  // list panels and fieldbus pages
    EXPECT_EQ(PanelFamily::ByPanelNumber(46)->panelName, std::string("DriverProperty"));
    EXPECT_EQ(PanelFamily::ByCommand(1218), nullptr);  // the I/O panel is no list panel
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
