#include "app/views/DriveControlViewFactory.h"

#include "app/SharedState.h"
#include "app/views/ViewServices.h"
#include "panels/drivecontrol/views/DriveControlView.h"

namespace tarvo {

ViewRegistry::CreatedView DriveControlViewFactory::Create(const ViewInfo& info,
                                                          const ViewServices& services) {
    if (info.kind != ViewKind::kDriveControl) {
        return {};
    }
    SharedState& state = services.state;
    DriveControlView::Services control{
        IoPanelLink::Of(state.link, state.switches), services.resources,
        DriveUnits(&state.dictionary, &state.units, &state.formulas)};
    auto* view = new DriveControlView(control);
    return {view, view};
}

}  // namespace tarvo
