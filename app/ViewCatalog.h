#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarvo {

struct PanelDescription;

// Every kind of view the main frame can show. The members of the panel family (parameter
// panels and fieldbus pages) are one kind: their differences are their PanelDescription.
enum class ViewKind {
    kCommMode,
    kCommRs232,
    kCommCan,
    kListPanel,
    kDataInOut,
    kSdoList,
    kRpdoPages,
    kTpdoPages,
    kDriverOscillo,
    kRealtimeError,
    kExportDrvData,
    kImportDrvData,
    kDriveControl,
    kTrend,
};

// A view with the command that shows it, its title and its project panel number.
struct ViewInfo {
    uint32_t command;
    ViewKind kind;
    uint32_t titleString;    // string-table id, 0 when the title is fixed text
    const char* fixedTitle;  // used when the title string is 0 or missing; null: the menu caption
    int panelNumber;         // -1 when the view is not restored from projects
    const PanelDescription* panel = nullptr;  // the member of the panel family, for kListPanel
};

struct FramePlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The views of the main frame: its own views, and one list panel view per member of the
// panel family, taken from that family's table.
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
