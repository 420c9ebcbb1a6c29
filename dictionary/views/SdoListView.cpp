#include "dictionary/views/SdoListView.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include "comm/LinkRequester.h"
#include "dictionary/views/SdoListTable.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

enum : int { kList = 1062, kHelp = 1033, kSort = 1209, kSearch = 1207, kFindNext = 1208 };
constexpr int kTrendText = 1401;

// The help text keeps the drive tool's CR LF line ends; the pane wants plain line feeds.
QString PaneText(const std::string& text) {
    return QString::fromStdString(text).remove(QLatin1Char('\r'));
}

}  // namespace

SdoListView::SdoListView(Context context, QWidget* parent)
    : QWidget(parent),
      context_(std::move(context)),
      model_(context_.dictionary, context_.messageBox, context_.factsText) {
    form_ = FormBuilder::Build(context_.resources, 128, this);
    help_ = form_.Control<QPlainTextEdit>(kHelp);
    sort_ = form_.Control<QComboBox>(kSort);
    search_ = form_.Control<QLineEdit>(kSearch);

    // The form's list control becomes a table over the model: ten thousand rows stay cheap.
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("control%1").arg(kList));
    if (QWidget* placeholder = form_.controls.value(kList)) {
        list_->setGeometry(placeholder->geometry());
        placeholder->hide();
        placeholder->deleteLater();
    }
    form_.controls.insert(kList, list_);
    table_ = new SdoListTable(model_, this);
    table_->SetFacts(context_.factsText, context_.markDefaults);
    list_->setModel(table_);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const bool at96 = context_.pixelsPerInch == 96;
    list_->setColumnWidth(0, at96 ? 60 : 80);
    list_->setColumnWidth(1, at96 ? 40 : 60);
    list_->setColumnWidth(2, 300);
    // The value stands before the wide name column, where the form's list still shows it.
    list_->horizontalHeader()->moveSection(SdoListTable::kValueColumn, 2);
    list_->setColumnWidth(SdoListTable::kValueColumn, at96 ? 90 : 110);

    model_.Fill();
    table_->Reload();
    if (sort_ != nullptr) {
        sort_->setCurrentIndex(SdoListModel::kSortByIndex);
        connect(sort_, &QComboBox::activated, this, [this](int choice) {
            int selected = model_.SelectedRow();
            if (model_.SetSortChoice(choice)) {
                table_->Reload();
                SelectRow(selected, false);
                ShowHelp();
            }
        });
    }
    ShowHelp();

    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (model_.Select(current.isValid() ? current.row() : -1)) {
                    ShowHelp();
                }
                // Another entry's read: every value shown before may have changed since.
                model_.AgeValues();
                table_->ValuesChanged();
                ReadSelected();
            });
    reread_.setInterval(kReadEveryMs);
    connect(&reread_, &QTimer::timeout, this, &SdoListView::ReadSelected);
    if (context_.link != nullptr) {
        reread_.start();
    }
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { PickRow(index.row()); });
    if (context_.addToTrend) {
        list_->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
            int row = list_->indexAt(at).row();
            if (row < 0) {
                return;
            }
            QMenu menu(this);
            menu.addAction(context_.resources.String(kTrendText), this,
                           [this, row] { TrendRow(row); });
            menu.exec(list_->viewport()->mapToGlobal(at));
        });
    }
    if (auto* find = form_.Control<QPushButton>(kFindNext)) {
        connect(find, &QPushButton::clicked, this, &SdoListView::FindNext);
    }
    if (search_ != nullptr) {
        connect(search_, &QLineEdit::returnPressed, this, &SdoListView::FindNext);
    }
}

void SdoListView::ShowHelp() {
    if (help_ != nullptr) {
        help_->setPlainText(PaneText(model_.HelpText()));
    }
}

void SdoListView::SelectRow(int row, bool scroll) {
    if (row < 0 || row >= model_.RowCount()) {
        return;
    }
    QModelIndex index = table_->index(row, 0);
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (scroll) {
        list_->scrollTo(index);
    }
}

void SdoListView::FindNext() {
    std::optional<int> row = model_.FindNext(search_ ? search_->text().toStdString() : "");
    if (row) {
        SelectRow(*row, true);
        ShowHelp();
        list_->setFocus();
    }
}

void SdoListView::ReadSelected() {
    int row = model_.SelectedRow();
    if (context_.link == nullptr || !isVisible()) {
        return;
    }
    if (!context_.connected || !context_.connected()) {
        model_.AgeValues();
        table_->ValuesChanged();
        return;
    }
    if (model_.CanRead(row)) {
        context_.link->Request(this, SdoCommand::Read, model_.RowAt(row).key, 0);
    }
}

void SdoListView::TrendRow(int row) {
    if (context_.addToTrend && row >= 0 && row < model_.RowCount()) {
        context_.addToTrend(model_.RowAt(row).key);
    }
}

void SdoListView::PickRow(int row) {
    SelectRow(row, false);
    model_.Select(row);
    model_.Pick(context_.takePickTarget ? context_.takePickTarget() : nullptr);
    CloseFrame();
}

void SdoListView::CloseFrame() {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
            frame->close();
            return;
        }
    }
}

intptr_t SdoListView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_LINK_STATE && static_cast<WindowState>(wParam) == WindowState::Hidden &&
        context_.takePickTarget) {
        context_.takePickTarget();
    }
    if (message == WM_LINK_STATE && static_cast<WindowState>(wParam) == WindowState::LinkLost) {
        model_.AgeValues();
        table_->ValuesChanged();
    }
    auto key = static_cast<uint32_t>(lParam);
    if (message == WM_LINK_VALUE || message == WM_LINK_ABORT) {
        if (message == WM_LINK_VALUE) {
            model_.TakeValue(key, static_cast<uint32_t>(wParam));
        } else {
            model_.TakeRefusal(key);
        }
        table_->ValuesChanged();
    }
    return 0;
}

}  // namespace tarvo
