#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dictionary/ParameterRows.h"

namespace tarvo {

struct PanelTraits;

// The seven columns of a parameter list: header and width in pixels (0 hides a column).
struct ParameterColumn {
    std::string header;
    int width = 0;
};

using ParameterColumnLayout = std::array<ParameterColumn, ParameterRows::kColumnCount>;

class ParameterColumns {
public:
    // The columns of a panel: the row label, the hidden key, the name, the hidden data
    // type, the value, the hidden attributes and the unit. `labels` are the name, value and
    // unit headers of the interface language and `widths` the widths settled at start-up;
    // a panel with fixed columns takes its own name, value and unit widths.
    static ParameterColumnLayout Layout(const PanelTraits& traits, int pixelsPerInch,
                                        const std::array<std::string, 3>& labels,
                                        const std::array<int32_t, 5>& widths);
};

}  // namespace tarvo
