#include "app/views/TrendViewFactory.h"

#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/ViewServices.h"
#include "oscilloscope/views/TrendView.h"

namespace tarvo {

ViewRegistry::CreatedView TrendViewFactory::Create(const ViewInfo& info,
                                                   const ViewServices& services) {
    if (info.kind != ViewKind::kTrend) {
        return {};
    }
    SharedState& state = services.state;
    auto* view = new TrendView({services.resources, state.dictionary, state.units, state.formulas,
                                state.link, state.switches, state.messageBox(), state.userFolder});
    return {view, view};
}

void TrendViewFactory::AddToTrend(MainFrame& mainFrame, uint32_t key) {
    if (!mainFrame.ShowView(kCommand)) {
        return;
    }
    ChildFrame* frame = mainFrame.Views().Frame(ViewKind::kTrend);
    if (auto* trend = frame != nullptr ? dynamic_cast<TrendView*>(frame->ViewTarget()) : nullptr) {
        trend->AddEntry(key);
    }
}

}  // namespace tarvo
