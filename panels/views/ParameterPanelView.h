#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "panels/EditListModel.h"
#include "panels/ParameterPanel.h"

namespace tarvo {

class EditListView;
class PanelLink;
class ParameterTableModel;
class ResourceSet;

// The form of a list panel: one editable list filling the form and the list's context
// menu, over the panel's behaviour. The panel itself is the window that the main frame and
// the control link talk to.
class ParameterPanelView : public QWidget {
    Q_OBJECT
public:
    struct Setup {
        PanelServices services;
        // The link the services refer to, when the view owns it.
        std::unique_ptr<PanelLink> ownLink;
        const ResourceSet& resources;
        int pixelsPerInch = 96;
        std::array<std::string, 3> columnLabels;
        std::array<int32_t, 5> columnWidths{};
        // Adds an entry to the trend; when set, the context menu offers "Trend" for the
        // focused row.
        std::function<void(uint32_t key)> addToTrend{};
        // The program's switch of the mark on values that differ from their factory default;
        // when set, the context menu offers to switch it (nullptr: always marked).
        bool* markDefaults = nullptr;
    };

    ParameterPanelView(const PanelDescription& description, Setup setup, QWidget* parent = nullptr);
    ~ParameterPanelView() override;

    ParameterPanel& Panel() { return *panel_; }
    EditListView& List() { return *list_; }
    EditListModel& Rules() { return *rules_; }
    ParameterTableModel& Table() { return *table_; }
    // The context menu's actions as they would be offered now (enabled state set).
    QList<QAction*> ContextActions();
    // The context menu's "Trend" for the row under the menu (else the focused row); null
    // when the view was made without the trend.
    QAction* TrendAction() const { return trendAction_; }
    // The context menu's switch of the factory default mark; null without the switch.
    QAction* MarkDefaultsAction() const { return markAction_; }

private:
    void ShowContextMenu(const QPoint& at);

    std::unique_ptr<PanelLink> ownLink_;
    const ResourceSet& resources_;
    std::unique_ptr<ParameterPanel> panel_;
    std::unique_ptr<EditListModel> rules_;
    ParameterTableModel* table_ = nullptr;
    EditListView* list_ = nullptr;
    QList<QAction*> actions_;
    std::function<void(uint32_t key)> addToTrend_;
    QAction* trendAction_ = nullptr;
    QAction* markAction_ = nullptr;
    bool* markDefaults_ = nullptr;
    int trendRow_ = -1;  // the row under the context menu
};

}  // namespace tarvo
