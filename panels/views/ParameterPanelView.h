#pragma once

#include <QWidget>
#include <array>
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
    };

    ParameterPanelView(const PanelDescription& description, Setup setup, QWidget* parent = nullptr);
    ~ParameterPanelView() override;

    ParameterPanel& Panel() { return *panel_; }
    EditListView& List() { return *list_; }
    EditListModel& Rules() { return *rules_; }
    ParameterTableModel& Table() { return *table_; }
    // The context menu's actions as they would be offered now (enabled state set).
    QList<QAction*> ContextActions();

private:
    void ShowContextMenu(const QPoint& at);

    std::unique_ptr<PanelLink> ownLink_;
    const ResourceSet& resources_;
    std::unique_ptr<ParameterPanel> panel_;
    std::unique_ptr<EditListModel> rules_;
    ParameterTableModel* table_ = nullptr;
    EditListView* list_ = nullptr;
    QList<QAction*> actions_;
};

}  // namespace tarvo
