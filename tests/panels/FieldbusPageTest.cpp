#include <gtest/gtest.h>

#include "panels/PanelFamily.h"
#include "panels/ParameterPanel.h"
#include "panels/TagFormModel.h"
#include "platform/ProfileFile.h"
#include "tests/panels/PanelRig.h"

namespace tarvo {
namespace {

using test::PanelRig;

std::vector<std::string> Labels(const ParameterPanel& panel) {
    std::vector<std::string> labels;
    for (int row = 0; row < panel.List().RowCount(); ++row) {
        labels.push_back(panel.List().Text(row, ParameterRows::kLabelColumn));
    }
    return labels;
}

TEST(FieldbusPageTest, PagesAreFamilyMembersWithTheirProjectNumbers) {
    const uint32_t tpdoCommands[] = {32840, 32841, 32852, 32851, 32850, 32849, 32848, 32847};
    for (int k = 1; k <= 8; ++k) {
        const PanelDescription* rpdo = PanelFamily::ByCommand(32831 + k);
        const PanelDescription* tpdo = PanelFamily::ByCommand(tpdoCommands[k - 1]);
        ASSERT_TRUE(rpdo && tpdo);
        EXPECT_EQ(rpdo->panelName, "RPDO" + std::to_string(k));
        EXPECT_EQ(rpdo->panelNumber, 22 + k);
        EXPECT_EQ(tpdo->panelName, "TPDO" + std::to_string(k));
        EXPECT_EQ(tpdo->panelNumber, 30 + k);
        EXPECT_EQ(rpdo->form, 150);
    }
    EXPECT_EQ(PanelFamily::ByCommand(32825)->panelNumber, 21);
    EXPECT_EQ(PanelFamily::ByCommand(32826)->panelName, std::string("PdoOther"));
    EXPECT_EQ(PanelFamily::ByCommand(32826)->panelNumber, 22);
}

TEST(FieldbusPageTest, LabelsCountFromZeroAndOnlyThePlaceIsSaved) {
    PanelRig rig;
    rig.Definition("RPDO3", "num=3\r\n1=606000\r\n2=606400\r\n3=608100\r\n");
    rig.projectOpened = true;  // a page never reads rows from the project
    rig.project.SetOpenPath(
        rig.folder.Write("open.ksp", "[TarvoStep:25]\r\nnum=1\r\n0=6316032,1,\r\n"));
    ParameterPanel page(*PanelFamily::ByCommand(32834), rig.Services());
    page.Create();
    EXPECT_EQ(Labels(page), (std::vector<std::string>{"0", "1*", "2"}));
    EXPECT_EQ(page.PassCursor(), 2);  // the pass has started

    page.List().SetSelected(0, true);
    page.RunCommand(ParameterPanel::kDelete);
    EXPECT_EQ(Labels(page), (std::vector<std::string>{"0*", "1"}));
    page.List().SetSelected(1, true);
    page.List().SetFocused(1, true);
    page.onMessage(WM_OBJECT_PICKED, 0, PanelRig::kMode);
    EXPECT_EQ(Labels(page), (std::vector<std::string>{"0*", "1", "2"}));

    // Code 4 loads no rows; code 3 stores the window place under 25 and no rows.
    page.onMessage(WM_LINK_STATE, 4, 0);
    EXPECT_EQ(page.List().RowCount(), 3);
    std::vector<std::pair<int, int>> places;
    page.SetPlaceSaver([&places](int number, int flag) { places.emplace_back(number, flag); });
    page.onMessage(WM_LINK_STATE, 3, 0);
    EXPECT_EQ(places, (std::vector<std::pair<int, int>>{{25, 1}}));
    EXPECT_EQ(ProfileFile(rig.project.SavePath()).GetString("TarvoStep:25", "num", "", 16), "");
}

// A definition line that names no entry leaves no gap in a page's numbering, whichever
// line it is; a list panel keeps its line numbers.
TEST(FieldbusPageTest, LabelsFollowThePlaceAfterALineWithoutEntry) {
    struct Case {
        const char* lines;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {"num=3\r\n1=606000\r\n2=7FFF00\r\n3=608100\r\n", {"0", "1"}},
        {"num=3\r\n1=7FFF00\r\n2=606000\r\n3=608100\r\n", {"0", "1"}},
        {"num=4\r\n1=606000\r\n2=7FFF00\r\n3=7FFE00\r\n4=608100\r\n", {"0", "1"}},
        {"num=3\r\n1=606000\r\n2=608100\r\n3=7FFF00\r\n", {"0", "1"}},
    };
    for (const Case& c : cases) {
        PanelRig rig;
        rig.Definition("RPDO3", c.lines);
        ParameterPanel page(*PanelFamily::ByCommand(32834), rig.Services());
        page.Create();
        EXPECT_EQ(Labels(page), c.labels) << c.lines;
    }
    PanelRig rig;
    rig.Definition("BasicOperate", "num=3\r\n1=606000\r\n2=7FFF00\r\n3=608100\r\n");
    ParameterPanel panel(*PanelFamily::ByCommand(1227), rig.Services());
    panel.Create();
    EXPECT_EQ(Labels(panel), (std::vector<std::string>{"1", "3"}));
}

TEST(FieldbusPageTest, TabViewMakesEachPageOnceAndSavesItsPlace) {
    TagFormModel rpdo(TagFormModel::Direction::kReceive);
    TagFormModel tpdo(TagFormModel::Direction::kTransmit);
    EXPECT_EQ(rpdo.PageName(1), "RPDO1");
    EXPECT_EQ(tpdo.PageName(8), "TPDO8");
    EXPECT_EQ(rpdo.PageDescription(3)->panelName, std::string("RPDO3"));
    EXPECT_EQ(tpdo.PageDescription(3)->command, 32852u);
    EXPECT_EQ(rpdo.PageDescription(9), nullptr);

    EXPECT_TRUE(rpdo.ChooseTab(0).create);
    TagFormModel::Choice third = rpdo.ChooseTab(2);
    EXPECT_EQ(third.page, 3);
    EXPECT_TRUE(third.create);
    EXPECT_FALSE(rpdo.ChooseTab(0).create);  // back to a page made before
    EXPECT_EQ(rpdo.ShownPage(), 1);
    EXPECT_EQ(rpdo.ChooseTab(8).page, 0);  // no ninth tab
    EXPECT_FALSE(rpdo.PageCreated(2));

    std::vector<std::pair<int, int>> places;
    auto saver = [&places](int number, int flag) { places.emplace_back(number, flag); };
    rpdo.SetPlaceSaver(saver);
    tpdo.SetPlaceSaver(saver);
    rpdo.onMessage(WM_LINK_STATE, 3, 0);
    tpdo.onMessage(WM_LINK_STATE, 1, 0);
    tpdo.onMessage(WM_LINK_STATE, 3, 0);
    EXPECT_EQ(places, (std::vector<std::pair<int, int>>{{49, 1}, {48, 0}}));
}

}  // namespace
}  // namespace tarvo
