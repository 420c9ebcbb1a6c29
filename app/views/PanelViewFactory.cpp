#include "app/views/PanelViewFactory.h"

#include <QMdiSubWindow>
#include <QStyle>
#include <QTimer>
#include <chrono>
#include <utility>

#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/ProjectPlace.h"
#include "app/views/TrendViewFactory.h"
#include "app/views/ViewServices.h"
#include "dictionary/PlacedWindow.h"
#include "dictionary/views/SdoListTable.h"
#include "dictionary/views/SdoListView.h"
#include "panels/ControlPanelLink.h"
#include "panels/PanelDescription.h"
#include "panels/views/ParameterPanelView.h"
#include "panels/views/ParameterTableModel.h"
#include "panels/views/TagFormView.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

// The tooltip line of a value written and not stored.
constexpr int kUnstoredTip = 1743;

// The object dictionary browser; a pick goes to the window that last asked for one.
ViewRegistry::CreatedView CreateBrowser(const ViewServices& services) {
    SharedState& state = services.state;
    // The list is filled once: a browser opened while the loader still runs would miss
    // entries for the whole run.
    state.dictionary.WaitLoaded(std::chrono::seconds(3));
    SdoListView::Context context{
        state.dictionary,
        state.messageBox(),
        services.resources,
        state.horizontalResolution,
        [&state] { return std::exchange(state.pickTarget, nullptr); },
        [frame = &services.mainFrame](uint32_t key) { TrendViewFactory::AddToTrend(*frame, key); }};
    context.link = &state.link;
    context.connected = [&state] {
        return state.switches.connectionState.load() == ConnectionState::Open;
    };
    context.factsText = &state.valueText.Texts();
    context.markDefaults = &state.markFactoryDefaults;
    auto* view = new SdoListView(std::move(context));
    const UnstoredChanges& unstored = state.link.Unstored();
    view->Table()->SetUnstoredMark([&unstored](uint32_t key) { return unstored.IsUnstored(key); },
                                   services.resources.String(kUnstoredTip));
    QObject::connect(&services.mainFrame, &MainFrame::unstoredChangesChanged, view->Table(),
                     &SdoListTable::RefreshMarks);
    return {view, view};
}

// A list panel's form over its behaviour; without a place saver it never stores its place.
ParameterPanelView* MakeListPanel(const PanelDescription& description, const ViewServices& services,
                                  QWidget* parent = nullptr) {
    SharedState& state = services.state;
    auto link = std::make_unique<ControlPanelLink>(state.link);
    PanelServices panelServices{
        state.dictionary,
        state.units,
        state.valueText,
        state.project,
        *link,
        state.switches.connectionState,
        state.switches.mainFrameWindow,
        state.programFolder,
        [&state] { return !state.project.OpenPath().empty(); },
        [&state](MessageTarget* target) { state.pickTarget = target; },
        [&state, frame = &services.mainFrame](const std::string& problem) {
            // Told once the panel stands, not from inside its making.
            QTimer::singleShot(0, frame, [&state, problem] { state.messageBox().Show(problem); });
        }};
    ParameterPanelView::Setup setup{
        std::move(panelServices),
        std::move(link),
        services.resources,
        state.horizontalResolution,
        state.columnLabels,
        state.columnWidths,
        [frame = &services.mainFrame](uint32_t key) { TrendViewFactory::AddToTrend(*frame, key); }};
    setup.markDefaults = &state.markFactoryDefaults;
    auto* view = new ParameterPanelView(description, std::move(setup), parent);
    const UnstoredChanges& unstored = state.link.Unstored();
    view->Table().SetUnstoredMark(
        [&unstored, panel = &view->Panel()](int row) {
            return unstored.IsUnstored(panel->KeyOfRow(row));
        },
        services.resources.String(kUnstoredTip));
    QObject::connect(&services.mainFrame, &MainFrame::unstoredChangesChanged, &view->Table(),
                     &ParameterTableModel::RefreshMarks);
    return view;
}

// The RPDO and TPDO tab views: their pages are fieldbus pages made when first shown.
ViewRegistry::CreatedView CreatePdoPages(const ViewInfo& info, const ViewServices& services) {
    auto direction = info.kind == ViewKind::kRpdoPages ? TagFormModel::Direction::kReceive
                                                       : TagFormModel::Direction::kTransmit;
    auto* view =
        new TagFormView(direction, services.resources,
                        [services](const PanelDescription& page, QWidget* parent) -> QWidget* {
                            return MakeListPanel(page, services, parent);
                        });
    view->Model().SetPlaceSaver([view, services](int panelNumber, int flag) {
        ProjectPlace::Save(view, services, panelNumber, flag);
    });
    return {view, &view->Model()};
}

}  // namespace

ViewRegistry::CreatedView PanelViewFactory::Create(const ViewInfo& info,
                                                   const ViewServices& services) {
    if (info.kind == ViewKind::kSdoList) {
        return CreateBrowser(services);
    }
    if (info.kind == ViewKind::kRpdoPages || info.kind == ViewKind::kTpdoPages) {
        return CreatePdoPages(info, services);
    }
    if (info.kind != ViewKind::kListPanel || info.panel == nullptr) {
        return {};
    }
    ParameterPanelView* view = MakeListPanel(*info.panel, services);
    view->Panel().SetPlaceSaver([view, services](int panelNumber, int flag) {
        ProjectPlace::Save(view, services, panelNumber, flag);
    });
    return {view, &view->Panel()};
}

}  // namespace tarvo
