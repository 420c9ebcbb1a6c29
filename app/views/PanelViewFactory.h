#pragma once

#include "app/views/ViewRegistry.h"

namespace tarvo {

struct ViewInfo;
struct ViewServices;

// Makes the views of the panel family (parameter panels and fieldbus pages), the RPDO and
// TPDO tab views and the dictionary browser.
class PanelViewFactory {
public:
    // The view of the kind, or no widget when the kind is not one of these views.
    static ViewRegistry::CreatedView Create(const ViewInfo& info, const ViewServices& services);
};

}  // namespace tarvo
