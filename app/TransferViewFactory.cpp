#include "TransferViewFactory.h"

#include "ViewServices.h"

namespace tarvo {

ViewRegistry::CreatedView TransferViewFactory::Create(const ViewInfo& /*info*/,
                                                      const ViewServices& /*services*/) {
    return {};
}

}  // namespace tarvo
