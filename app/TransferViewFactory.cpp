#include "TransferViewFactory.h"

#include "ExportDrvDataView.h"
#include "ImportDrvDataView.h"
#include "MainFrame.h"
#include "SharedState.h"
#include "ViewServices.h"

namespace tarvo {

ViewRegistry::CreatedView TransferViewFactory::Create(const ViewInfo& info,
                                                      const ViewServices& services) {
    if (info.kind != ViewKind::kExportDrvData && info.kind != ViewKind::kImportDrvData) {
        return {};
    }
    SharedState& state = services.state;
    TransferViewContext context{state.link,       state.switches,     state.messageBox(),
                                state.dictionary, services.resources, &services.mainFrame,
                                state.userFolder};
    if (info.kind == ViewKind::kExportDrvData) {
        auto* view = new ExportDrvDataView(context);
        return {view, view};
    }
    auto* view = new ImportDrvDataView(context);
    return {view, view};
}

}  // namespace tarvo
