#pragma once

#include <cstdint>

#include "app/views/ViewRegistry.h"

namespace tarvo {

class MainFrame;
struct ViewInfo;
struct ViewServices;

// Makes the trend view, and adds entries to it from the other views.
class TrendViewFactory {
public:
    static constexpr uint32_t kCommand = 1400;

    // The view of the kind, or no widget when the kind is not the trend.
    static ViewRegistry::CreatedView Create(const ViewInfo& info, const ViewServices& services);
    // Shows the trend (making it the first time) and adds the entry to it.
    static void AddToTrend(MainFrame& mainFrame, uint32_t key);
};

}  // namespace tarvo
