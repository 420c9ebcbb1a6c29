#include "app/views/ScopeViewFactory.h"

#include "app/SharedState.h"
#include "app/views/ProjectPlace.h"
#include "app/views/ViewServices.h"
#include "oscilloscope/views/DriverOscilloView.h"

namespace tarvo {

ViewRegistry::CreatedView ScopeViewFactory::Create(const ViewInfo& info,
                                                   const ViewServices& services) {
    if (info.kind != ViewKind::kDriverOscillo) {
        return {};
    }
    SharedState& state = services.state;
    auto* view = new DriverOscilloView({services.resources, state.dictionary, state.units,
                                        state.formulas, state.link, state.switches,
                                        state.messageBox(), state.programFolder, state.userFolder});
    // The oscilloscope keeps no place of its own: the project stores it under its number.
    auto* target = new ProjectPlace(view, view, services, info.panelNumber);
    return {view, target};
}

}  // namespace tarvo
