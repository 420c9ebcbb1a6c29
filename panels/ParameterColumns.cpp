#include "panels/ParameterColumns.h"

#include "panels/PanelDescription.h"

namespace tarvo {

ParameterColumnLayout ParameterColumns::Layout(const PanelTraits& traits, int pixelsPerInch,
                                               const std::array<std::string, 3>& labels,
                                               const std::array<int32_t, 5>& widths) {
    int name = widths[0];
    int value = widths[1];
    int unit = widths[2];
    if (traits.fixedColumns) {
        const bool at96 = pixelsPerInch == 96;
        name = at96 ? 150 : 200;
        value = at96 ? 260 : 320;
        unit = at96 ? 80 : 90;
    }
    return {{{"", 50},
             {"ID", 0},
             {labels[0], name},
             {"DataType", 0},
             {labels[1], value},
             {"Attribute", 0},
             {labels[2], unit}}};
}

}  // namespace tarvo
