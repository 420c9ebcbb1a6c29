#include "app/ViewCatalog.h"

#include <gtest/gtest.h>

#include <set>

#include "app/LanguageSettlement.h"

namespace tarvo {
namespace {

FramePlace PlaceOf(uint32_t command, int dpi, bool chinese = false) {
    const ViewInfo* info = ViewCatalog::ByCommand(command);
    EXPECT_NE(info, nullptr) << command;
    return info ? ViewCatalog::DefaultPlace(*info, dpi, LanguageSettlement::ColumnWidths(dpi),
                                            chinese)
                : FramePlace{};
}

std::pair<int, int> SizeOf(uint32_t command, int dpi, bool chinese = false) {
    FramePlace place = PlaceOf(command, dpi, chinese);
    return {place.width, place.height};
}

using Size = std::pair<int, int>;

TEST(ViewCatalog, FixedSizesAt96AndAtOtherResolutions) {
    EXPECT_EQ(SizeOf(124, 96), Size(300, 260));
    EXPECT_EQ(SizeOf(123, 96), Size(300, 260));
    EXPECT_EQ(SizeOf(1212, 96), Size(300, 260));
    EXPECT_EQ(SizeOf(124, 120), Size(360, 320));
    EXPECT_EQ(SizeOf(1212, 120), Size(370, 320));
    EXPECT_EQ(SizeOf(57600, 144), Size(370, 320));  // "New" shows the same form
    EXPECT_EQ(SizeOf(1250, 96), Size(800, 460));
    EXPECT_EQ(SizeOf(1250, 120), Size(890, 580));
    EXPECT_EQ(SizeOf(1218, 96), Size(465, 565));
    EXPECT_EQ(SizeOf(1234, 120), Size(710, 280));
    EXPECT_EQ(SizeOf(1243, 96), Size(580, 520));
    EXPECT_EQ(SizeOf(1244, 120), Size(850, 660));
}

TEST(ViewCatalog, ErrorAndOscilloscopeSizesDependOnTheLanguage) {
    EXPECT_EQ(SizeOf(1235, 96, true), Size(610, 540));
    EXPECT_EQ(SizeOf(1235, 96, false), Size(740, 550));
    EXPECT_EQ(SizeOf(1235, 120, true), Size(750, 660));
    EXPECT_EQ(SizeOf(1235, 120, false), Size(920, 680));
    EXPECT_EQ(SizeOf(1247, 96, true), Size(912, 615));
    EXPECT_EQ(SizeOf(1247, 96, false), Size(1010, 640));
    EXPECT_EQ(SizeOf(1247, 120, true), Size(1164, 780));
    EXPECT_EQ(SizeOf(1247, 120, false), Size(1255, 790));
}

TEST(ViewCatalog, PanelsFollowTheirColumnWidths) {
    // 96 dpi: widths 257, 115, 105, 244, 48; border 86.
    EXPECT_EQ(SizeOf(1227, 96), Size(86 + 257 + 115 + 105 + 2, 86 + 244 + 1));
    // 120 dpi: widths 321, 144, 132, 306, 60; border 110.
    EXPECT_EQ(SizeOf(1227, 120), Size(110 + 321 + 144 + 132 + 3, 110 + 306 + 1));
    // Fieldbus panels and PDO pages use the same rule.
    EXPECT_EQ(SizeOf(32847, 96), SizeOf(1227, 96));
    EXPECT_EQ(SizeOf(32857, 120), SizeOf(1227, 120));
}

TEST(ViewCatalog, DefaultPlaces) {
    FramePlace panel = PlaceOf(1227, 96);
    EXPECT_EQ(std::make_pair(panel.left, panel.top), std::make_pair(50, 20));
    FramePlace exporter = PlaceOf(1243, 96);
    EXPECT_EQ(std::make_pair(exporter.left, exporter.top), std::make_pair(80, 30));
    FramePlace scope = PlaceOf(1247, 120);
    EXPECT_EQ(std::make_pair(scope.left, scope.top), std::make_pair(0, 0));
}

TEST(ViewCatalog, PanelNumbersAreUniqueAndFindTheirView) {
    std::set<int> numbers;
    for (const ViewInfo& view : ViewCatalog::All()) {
        if (view.panelNumber < 0) {
            continue;
        }
        EXPECT_TRUE(numbers.insert(view.panelNumber).second) << view.panelNumber;
        EXPECT_EQ(ViewCatalog::ByPanelNumber(view.panelNumber), &view);
    }
    EXPECT_EQ(ViewCatalog::ByPanelNumber(33)->command, 32852u);  // "TPDO3" runs downwards
    EXPECT_EQ(ViewCatalog::ByPanelNumber(38)->command, 32847u);
    EXPECT_EQ(ViewCatalog::ByPanelNumber(-1), nullptr);
    EXPECT_EQ(ViewCatalog::ByCommand(1246), nullptr);  // Initialize/Save is a dialog
}

}  // namespace
}  // namespace tarvo
