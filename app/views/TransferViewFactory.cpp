#include "app/views/TransferViewFactory.h"

#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/ViewServices.h"
#include "platform/MessageTarget.h"
#include "transfer/views/ExportDrvDataView.h"
#include "transfer/views/ImportDrvDataView.h"

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
    ViewRegistry::CreatedView created;
    if (info.kind == ViewKind::kExportDrvData) {
        auto* view = new ExportDrvDataView(context);
        created = {view, view};
    } else {
        auto* view = new ImportDrvDataView(context);
        created = {view, view};
    }
    // A transfer talks to the drive alone from its first showing on, not only from the
    // second: the frame only tells views that are brought back.
    created.target->onMessage(WM_LINK_STATE, ToWParam(WindowState::Shown), 0);
    return created;
}

}  // namespace tarvo
