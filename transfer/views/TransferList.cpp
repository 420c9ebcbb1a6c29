#include "transfer/views/TransferList.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QTreeWidget>

namespace tarvo {

const QColor TransferList::kFailColour(255, 0, 0);
const QColor TransferList::kAlarmColour(200, 150, 0);

TransferList::TransferList(QTreeWidget* list, const QStringList& headings,
                           const std::vector<int>& widths, QWidget* form)
    : list_(list) {
    if (list_ == nullptr) {
        return;
    }
    list_->setColumnCount(static_cast<int>(headings.size()));
    list_->setHeaderLabels(headings);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setStyleSheet(
        QStringLiteral("QTreeWidget::item { border-right: 1px solid #d0d0d0; border-bottom: 1px "
                       "solid #d0d0d0; }"));
    for (size_t i = 0; i < widths.size(); ++i) {
        list_->setColumnWidth(static_cast<int>(i), widths[i]);
    }
    list_->header()->setStretchLastSection(true);
    // The progress bar takes a strip at the bottom of the list's place.
    QRect place = list_->geometry();
    constexpr int kBarHeight = 16;
    list_->setGeometry(place.adjusted(0, 0, 0, -(kBarHeight + 4)));
    progress_ = new QProgressBar(form);
    progress_->setGeometry(place.left(), place.bottom() - kBarHeight + 1, place.width(),
                           kBarHeight);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%v / %m"));
}

void TransferList::Reset(int count) {
    if (list_ == nullptr) {
        return;
    }
    list_->setUpdatesEnabled(false);
    list_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        items.append(new QTreeWidgetItem());
    }
    list_->addTopLevelItems(items);
    list_->setUpdatesEnabled(true);
}

void TransferList::Refill(int count, const std::function<void(int row)>& showRow) {
    Reset(count);
    for (int row = 0; row < count; ++row) {
        showRow(row);
    }
}

void TransferList::SetRow(int row, const QStringList& cells, const QColor& colour) {
    if (list_ == nullptr || row < 0 || row >= list_->topLevelItemCount()) {
        return;
    }
    QTreeWidgetItem* item = list_->topLevelItem(row);
    QBrush brush = colour.isValid() ? QBrush(colour) : list_->palette().text();
    for (int column = 0; column < cells.size(); ++column) {
        if (item->text(column) != cells[column]) {
            item->setText(column, cells[column]);
        }
        item->setForeground(column, brush);
    }
}

void TransferList::SetProgress(int done, int total) {
    if (progress_ == nullptr) {
        return;
    }
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(std::min(done, std::max(total, 1)));
}

}  // namespace tarvo
