#include "PanelViewFactory.h"

#include <chrono>
#include <utility>

#include "SdoListView.h"
#include "SharedState.h"
#include "ViewServices.h"

namespace tarvo {

namespace {

// The object dictionary browser; a pick goes to the window that last asked for one.
ViewRegistry::CreatedView CreateBrowser(const ViewServices& services) {
    SharedState& state = services.state;
    // The list is filled once: a browser opened while the loader still runs would miss
    // entries for the whole run.
    state.dictionary.WaitLoaded(std::chrono::seconds(3));
    auto* view = new SdoListView({state.dictionary, state.messageBox(), services.resources,
                                  state.horizontalResolution,
                                  [&state] { return std::exchange(state.pickTarget, nullptr); }});
    return {view, view};
}

}  // namespace

ViewRegistry::CreatedView PanelViewFactory::Create(const ViewInfo& info,
                                                   const ViewServices& services) {
    if (info.kind == ViewKind::kSdoList) {
        return CreateBrowser(services);
    }
    return {};
}

}  // namespace tarvo
