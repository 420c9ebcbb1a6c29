#include "panels/views/ParameterPanelView.h"

#include <QMenu>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cstdlib>

#include "dictionary/ValueText.h"
#include "panels/PanelLink.h"
#include "panels/ParameterColumns.h"
#include "panels/views/EditListView.h"
#include "panels/views/ParameterTableModel.h"
#include "panels/views/StaleMark.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {
constexpr int kListMenu = 130;
constexpr int kTrendText = 1401;
constexpr int kMarkDefaultsText = 1708;
}  // namespace

ParameterPanelView::ParameterPanelView(const PanelDescription& description, Setup setup,
                                       QWidget* parent)
    : QWidget(parent),
      ownLink_(std::move(setup.ownLink)),
      resources_(setup.resources),
      addToTrend_(std::move(setup.addToTrend)) {
    panel_ = std::make_unique<ParameterPanel>(description, setup.services);
    rules_ = std::make_unique<EditListModel>(panel_->List(), setup.services.units);
    for (int column :
         {ParameterRows::kLabelColumn, ParameterRows::kKeyColumn, ParameterRows::kNameColumn}) {
        rules_->SetColumnReadOnly(column, true);
    }
    rules_->SetColumnDropDown(ParameterRows::kUnitColumn, true);
    rules_->SetParent(panel_.get());

    ParameterColumnLayout columns = ParameterColumns::Layout(
        description.traits, setup.pixelsPerInch, setup.columnLabels, setup.columnWidths);
    table_ = new ParameterTableModel(panel_->List(), columns, this);
    table_->SetStaleNote([this](qint64 lostAt) { return StaleMark::Note(resources_, lostAt); });
    table_->SetHelp([this](int row) { return panel_->HelpOfRow(row); });
    table_->SetFacts([this](int row) { return panel_->FactsOfRow(row); },
                     &setup.services.values.Texts());
    table_->SetMarkDefaults(setup.markDefaults);
    list_ = new EditListView(panel_->List(), *rules_, *table_, this);
    list_->setObjectName(QString::number(description.listControl));
    auto* layout = new QVBoxLayout(this);
    // A thin margin: the frame sizes leave little room beside the list's columns.
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(list_);

    // The context menu: the first submenu of the list menu.
    auto menu = resources_.Catalog().Menu(kListMenu);
    if (menu && !menu->empty()) {
        for (const MenuItem& item : menu->front().items) {
            if (item.separator || item.IsSubmenu()) {
                continue;
            }
            auto* action = new QAction(QString::fromStdString(item.caption), this);
            int command = item.id;
            action->setData(command);
            connect(action, &QAction::triggered, this,
                    [this, command] { panel_->RunCommand(command); });
            actions_.append(action);
        }
    }
    if (addToTrend_) {
        trendAction_ = new QAction(resources_.String(kTrendText), this);
        connect(trendAction_, &QAction::triggered, this, [this] {
            int row = trendRow_ >= 0 ? trendRow_ : panel_->List().FocusedRow();
            std::string key = panel_->List().Text(row, ParameterRows::kKeyColumn);
            if (!key.empty()) {
                addToTrend_(static_cast<uint32_t>(std::strtoul(key.c_str(), nullptr, 10)));
            }
        });
    }
    markDefaults_ = setup.markDefaults;
    if (bool* mark = setup.markDefaults) {
        markAction_ = new QAction(resources_.String(kMarkDefaultsText), this);
        markAction_->setCheckable(true);
        markAction_->setChecked(*mark);
        connect(markAction_, &QAction::toggled, this, [this, mark](bool on) {
            *mark = on;
            table_->RedrawAll();
        });
    }
    connect(list_, &QWidget::customContextMenuRequested, this,
            &ParameterPanelView::ShowContextMenu);

    panel_->Create();
}

ParameterPanelView::~ParameterPanelView() {
    // The list view and its model go before the panel whose list they show.
    delete list_;
    delete table_;
}

QList<QAction*> ParameterPanelView::ContextActions() {
    for (QAction* action : actions_) {
        action->setEnabled(panel_->IsCommandEnabled(action->data().toInt()));
    }
    return actions_;
}

void ParameterPanelView::ShowContextMenu(const QPoint& at) {
    QMenu menu(this);
    menu.addActions(ContextActions());
    if (trendAction_ != nullptr) {
        trendRow_ = list_->indexAt(at).row();
        trendAction_->setEnabled(trendRow_ >= 0 || panel_->List().FocusedRow() >= 0);
        menu.addSeparator();
        menu.addAction(trendAction_);
    }
    if (markAction_ != nullptr) {
        // Another panel may have switched the mark since.
        QSignalBlocker quiet(markAction_);
        markAction_->setChecked(*markDefaults_);
        menu.addSeparator();
        menu.addAction(markAction_);
    }
    menu.exec(list_->viewport()->mapToGlobal(at));
}

}  // namespace tarvo
