#include "PanelViewFactory.h"

#include "ViewServices.h"

namespace tarvo {

ViewRegistry::CreatedView PanelViewFactory::Create(const ViewInfo& /*info*/,
                                                   const ViewServices& /*services*/) {
    return {};
}

}  // namespace tarvo
