#pragma once

#include <cstdint>
#include <span>

#include "panels/PanelDescription.h"

namespace tarvo {

// Every member of the list panel family, as one table. A new member (with its differences)
// is a new row, not a new class.
class PanelFamily {
public:
    static std::span<const PanelDescription> Members();
    // Null when no member has the command or number.
    static const PanelDescription* ByCommand(uint32_t command);
    static const PanelDescription* ByPanelNumber(int panelNumber);
};

}  // namespace tarvo
