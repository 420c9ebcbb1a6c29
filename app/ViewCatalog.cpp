#include "app/ViewCatalog.h"

#include <algorithm>

namespace tarvo {

namespace {

using K = ViewKind;

constexpr ViewInfo kViews[] = {
    {57600, K::kCommMode, 125, nullptr, -1, nullptr},  // "New": close all, then the form
    {1212, K::kCommMode, 125, nullptr, -1, nullptr},
    // The settings forms are shown by "Properties" (1213) for the current mode; they are
    // listed under their dialog numbers.
    {124, K::kCommRs232, 124, nullptr, -1, nullptr},
    {123, K::kCommCan, 123, nullptr, -1, nullptr},
    {1227, K::kBaseOperate, 126, nullptr, 2, nullptr},
    {1215, K::kPositCircle, 132, nullptr, 3, nullptr},
    {1217, K::kSpeedCircle, 133, nullptr, 4, nullptr},
    {1248, K::kCurrentCircle, 121, nullptr, 5, nullptr},
    {1218, K::kDataInOut, 144, nullptr, 6, nullptr},
    {1219, K::kAnalogInput, 146, nullptr, 7, nullptr},
    {1245, K::kFuncConfig, 156, nullptr, 8, nullptr},
    {1220, K::kSpeedMode, 134, nullptr, 9, nullptr},
    {1221, K::kSpeedPhaseMode, 135, nullptr, 10, nullptr},
    {1222, K::kTorqueMode, 136, nullptr, 11, nullptr},
    {1223, K::kPulseMode, 138, nullptr, 12, nullptr},
    {1224, K::kAutoSeverseMode, 139, nullptr, 13, nullptr},
    {1225, K::kPositionMode, 141, nullptr, 14, nullptr},
    {1253, K::kHomingMode, 137, nullptr, 15, nullptr},
    {1226, K::kClockSwingMode, 142, nullptr, 16, nullptr},
    {1233, K::kDrvCfg, 131, nullptr, 17, nullptr},
    {1247, K::kDriverOscillo, 159, nullptr, 18, nullptr},
    {1235, K::kRealtimeError, 145, nullptr, 19, nullptr},
    {1228, K::kErrorGroup, 127, nullptr, 20, nullptr},
    {32825, K::kEtherCat, 0, "EtherCAT", 21, "EtherCAT"},
    {32826, K::kPdoOther, 32826, "Configure", 22, "PdoOther"},
    {32832, K::kRpdoPanel, 0, "RPDO1", 23, "RPDO1"},
    {32833, K::kRpdoPanel, 0, "RPDO2", 24, "RPDO2"},
    {32834, K::kRpdoPanel, 0, "RPDO3", 25, "RPDO3"},
    {32835, K::kRpdoPanel, 0, "RPDO4", 26, "RPDO4"},
    {32836, K::kRpdoPanel, 0, "RPDO5", 27, "RPDO5"},
    {32837, K::kRpdoPanel, 0, "RPDO6", 28, "RPDO6"},
    {32838, K::kRpdoPanel, 0, "RPDO7", 29, "RPDO7"},
    {32839, K::kRpdoPanel, 0, "RPDO8", 30, "RPDO8"},
    {32840, K::kTpdoPanel, 0, "TPDO1", 31, "TPDO1"},
    {32841, K::kTpdoPanel, 0, "TPDO2", 32, "TPDO2"},
    {32852, K::kTpdoPanel, 0, "TPDO3", 33, "TPDO3"},
    {32851, K::kTpdoPanel, 0, "TPDO4", 34, "TPDO4"},
    {32850, K::kTpdoPanel, 0, "TPDO5", 35, "TPDO5"},
    {32849, K::kTpdoPanel, 0, "TPDO6", 36, "TPDO6"},
    {32848, K::kTpdoPanel, 0, "TPDO7", 37, "TPDO7"},
    {32847, K::kTpdoPanel, 0, "TPDO8", 38, "TPDO8"},
    {1234, K::kDriverProterty, 143, nullptr, 46, nullptr},
    {1229, K::kMotorParam, 129, nullptr, 47, nullptr},
    {32859, K::kTpdoPages, 0, "TPDO", 48, nullptr},
    {32857, K::kRpdoPages, 0, "RPDO", 49, nullptr},
    {1250, K::kSdoList, 128, nullptr, -1, nullptr},
    {1243, K::kExportDrvData, 155, nullptr, -1, nullptr},
    {1244, K::kImportDrvData, 158, nullptr, -1, nullptr},
};

struct FixedSize {
    ViewKind kind;
    int width96, height96, width, height;  // at 96 pixels per inch, and at any other
};

constexpr FixedSize kFixedSizes[] = {
    {K::kCommRs232, 300, 260, 360, 320},     {K::kCommCan, 300, 260, 360, 320},
    {K::kCommMode, 300, 260, 370, 320},      {K::kSdoList, 800, 460, 890, 580},
    {K::kDataInOut, 465, 565, 520, 620},     {K::kDriverProterty, 570, 240, 710, 280},
    {K::kExportDrvData, 580, 520, 700, 650}, {K::kImportDrvData, 680, 530, 850, 660},
};

}  // namespace

std::span<const ViewInfo> ViewCatalog::All() {
    return kViews;
}

const ViewInfo* ViewCatalog::ByCommand(uint32_t command) {
    auto it = std::find_if(std::begin(kViews), std::end(kViews),
                           [command](const ViewInfo& v) { return v.command == command; });
    return it == std::end(kViews) ? nullptr : &*it;
}

const ViewInfo* ViewCatalog::ByPanelNumber(int panelNumber) {
    if (panelNumber < 0) {
        return nullptr;
    }
    auto it = std::find_if(std::begin(kViews), std::end(kViews), [panelNumber](const ViewInfo& v) {
        return v.panelNumber == panelNumber;
    });
    return it == std::end(kViews) ? nullptr : &*it;
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
    for (const FixedSize& size : kFixedSizes) {
        if (size.kind == view.kind) {
            place.width = at96 ? size.width96 : size.width;
            place.height = at96 ? size.height96 : size.height;
            return place;
        }
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
    // Parameter panels, fieldbus panels and PDO pages follow their list columns.
    const int border = at96 ? 86 : 110;
    place.width = border + w[0] + w[1] + w[2] + static_cast<int>(0.05 * w[4]);
    place.height = border + w[3] + static_cast<int>(0.03 * w[4]);
    return place;
}

}  // namespace tarvo
