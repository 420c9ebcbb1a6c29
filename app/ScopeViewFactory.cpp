#include "ScopeViewFactory.h"

#include "ViewServices.h"

namespace tarvo {

ViewRegistry::CreatedView ScopeViewFactory::Create(const ViewInfo& /*info*/,
                                                   const ViewServices& /*services*/) {
    return {};
}

}  // namespace tarvo
