#include "app/views/IoErrorViewFactory.h"

#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/ViewServices.h"
#include "panels/ioerror/views/DataInOutView.h"
#include "panels/ioerror/views/RealtimeErrorView.h"
#include "resources/ResourceSet.h"

namespace tarvo {

ViewRegistry::CreatedView IoErrorViewFactory::Create(const ViewInfo& info,
                                                     const ViewServices& services) {
    SharedState& state = services.state;
    const bool chinese = services.resources.language() == ResourceSet::Language::Chinese;
    IoPanelLink link = IoPanelLink::Of(state.link, state.switches);
    switch (info.kind) {
        case ViewKind::kDataInOut: {
            DataInOutView::Services io{link,
                                       services.resources,
                                       state.messageBox(),
                                       &state.dictionary,
                                       &state.units,
                                       &state.project,
                                       &services.mainFrame,
                                       state.programFolder,
                                       chinese,
                                       state.horizontalResolution};
            auto* view = new DataInOutView(io);
            return {view, view};
        }
        case ViewKind::kRealtimeError: {
            RealtimeErrorView::Services errors{link, services.resources, state.messageBox(),
                                               state.programFolder, chinese};
            auto* view = new RealtimeErrorView(errors);
            return {view, view};
        }
        default:
            return {};
    }
}

}  // namespace tarvo
