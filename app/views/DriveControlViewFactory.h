#pragma once

#include "app/views/ViewRegistry.h"

namespace tarvo {

struct ViewInfo;
struct ViewServices;

// Makes the Drive Control view.
class DriveControlViewFactory {
public:
    // The view of the kind, or no widget when the kind is not Drive Control.
    static ViewRegistry::CreatedView Create(const ViewInfo& info, const ViewServices& services);
};

}  // namespace tarvo
