#include "app/ViewCatalog.h"

#include <algorithm>
#include <vector>

#include "panels/PanelFamily.h"

namespace tarvo {

namespace {

using K = ViewKind;

// The main frame's own views; the list panels follow from the panel family.
constexpr ViewInfo kFrameViews[] = {
    {57600, K::kCommMode, 125, nullptr, -1},  // "New": close all, then the form
    {1212, K::kCommMode, 125, nullptr, -1},
    // The settings forms are shown by "Properties" (1213) for the current mode; they are
    // listed under their dialog numbers.
    {124, K::kCommRs232, 124, nullptr, -1},
    {123, K::kCommCan, 123, nullptr, -1},
    {1218, K::kDataInOut, 144, nullptr, 6},
    {1247, K::kDriverOscillo, 159, nullptr, 18},
    {1235, K::kRealtimeError, 145, nullptr, 19},
    {32859, K::kTpdoPages, 0, "TPDO", 48},
    {32857, K::kRpdoPages, 0, "RPDO", 49},
    {1250, K::kSdoList, 128, nullptr, -1},
    {1243, K::kExportDrvData, 155, nullptr, -1},
    {1244, K::kImportDrvData, 158, nullptr, -1},
    {1300, K::kDriveControl, 1301, nullptr, -1},
    {1400, K::kTrend, 1401, nullptr, -1},
};

std::vector<ViewInfo> MakeViews() {
    std::vector<ViewInfo> views(std::begin(kFrameViews), std::end(kFrameViews));
    for (const PanelDescription& member : PanelFamily::Members()) {
        views.push_back({member.command, K::kListPanel, static_cast<uint32_t>(member.titleString),
                         member.fixedTitle, member.panelNumber, &member});
    }
    return views;
}

const std::vector<ViewInfo>& Views() {
    static const std::vector<ViewInfo> views = MakeViews();
    return views;
}

struct FixedSize {
    ViewKind kind;
    int width96, height96, width, height;  // at 96 pixels per inch, and at any other
};

constexpr FixedSize kFixedSizes[] = {
    {K::kCommRs232, 300, 260, 360, 320},     {K::kCommCan, 300, 260, 360, 320},
    {K::kCommMode, 300, 260, 370, 320},      {K::kSdoList, 800, 460, 890, 580},
    {K::kDataInOut, 465, 565, 520, 620},     {K::kExportDrvData, 580, 520, 700, 650},
    {K::kImportDrvData, 680, 530, 850, 660}, {K::kDriveControl, 800, 700, 960, 840},
};

// A list panel with fixed columns has a fixed frame around them.
constexpr FixedSize kFixedColumnsFrame{K::kListPanel, 570, 240, 710, 280};

}  // namespace

std::span<const ViewInfo> ViewCatalog::All() {
    return Views();
}

const ViewInfo* ViewCatalog::ByCommand(uint32_t command) {
    const std::vector<ViewInfo>& views = Views();
    auto it = std::find_if(views.begin(), views.end(),
                           [command](const ViewInfo& v) { return v.command == command; });
    return it == views.end() ? nullptr : &*it;
}

const ViewInfo* ViewCatalog::ByPanelNumber(int panelNumber) {
    if (panelNumber < 0) {
        return nullptr;
    }
    const std::vector<ViewInfo>& views = Views();
    auto it = std::find_if(views.begin(), views.end(), [panelNumber](const ViewInfo& v) {
        return v.panelNumber == panelNumber;
    });
    return it == views.end() ? nullptr : &*it;
}

FramePlace ViewCatalog::DefaultPlace(const ViewInfo& view, int pixelsPerInch,
                                     const std::array<int32_t, 5>& w, bool chinese) {
    const bool at96 = (pixelsPerInch == 96);
    FramePlace place{50, 20, 0, 0};
    if (view.kind == K::kExportDrvData) {
        place.left = 80;
        place.top = 30;
    } else if (view.kind == K::kDriverOscillo) {
        place.left = 0;
        place.top = 0;
    }
    const FixedSize* fixed = nullptr;
    for (const FixedSize& size : kFixedSizes) {
        if (size.kind == view.kind) {
            fixed = &size;
        }
    }
    if (view.panel != nullptr && view.panel->traits.fixedColumns) {
        fixed = &kFixedColumnsFrame;
    }
    if (fixed != nullptr) {
        place.width = at96 ? fixed->width96 : fixed->width;
        place.height = at96 ? fixed->height96 : fixed->height;
        return place;
    }
    if (view.kind == K::kRealtimeError) {
        place.width = at96 ? (chinese ? 610 : 740) : (chinese ? 750 : 920);
        place.height = at96 ? (chinese ? 540 : 550) : (chinese ? 660 : 680);
        return place;
    }
    if (view.kind == K::kDriverOscillo) {
        place.width = at96 ? (chinese ? 912 : 1010) : (chinese ? 1164 : 1255);
        place.height = at96 ? (chinese ? 615 : 640) : (chinese ? 780 : 790);
        return place;
    }
    if (view.kind == K::kTrend) {
        place.width = at96 ? 900 : 1100;
        place.height = at96 ? 600 : 740;
        return place;
    }
    // Parameter panels, fieldbus panels and PDO pages follow their list columns.
    const int border = at96 ? 86 : 110;
    place.width = border + w[0] + w[1] + w[2] + static_cast<int>(0.05 * w[4]);
    place.height = border + w[3] + static_cast<int>(0.03 * w[4]);
    return place;
}

}  // namespace tarvo
