#include "IoErrorViewFactory.h"

#include "ViewServices.h"

namespace tarvo {

ViewRegistry::CreatedView IoErrorViewFactory::Create(const ViewInfo& /*info*/,
                                                     const ViewServices& /*services*/) {
    return {};
}

}  // namespace tarvo
