#include "panels/views/EditListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include "panels/EditListModel.h"
#include "panels/ParameterList.h"
#include "panels/views/EditListDelegate.h"
#include "panels/views/ParameterTableModel.h"

namespace tarvo {

namespace {

// The Enter that committed an edit, still held, reopens the editor only after this pause.
constexpr qint64 kReopenDelayMs = 250;

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

EditListView::EditListView(ParameterList& list, EditListModel& rules, ParameterTableModel& model,
                           QWidget* parent)
    : QTableView(parent), list_(list), rules_(rules), model_(model) {
    setModel(&model_);
    delegate_ = new EditListDelegate(rules_, this);
    setItemDelegate(delegate_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < ParameterRows::kColumnCount; ++column) {
        int width = model_.Columns()[static_cast<size_t>(column)].width;
        setColumnWidth(column, width);
        setColumnHidden(column, width == 0);
    }

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EditListView::PullSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EditListView::PullSelection);
    connect(&model_, &ParameterTableModel::rowStateChanged, this, &EditListView::PushRowState);
    connect(delegate_, &EditListDelegate::tabbedFrom, this, [this](int row, int column, int step) {
        if (column != ParameterRows::kValueColumn) {
            return;
        }
        int next = rules_.NextValueRow(row, step);
        if (next < 0) {
            return;
        }
        QModelIndex index = model_.index(next, ParameterRows::kValueColumn);
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        rules_.RowClicked(next);
        OpenCell(next, ParameterRows::kValueColumn);
    });
    // Scrolling takes the focus back to the list, which ends an open edit without writing.
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            if (IsEditing()) {
                setFocus();
            }
        });
    }
}

QWidget* EditListView::OpenEditor() const {
    return IsEditing() ? indexWidget(currentIndex()) : nullptr;
}

void EditListView::PullSelection() {
    if (syncing_) {
        return;
    }
    syncing_ = true;
    for (int row = 0; row < list_.RowCount(); ++row) {
        list_.SetSelected(row, selectionModel()->isRowSelected(row, {}));
    }
    int current = currentIndex().row();
    if (current >= 0) {
        list_.SetFocused(current, true);
    } else if (list_.FocusedRow() >= 0) {
        list_.SetFocused(list_.FocusedRow(), false);
    }
    syncing_ = false;
}

void EditListView::PushRowState(int row) {
    if (syncing_) {
        return;
    }
    syncing_ = true;
    QModelIndex index = model_.index(row, ParameterRows::kNameColumn);
    selectionModel()->select(index, (list_.IsSelected(row) ? QItemSelectionModel::Select
                                                           : QItemSelectionModel::Deselect) |
                                        QItemSelectionModel::Rows);
    if (list_.IsFocused(row) && currentIndex().row() != row) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    syncing_ = false;
}

bool EditListView::OpenCell(int row, int column) {
    if (rules_.CellOpens(row, column) == EditListModel::Opens::kNothing || IsEditing()) {
        return false;
    }
    QModelIndex index = model_.index(row, column);
    scrollTo(index, QAbstractItemView::EnsureVisible);
    // scrollTo leaves a cell wider than the view at its left edge; a cell that fits is
    // brought in whole.
    QRect cell = visualRect(index);
    int overhang = cell.right() - viewport()->width() + 1;
    if (cell.left() < 0) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + cell.left());
    } else if (overhang > 0) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + overhang);
    }
    return edit(index, QAbstractItemView::AllEditTriggers, nullptr);
}

void EditListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QTableView::mousePressEvent(event);
        return;
    }
    rules_.MousePressed();
    QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        event->accept();  // below the last row or right of the last column: nothing happens
        return;
    }
    QTableView::mousePressEvent(event);
    rules_.RowClicked(index.row());
    if (list_.IsFocused(index.row())) {
        OpenCell(index.row(), index.column());
    }
}

void EditListView::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && rules_.SwallowsDigits()) {
        event->accept();
        return;
    }
    if (IsEnter(key)) {
        event->accept();
        if (enterDelay_.isValid() && enterDelay_.elapsed() < kReopenDelayMs) {
            return;
        }
        enterDelay_.invalidate();
        switch (rules_.EnterPressed()) {
            case EditListModel::EnterAction::kDelay:
                enterDelay_.start();
                return;
            case EditListModel::EnterAction::kOpenValue:
                OpenCell(rules_.CurrentRow(), ParameterRows::kValueColumn);
                return;
            default:
                return;
        }
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        rules_.ArrowPressed(key == Qt::Key_Up ? -1 : +1);
    }
    QTableView::keyPressEvent(event);
}

void EditListView::keyboardSearch(const QString& search) {
    if (!search.isEmpty() && search.front().isDigit() && rules_.SwallowsDigits()) {
        return;
    }
    QTableView::keyboardSearch(search);
}

}  // namespace tarvo
