#pragma once

#include "app/views/ViewRegistry.h"

namespace tarvo {

struct ViewInfo;
struct ViewServices;

// Makes the views of the oscilloscope.
class ScopeViewFactory {
public:
    // The view of the kind, or no widget when the kind is not one of these views.
    static ViewRegistry::CreatedView Create(const ViewInfo& info, const ViewServices& services);
};

}  // namespace tarvo
