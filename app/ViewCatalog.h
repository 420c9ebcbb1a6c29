#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarvo {

// Every kind of view the main frame can show, with the command that shows it, its title,
// its project panel number and the rule for its frame's size and place.
enum class ViewKind {
    kCommMode,
    kCommRs232,
    kCommCan,
    kBaseOperate,
    kPositCircle,
    kSpeedCircle,
    kCurrentCircle,
    kDataInOut,
    kSdoList,
    kDrvCfg,
    kRpdoPages,
    kTpdoPages,
    kEtherCat,
    kPdoOther,
    kDriverOscillo,
    kRealtimeError,
    kErrorGroup,
    kDriverProterty,
    kMotorParam,
    kHomingMode,
    kSpeedPhaseMode,
    kPositionMode,
    kPulseMode,
    kSpeedMode,
    kAutoSeverseMode,
    kClockSwingMode,
    kExportDrvData,
    kImportDrvData,
    kTorqueMode,
    kAnalogInput,
    kFuncConfig,
    kRpdoPanel,  // RPDO1..RPDO8 panels: eight commands, one kind
    kTpdoPanel,
};

struct ViewInfo {
    uint32_t command;
    ViewKind kind;
    uint32_t titleString;    // string-table id, 0 when the title is fixed text
    const char* fixedTitle;  // used when titleString is 0
    int panelNumber;         // -1 when the view is not restored from projects
    const char* panelFile;   // definition file of the fieldbus panels, else null
};

struct FramePlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class ViewCatalog {
public:
    static std::span<const ViewInfo> All();
    static const ViewInfo* ByCommand(uint32_t command);
    static const ViewInfo* ByPanelNumber(int panelNumber);

    // Size and default place of a view's frame. `columnWidths` are the five widths settled
    // at start; `chinese` picks the sizes of the views whose forms differ by language.
    static FramePlace DefaultPlace(const ViewInfo& view, int pixelsPerInch,
                                   const std::array<int32_t, 5>& columnWidths, bool chinese);
};

}  // namespace tarvo
